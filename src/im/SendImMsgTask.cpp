#include "SendImMsgTask.h"

#include "ImUtil.h"

SendImMsgTask::SendImMsgTask(const QJsonObject &task, ImCallback *cb) : task(task), cb(cb) {}

void SendImMsgTask::run()
{
    const int convType = task.value(QStringLiteral("convType")).toInt(0);
    const QString convId = task.value(QStringLiteral("convId")).toString();
    const QString msgType = task.value(QStringLiteral("msgType")).toString();
    const QJsonValue msgData = task.value(QStringLiteral("msgData"));
    const bool chat = msgType.compare(ImMsgType::ChatMsg, Qt::CaseInsensitive) == 0;
    ImUtil *im = ImUtil::instance();
    if (convType == ImConvGroup) {
        if (chat) {
            im->sendGroupChatMsg(convId, msgData.toString(), cb);
        } else {
            im->sendGroupCommand(convId, msgType, msgData.toObject(), cb);
        }
    } else if (convType == ImConvC2C) {
        if (chat) {
            im->sendC2CChatMsg(convId, msgData.toString(), cb);
        } else {
            im->sendC2CCommand(convId, msgType, msgData.toObject(), cb);
        }
    }
}
