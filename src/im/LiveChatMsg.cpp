#include "LiveChatMsg.h"

#include "JsonUtil.h"

QJsonObject LiveChatMsg::toJson() const
{
    QJsonObject obj;
    obj.insert(QStringLiteral("chatMsgId"), chatMsgId);
    obj.insert(QStringLiteral("sdkAppId"), sdkAppId);
    obj.insert(QStringLiteral("convId"), convId);
    obj.insert(QStringLiteral("convType"), convType);
    obj.insert(QStringLiteral("senderId"), senderId);
    obj.insert(QStringLiteral("senderName"), senderName);
    obj.insert(QStringLiteral("senderAvatarUrl"), senderAvatarUrl);
    obj.insert(QStringLiteral("sendTime"), sendTime);
    obj.insert(QStringLiteral("msgType"), msgType);
    obj.insert(QStringLiteral("msgSeq"), msgSeq);
    obj.insert(QStringLiteral("msgRandom"), msgRandom);
    obj.insert(QStringLiteral("content"), content);
    obj.insert(QStringLiteral("isBlock"), isBlock);
    obj.insert(QStringLiteral("deleteFlag"), deleteFlag);
    obj.insert(QStringLiteral("createTime"), createTime);
    obj.insert(QStringLiteral("updateTime"), updateTime);
    return JsonUtil::cleanObject(obj);
}
