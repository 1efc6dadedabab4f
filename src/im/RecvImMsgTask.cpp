#include "RecvImMsgTask.h"

#include "AppSettings.h"
#include "GlobalSignal.h"
#include "ImUtil.h"
#include "JsonUtil.h"
#include "LiveChatMsg.h"
#include "StringUtil.h"

#include <QDebug>

#include <QMutex>

#include <cmath>
#include <deque>
#include <limits>
#include <utility>

namespace {
// A 32-bit signed whole number, or 0 for anything else.
int readInt32(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return 0;
    }
    const double d = value.toDouble();
    if (!(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()) ||
        std::trunc(d) != d) {
        return 0;
    }
    return static_cast<int>(d);
}

bool sameKind(const QString &desc, const QString &kind)
{
    return desc.compare(kind, Qt::CaseInsensitive) == 0;
}

// The batches not yet published, oldest first, and whether a task is publishing them.
struct Inbox
{
    QMutex mutex;
    std::deque<std::pair<quint64, QJsonArray>> batches;
    quint64 lastTicket = 0;
    bool publishing = false;
};

Inbox &inbox()
{
    static auto *instance = new Inbox;
    return *instance;
}
} // namespace

RecvImMsgTask::RecvImMsgTask(const QJsonArray &messages)
{
    Inbox &box = inbox();
    QMutexLocker locker(&box.mutex);
    ticket = ++box.lastTicket;
    box.batches.emplace_back(ticket, messages);
}

RecvImMsgTask::~RecvImMsgTask()
{
    if (ran) {
        return;
    }
    Inbox &box = inbox();
    QMutexLocker locker(&box.mutex);
    for (auto it = box.batches.begin(); it != box.batches.end(); ++it) {
        if (it->first == ticket) {
            box.batches.erase(it);
            break;
        }
    }
}

const QString &RecvImMsgTask::userId()
{
    if (!idsRead) {
        cachedUserId = AppSettings::userId();
        cachedLiveId = AppSettings::liveId();
        idsRead = true;
    }
    return cachedUserId;
}

const QString &RecvImMsgTask::liveId()
{
    userId();
    return cachedLiveId;
}

void RecvImMsgTask::run()
{
    ran = true;
    Inbox &box = inbox();
    QMutexLocker locker(&box.mutex);
    if (box.publishing) {
        return;
    }
    box.publishing = true;
    while (!box.batches.empty()) {
        const QJsonArray batch = std::move(box.batches.front().second);
        box.batches.pop_front();
        locker.unlock();
        // The class may have changed since the last batch.
        idsRead = false;
        handleBatch(batch);
        locker.relock();
    }
    box.publishing = false;
}

void RecvImMsgTask::handleBatch(const QJsonArray &messages)
{
    for (const QJsonValue &messageValue : messages) {
        const QJsonObject message = messageValue.toObject();
        const QJsonArray elements = message.value(QStringLiteral("message_elem_array")).toArray();
        for (const QJsonValue &elementValue : elements) {
            const QJsonObject element = elementValue.toObject();
            switch (readInt32(element.value(QStringLiteral("elem_type")))) {
            case 3:
                handleCustomElem(message, element);
                break;
            case 5:
                handleGroupTips(message, element);
                break;
            case 8:
                handleGroupReport(message, element);
                break;
            default:
                break;
            }
        }
    }
}

void RecvImMsgTask::handleCustomElem(const QJsonObject &message, const QJsonObject &element)
{
    const QString convId = message.value(QStringLiteral("message_conv_id")).toString();
    const int convType = readInt32(message.value(QStringLiteral("message_conv_type")));
    const QString sender = message.value(QStringLiteral("message_sender")).toString();
    const int seq = readInt32(message.value(QStringLiteral("message_seq")));
    const int rand = readInt32(message.value(QStringLiteral("message_rand")));
    const int serverTime = readInt32(message.value(QStringLiteral("message_server_time")));

    // Widened with sign, as the SDK's unsigned parameters take them.
    ImUtil::instance()->cleanConvUnreadCount(
        convId, convType, static_cast<quint64>(static_cast<qint64>(serverTime)),
        static_cast<quint64>(static_cast<qint64>(seq)), nullptr);
    if (sender == userId()) {
        return;
    }
    const QString desc = element.value(QStringLiteral("custom_elem_desc")).toString();
    const QString data = element.value(QStringLiteral("custom_elem_data")).toString();
    if (sameKind(desc, ImMsgType::ChatMsg)) {
        handleChatMsg(convId, sender, seq, rand, serverTime, data);
    } else {
        handleCommand(sender, seq, rand, desc, data);
    }
}

void RecvImMsgTask::handleChatMsg(const QString &convId, const QString &sender, int seq, int rand,
                                  int serverTime, const QString &data)
{
    // Chat of other conversations (an earlier class, a private line) is not this class's.
    if (convId != liveId()) {
        return;
    }
    const QJsonObject chat = JsonUtil::str2Json(data);
    LiveChatMsg msg;
    msg.convId = convId;
    msg.senderId = sender;
    msg.senderName = JsonUtil::getString(chat, QStringLiteral("nickname"));
    msg.senderAvatarUrl = JsonUtil::getString(chat, QStringLiteral("avatarUrl"));
    // A time before 1970 is nonsense from the wire, not a date in 2106.
    msg.sendTime = StringUtil::timeToString(static_cast<uint>(qMax(0, serverTime)));
    msg.msgSeq = seq;
    msg.msgRandom = rand;
    msg.content = JsonUtil::getString(chat, QStringLiteral("message"));
    GlobalSignal::Instance()->notify(ImSignal::RecvLiveChatMsg,
                                     JsonUtil::toCompactString(msg.toJson()));
}

void RecvImMsgTask::handleCommand(const QString &sender, int seq, int rand, const QString &desc,
                                  const QString &data)
{
    QJsonObject envelope;
    envelope.insert(QStringLiteral("sender"), sender);
    envelope.insert(QStringLiteral("msgSeq"), seq);
    envelope.insert(QStringLiteral("msgRand"), rand);
    envelope.insert(QStringLiteral("data"), JsonUtil::str2Json(data));
    const QString payload = JsonUtil::toCompactString(envelope);
    GlobalSignal *bus = GlobalSignal::Instance();
    if (sameKind(desc, ImMsgType::LiveCommand)) {
        bus->notify(ImSignal::RemoteLiveCommand, payload);
    } else if (sameKind(desc, ImMsgType::BoardCommand)) {
        bus->notify(ImSignal::RemoteBoardCommand, payload);
    } else if (sameKind(desc, ImMsgType::ImCommand)) {
        bus->notify(ImSignal::RemoteImCommand, payload);
    } else if (sameKind(desc, ImMsgType::CloudCommand)) {
        bus->notify(ImSignal::CloudCommandMain, payload);
        bus->notify(ImSignal::CloudCommandLive, payload);
    }
}

void RecvImMsgTask::handleGroupTips(const QJsonObject &message, const QJsonObject &element)
{
    qDebug() << "RecvImMsgTask-handleGroupTips" << message << element;
}

void RecvImMsgTask::handleGroupReport(const QJsonObject &message, const QJsonObject &element)
{
    qDebug() << "RecvImMsgTask-handleGroupReport" << message << element;
}
