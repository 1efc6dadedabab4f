#pragma once

#include <QApplication>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running client per executable path and user session. The first instance holds a lock
// file and listens on a local socket; a later one finds the lock taken and hands its message
// over that socket.
class QtSingleApplication : public QApplication
{
    Q_OBJECT

public:
    QtSingleApplication(int &argc, char **argv, bool GUIenabled = true);
    ~QtSingleApplication() override;

    // True when another instance with the same identity runs. The first call decides; an
    // instance that is not running becomes the one that receives messages.
    bool isRunning();
    // Delivers message to the running instance and waits for its acknowledgement.
    bool sendMessage(const QString &message, int timeout = 5000);
    // The instance identity: a digest of the executable's path and the user's session.
    QString id() const { return instanceId; }

    static QString identityFor(const QString &executablePath, const QString &session);

signals:
    void messageReceived(const QString &message);

private:
    void becomePrimary();
    void receiveConnection();

    QString instanceId;
    std::unique_ptr<QLockFile> lockFile;
    QLocalServer *server = nullptr;
    bool decided = false;
    bool running = false;
};
