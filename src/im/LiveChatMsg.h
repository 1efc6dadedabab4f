#pragma once

#include <QJsonObject>
#include <QString>

// One received chat line, as the live window's page reads it.
struct LiveChatMsg
{
    QString chatMsgId;
    int sdkAppId = 0;
    QString convId;
    QString convType;
    QString senderId;
    QString senderName;
    QString senderAvatarUrl;
    QString sendTime;
    int msgType = 0;
    int msgSeq = 0;
    int msgRandom = 0;
    QString content;
    int isBlock = 0;
    int deleteFlag = 0;
    QString createTime;
    QString updateTime;

    // All sixteen keys, without those that are empty strings.
    QJsonObject toJson() const;
};
