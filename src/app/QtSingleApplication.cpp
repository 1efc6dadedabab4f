#include "QtSingleApplication.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace {
// Frame: a 32-bit big-endian byte count, then the message in UTF-8. The answer is one byte.
constexpr char ackByte = '\x06';
constexpr quint32 maxMessageBytes = 1 << 20;

QString currentSession()
{
    QString session;
#if defined(Q_OS_UNIX)
    session = QString::number(::getuid());
#endif
    const QByteArray loginSession = qgetenv("XDG_SESSION_ID");
    if (!loginSession.isEmpty()) {
        session += QLatin1Char(':') + QString::fromLocal8Bit(loginSession);
    }
    return session;
}

// The session's runtime directory when there is one (it goes with the login session), else the
// temporary directory.
QString runtimeDir()
{
    const QString dir = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    return !dir.isEmpty() && QDir(dir).exists() ? dir : QDir::tempPath();
}
} // namespace

QtSingleApplication::QtSingleApplication(int &argc, char **argv, bool GUIenabled)
    : QApplication(argc, argv, GUIenabled)
{
    instanceId = identityFor(applicationFilePath(), currentSession());
}

QtSingleApplication::~QtSingleApplication()
{
    if (server) {
        server->close();
    }
    if (lockFile) {
        lockFile->unlock();
    }
}

QString QtSingleApplication::identityFor(const QString &executablePath, const QString &session)
{
    QString path = QDir::cleanPath(executablePath);
#if defined(Q_OS_WIN)
    path = path.toLower();
#endif
    const QByteArray digest =
        QCryptographicHash::hash((path + QLatin1Char('\n') + session).toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(24);
    return QStringLiteral("brimvale-") + QString::fromLatin1(digest);
}

bool QtSingleApplication::isRunning()
{
    if (decided) {
        return running;
    }
    decided = true;
    lockFile = std::make_unique<QLockFile>(runtimeDir() + QLatin1Char('/') + instanceId +
                                           QStringLiteral(".lock"));
    // A lock left by a crashed instance is recognised as stale and taken over.
    running = !lockFile->tryLock(0);
    if (running) {
        lockFile.reset();
    } else {
        becomePrimary();
    }
    return running;
}

void QtSingleApplication::becomePrimary()
{
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket of that name can only be left over from a crash.
    QLocalServer::removeServer(instanceId);
    if (!server->listen(instanceId)) {
        qWarning() << "QtSingleApplication::listen failed:" << server->errorString();
        return;
    }
    connect(server, &QLocalServer::newConnection, this, &QtSingleApplication::receiveConnection);
}

void QtSingleApplication::receiveConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer]() {
            buffer->append(socket->readAll());
            if (buffer->size() < 4) {
                return;
            }
            QDataStream header(*buffer);
            quint32 length = 0;
            header >> length;
            if (length > maxMessageBytes) {
                socket->abort();
                return;
            }
            if (static_cast<quint32>(buffer->size()) < 4 + length) {
                return;
            }
            const QString message = QString::fromUtf8(buffer->mid(4, static_cast<int>(length)));
            buffer->clear();
            socket->write(&ackByte, 1);
            socket->flush();
            socket->disconnectFromServer();
            qDebug() << "QtSingleApplication::messageReceived" << message;
            emit messageReceived(message);
        });
    }
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    if (!isRunning()) {
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    auto remaining = [&timer, timeout]() {
        return static_cast<int>(qMax<qint64>(0, timeout - timer.elapsed()));
    };

    QLocalSocket socket;
    socket.connectToServer(instanceId);
    if (!socket.waitForConnected(remaining())) {
        return false;
    }
    const QByteArray payload = message.toUtf8();
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << static_cast<quint32>(payload.size());
    frame.append(payload);
    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining())) {
            return false;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (remaining() == 0 || !socket.waitForReadyRead(remaining())) {
            return false;
        }
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == ackByte;
}
