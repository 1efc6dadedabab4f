#pragma once

#include "ImGroup.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// The kinds of the program's custom messages: the element's description.
namespace ImMsgType {
inline const QString ChatMsg = QStringLiteral("ChatMsg");
inline const QString LiveCommand = QStringLiteral("LiveCommand");
inline const QString BoardCommand = QStringLiteral("BoardCommand");
inline const QString ImCommand = QStringLiteral("ImCommand");
inline const QString CloudCommand = QStringLiteral("CloudCommand");
} // namespace ImMsgType

// SDK conversation types.
enum ImConvType { ImConvC2C = 1, ImConvGroup = 2 };

// Sending the program's messages: one custom element whose description is the kind and whose data
// is a compact JSON object. Every operation returns the SDK's code (0: queued); the send result
// arrives in cb->onSendMessageCb on the SDK's thread.
class ImMessage : public ImGroup
{
public:
    ~ImMessage() override;

    // New messages, update, receipt, revoke and upload progress go to cb; null removes the
    // new-message callback and leaves the others registered without a receiver.
    void setMessageCallback(ImCallback *cb);

    int sendC2CChatMsg(const QString &convId, const QString &text, ImCallback *cb);
    int sendGroupChatMsg(const QString &convId, const QString &text, ImCallback *cb);
    int sendC2CCommand(const QString &convId, const QString &kind, const QJsonObject &command,
                       ImCallback *cb);
    int sendGroupCommand(const QString &convId, const QString &kind, const QJsonObject &command,
                         ImCallback *cb);

    int sendC2CMessage(const QString &convId, const QJsonArray &elements, const QString &messageId,
                       ImCallback *cb);
    int sendGroupMessage(const QString &convId, const QJsonArray &elements,
                         const QString &messageId, ImCallback *cb);
    int sendMessage(const QString &convId, int convType, const QJsonObject &message,
                    const QString &messageId, ImCallback *cb);

    int cleanConvUnreadCount(const QString &convId, int convType, quint64 timestamp,
                             quint64 sequence, ImCallback *cb);

    // The element of one custom message.
    static QJsonObject customElem(const QString &kind, const QJsonObject &data);
    // "group_" or "c2c_" in front of the id, unless it is there already.
    static QString prefixedConvId(const QString &convId, int convType);

private:
    int sendChatMsg(const QString &convId, int convType, const QString &text, ImCallback *cb);
    int sendCommand(const QString &convId, int convType, const QString &kind,
                    const QJsonObject &command, ImCallback *cb);
};
