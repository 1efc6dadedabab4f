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
class RecvImMsgTask : public QRunnable
{
public:
    explicit RecvImMsgTask(const QJsonArray &messages);

    void run() override;

private:
    void handleCustomElem(const QJsonObject &message, const QJsonObject &element);
    void handleChatMsg(const QString &convId, const QString &sender, int seq, int rand,
                       int serverTime, const QString &data);
    void handleCommand(const QString &sender, int seq, int rand, const QString &desc,
                       const QString &data);
    void handleGroupTips(const QJsonObject &message, const QJsonObject &element);
    void handleGroupReport(const QJsonObject &message, const QJsonObject &element);

    const QString &userId();
    const QString &liveId();

    QJsonArray messages;
    // Read from the settings once a batch, on first need.
    QString cachedUserId;
    QString cachedLiveId;
    bool idsRead = false;
};
