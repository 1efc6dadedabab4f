#include "ImMessage.h"

#include "AppSettings.h"
#include "Clock.h"
#include "ImCallback.h"
#include "JsonUtil.h"
#include "StringUtil.h"

#include "brv_im.h"

#include <QDebug>

#include <cstring>

ImMessage::~ImMessage() = default;

void ImMessage::setMessageCallback(ImCallback *cb)
{
    TIMRemoveRecvNewMsgCallback(&ImCallback::forwardRecvNewMsg);
    if (cb) {
        TIMAddRecvNewMsgCallback(&ImCallback::forwardRecvNewMsg, cb);
    }
    TIMSetMsgUpdateCallback(&ImCallback::forwardMsgUpdate, cb);
    TIMSetMsgReadedReceiptCallback(&ImCallback::forwardMsgReadedReceipt, cb);
    TIMSetMsgRevokeCallback(&ImCallback::forwardMsgRevoke, cb);
    TIMSetMsgElemUploadProgressCallback(&ImCallback::forwardMsgElemUploadProgress, cb);
}

QJsonObject ImMessage::customElem(const QString &kind, const QJsonObject &data)
{
    QJsonObject elem;
    elem.insert(QStringLiteral("elem_type"), 3);
    elem.insert(QStringLiteral("custom_elem_data"), JsonUtil::toCompactString(data));
    elem.insert(QStringLiteral("custom_elem_desc"), kind);
    return elem;
}

int ImMessage::sendChatMsg(const QString &convId, int convType, const QString &text, ImCallback *cb)
{
    const UserInfo user = AppSettings::userInfo();
    QJsonObject chat;
    chat.insert(QStringLiteral("senderId"), user.userId);
    chat.insert(QStringLiteral("nickname"), user.nickname);
    chat.insert(QStringLiteral("avatarUrl"), user.avatarUrl);
    chat.insert(QStringLiteral("message"), text);
    const QJsonArray elements{customElem(ImMsgType::ChatMsg, chat)};
    return convType == ImConvGroup ? sendGroupMessage(convId, elements, StringUtil::uuid(), cb)
                                   : sendC2CMessage(convId, elements, StringUtil::uuid(), cb);
}

int ImMessage::sendCommand(const QString &convId, int convType, const QString &kind,
                           const QJsonObject &command, ImCallback *cb)
{
    const QJsonArray elements{customElem(kind, command)};
    return convType == ImConvGroup ? sendGroupMessage(convId, elements, StringUtil::uuid(), cb)
                                   : sendC2CMessage(convId, elements, StringUtil::uuid(), cb);
}

int ImMessage::sendC2CChatMsg(const QString &convId, const QString &text, ImCallback *cb)
{
    qDebug() << "ImMessage-sendC2CChatMsg" << convId << text;
    return sendChatMsg(convId, ImConvC2C, text, cb);
}

int ImMessage::sendGroupChatMsg(const QString &convId, const QString &text, ImCallback *cb)
{
    qDebug() << "ImMessage-sendGroupChatMsg" << convId << text;
    return sendChatMsg(convId, ImConvGroup, text, cb);
}

int ImMessage::sendC2CCommand(const QString &convId, const QString &kind,
                              const QJsonObject &command, ImCallback *cb)
{
    qDebug() << "ImMessage-sendC2CCommand" << convId << kind << command;
    return sendCommand(convId, ImConvC2C, kind, command, cb);
}

int ImMessage::sendGroupCommand(const QString &convId, const QString &kind,
                                const QJsonObject &command, ImCallback *cb)
{
    qDebug() << "ImMessage-sendGroupCommand" << convId << kind << command;
    return sendCommand(convId, ImConvGroup, kind, command, cb);
}

namespace {
QJsonObject messageJson(const QString &convId, const QJsonArray &elements)
{
    const qint64 now = Clock::currentMSecsSinceEpoch();
    QJsonObject message;
    message.insert(QStringLiteral("message_sender"), AppSettings::userId());
    message.insert(QStringLiteral("message_conv_id"), convId);
    message.insert(QStringLiteral("message_elem_array"), elements);
    message.insert(QStringLiteral("message_client_time"), now);
    message.insert(QStringLiteral("message_server_time"), now);
    return message;
}
} // namespace

int ImMessage::sendC2CMessage(const QString &convId, const QJsonArray &elements,
                              const QString &messageId, ImCallback *cb)
{
    return sendMessage(convId, ImConvC2C, messageJson(convId, elements), messageId, cb);
}

int ImMessage::sendGroupMessage(const QString &convId, const QJsonArray &elements,
                                const QString &messageId, ImCallback *cb)
{
    return sendMessage(convId, ImConvGroup, messageJson(convId, elements), messageId, cb);
}

int ImMessage::sendMessage(const QString &convId, int convType, const QJsonObject &message,
                           const QString &messageId, ImCallback *cb)
{
    qDebug() << "ImMessage::sendMessage" << convId << message;
    // The SDK may write its own id here; 128 bytes is what it asks for.
    char idBuffer[128] = {};
    const QByteArray id = messageId.toUtf8();
    std::memcpy(idBuffer, id.constData(), qMin<size_t>(id.size(), sizeof(idBuffer) - 1));
    const int code = TIMMsgSendMessage(convId.toUtf8().constData(), convType,
                                       JsonUtil::toCompactString(message).toUtf8().constData(),
                                       idBuffer, &ImCallback::forwardSendMessage, cb);
    if (code != 0) {
        qDebug() << "ImMessage::sendMessage error" << code;
    }
    return code;
}

QString ImMessage::prefixedConvId(const QString &convId, int convType)
{
    const QString group = QStringLiteral("group_");
    const QString c2c = QStringLiteral("c2c_");
    if (convType == ImConvGroup && !convId.startsWith(group)) {
        return group + convId;
    }
    if (convType == ImConvC2C && !convId.startsWith(c2c)) {
        return c2c + convId;
    }
    return convId;
}

int ImMessage::cleanConvUnreadCount(const QString &convId, int convType, quint64 timestamp,
                                    quint64 sequence, ImCallback *cb)
{
    const int code = TIMConvCleanConversationUnreadMessageCount(
        prefixedConvId(convId, convType).toUtf8().constData(), timestamp, sequence,
        &ImCallback::forwardCleanConvUnreadCount, cb);
    if (code != 0) {
        qDebug() << "ImMessage::cleanConvUnreadCount error" << code;
    }
    return code;
}
