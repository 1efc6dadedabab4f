#pragma once

#include <QHash>
#include <QJsonObject>
#include <QMultiHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSharedPointer>
#include <QString>

#include <memory>

#if defined(_WIN32)
#define BRV_EXECUTABLE_EXPORT __declspec(dllexport)
#else
#define BRV_EXECUTABLE_EXPORT __attribute__((visibility("default")))
#endif

// Carries one registration's events to its receiver; the connection to the receiver is queued.
class SignalAdapter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void signalEmitted(QString param);
};

struct SignalData {
    QString name;
    QPointer<QObject> receiver;
    // The receiver's address, for removing its registrations while it is being destroyed, when
    // the weak reference already reads null.
    const QObject *receiverKey = nullptr;
    std::unique_ptr<SignalAdapter> adapter;
};

// The process-wide named event bus: a string name with one string payload, always delivered
// queued in the receiver's thread. Publishers and receivers do not know each other.
class BRV_EXECUTABLE_EXPORT GlobalSignal : public QObject
{
    Q_OBJECT

public:
    static GlobalSignal *Instance();

    // method is a slot signature as SLOT() writes it; the slot takes the payload as a QString.
    bool add(const QString &name, QObject *receiver, const char *method);
    void remove(const QString &name, QObject *receiver);
    void removeAll(QObject *receiver);

    void notify(const QString &name, const QString &param);
    void notify(const QString &name);
    // Sent as compact JSON text without null or empty-string members.
    void notify(const QString &name, const QJsonObject &param);

    bool hasListener(const QString &name) const;

private:
    explicit GlobalSignal(QObject *parent = nullptr);
    ~GlobalSignal() override;

    struct ReceiverEntry {
        QPointer<QObject> receiver;
        QSet<QString> names;
    };

    void countOperation();
    void cleanupStaleConnections();
    void eraseRegistrations(const QString &name, const QObject *receiverKey);

    static const int CLEANUP_THRESHOLD = 100;

    mutable QMutex mutex;
    QMultiHash<QString, QSharedPointer<SignalData>> registrations;
    QHash<const QObject *, ReceiverEntry> receiverIndex;
    int operationCount = 0;

    friend class GlobalSignalInspector;
};
