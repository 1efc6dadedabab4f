#include "GlobalSignal.h"

#include "JsonUtil.h"

#include <QDebug>
#include <QVector>

GlobalSignal::GlobalSignal(QObject *parent) : QObject(parent) {}

GlobalSignal::~GlobalSignal()
{
    QMutexLocker locker(&mutex);
    registrations.clear();
    receiverIndex.clear();
}

GlobalSignal *GlobalSignal::Instance()
{
    static GlobalSignal instance;
    return &instance;
}

void GlobalSignal::countOperation()
{
    ++operationCount;
    if (operationCount >= CLEANUP_THRESHOLD) {
        cleanupStaleConnections();
        operationCount = 0;
    }
}

bool GlobalSignal::add(const QString &name, QObject *receiver, const char *method)
{
    if (!receiver || !method) {
        qWarning() << "GlobalSignal::add: Invalid receiver or method";
        return false;
    }
    QMutexLocker locker(&mutex);
    countOperation();

    for (auto it = registrations.constFind(name); it != registrations.constEnd() && it.key() == name;
         ++it) {
        if (it.value()->receiver && it.value()->receiver.data() == receiver) {
            qWarning() << "GlobalSignal::add: Connection already exists for signal:" << name;
            return false;
        }
    }

    auto data = QSharedPointer<SignalData>::create();
    data->name = name;
    data->receiver = receiver;
    data->receiverKey = receiver;
    data->adapter = std::make_unique<SignalAdapter>();
    if (!connect(data->adapter.get(), SIGNAL(signalEmitted(QString)), receiver, method,
                 Qt::QueuedConnection)) {
        qWarning() << "GlobalSignal::add: Failed to connect signal:" << name;
        return false;
    }
    registrations.insert(name, data);

    auto entry = receiverIndex.find(receiver);
    if (entry == receiverIndex.end()) {
        entry = receiverIndex.insert(receiver, ReceiverEntry{receiver, {}});
        // One hook per receiver: its registrations go as soon as it is destroyed.
        connect(
            receiver, &QObject::destroyed, this, [this, receiver]() { removeAll(receiver); },
            Qt::DirectConnection);
    }
    entry->names.insert(name);
    return true;
}

void GlobalSignal::eraseRegistrations(const QString &name, const QObject *receiverKey)
{
    for (auto it = registrations.find(name); it != registrations.end() && it.key() == name;) {
        if (it.value()->receiverKey == receiverKey) {
            it = registrations.erase(it);
        } else {
            ++it;
        }
    }
}

void GlobalSignal::remove(const QString &name, QObject *receiver)
{
    if (!receiver) {
        return;
    }
    QMutexLocker locker(&mutex);
    auto entry = receiverIndex.find(receiver);
    if (entry == receiverIndex.end() || !entry->names.contains(name)) {
        return;
    }
    eraseRegistrations(name, receiver);
    entry->names.remove(name);
    if (entry->names.isEmpty()) {
        disconnect(receiver, &QObject::destroyed, this, nullptr);
        receiverIndex.erase(entry);
    }
}

void GlobalSignal::removeAll(QObject *receiver)
{
    if (!receiver) {
        return;
    }
    QMutexLocker locker(&mutex);
    auto entry = receiverIndex.find(receiver);
    if (entry == receiverIndex.end()) {
        return;
    }
    const QSet<QString> names = entry->names;
    for (const QString &name : names) {
        eraseRegistrations(name, receiver);
    }
    receiverIndex.erase(entry);
}

void GlobalSignal::notify(const QString &name, const QString &param)
{
    QMutexLocker locker(&mutex);
    countOperation();
    for (auto it = registrations.constFind(name); it != registrations.constEnd() && it.key() == name;
         ++it) {
        const QSharedPointer<SignalData> &data = it.value();
        if (data->receiver && data->adapter) {
            emit data->adapter->signalEmitted(param);
        }
    }
}

void GlobalSignal::notify(const QString &name)
{
    notify(name, QString());
}

void GlobalSignal::notify(const QString &name, const QJsonObject &param)
{
    notify(name, JsonUtil::toCompactString(param));
}

bool GlobalSignal::hasListener(const QString &name) const
{
    QMutexLocker locker(&mutex);
    return registrations.contains(name);
}

void GlobalSignal::cleanupStaleConnections()
{
    // Stale records are kept alive until the walk is over, so that no adapter is deleted while
    // the hash is being iterated.
    QVector<QSharedPointer<SignalData>> stale;
    QSet<QString> staleNames;
    for (auto it = registrations.cbegin(); it != registrations.cend(); ++it) {
        if (!it.value()->receiver) {
            stale.append(it.value());
            staleNames.insert(it.key());
        }
    }
    for (const QString &name : qAsConst(staleNames)) {
        for (auto it = registrations.find(name); it != registrations.end() && it.key() == name;) {
            if (!it.value()->receiver) {
                it = registrations.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto it = receiverIndex.begin(); it != receiverIndex.end();) {
        if (!it->receiver) {
            it = receiverIndex.erase(it);
        } else {
            ++it;
        }
    }
    stale.clear();
}
