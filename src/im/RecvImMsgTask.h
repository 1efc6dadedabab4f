#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QRunnable>
#include <QString>

// The events on which received messages are published (GlobalSignal).
namespace ImSignal {
inline const QString RecvLiveChatMsg = QStringLiteral("Signal_RecvLiveChatMsg");
inline const QString RemoteLiveCommand = QStringLiteral("Signal_RemoteLiveCommand");
inline const QString RemoteBoardCommand = QStringLiteral("Signal_RemoteBoardCommand");
inline const QString RemoteImCommand = QStringLiteral("Signal_RemoteImCommand");
inline const QString CloudCommandMain = QStringLiteral("Signal_CloudCommandMain");
inline const QString CloudCommandLive = QStringLiteral("Signal_CloudCommandLive");
} // namespace ImSignal

// Takes apart one batch of received SDK messages on a pool thread: each custom element's
// conversation is marked read, and the chat lines of the current class and the commands of other
// users are published on the event bus, in message order. Nothing in a message is trusted: wrong
// types and missing members read as empty or 0.
//
// Batches are published in the order the tasks were made (the order the SDK delivered them), even
// when the pool runs two tasks at once: a command must not overtake the one sent before it. A task
// that finds another one publishing leaves its batch to that one.
class RecvImMsgTask : public QRunnable
{
public:
    explicit RecvImMsgTask(const QJsonArray &messages);
    // A task destroyed without running takes its batch with it.
    ~RecvImMsgTask() override;

    void run() override;

private:
    void handleBatch(const QJsonArray &messages);
    void handleCustomElem(const QJsonObject &message, const QJsonObject &element);
    void handleChatMsg(const QString &convId, const QString &sender, int seq, int rand,
                       int serverTime, const QString &data);
    void handleCommand(const QString &sender, int seq, int rand, const QString &desc,
                       const QString &data);
    void handleGroupTips(const QJsonObject &message, const QJsonObject &element);
    void handleGroupReport(const QJsonObject &message, const QJsonObject &element);

    const QString &userId();
    const QString &liveId();

    quint64 ticket = 0;
    bool ran = false;
    // Read from the settings once a batch, on first need.
    QString cachedUserId;
    QString cachedLiveId;
    bool idsRead = false;
};
