#pragma once

#include <QJsonObject>
#include <QRunnable>

class ImCallback;

// Sends one chat line or command from a pool thread. The task object has "convType" (1
// one-to-one, 2 group), "convId", "msgType" (the kind) and "msgData" (the chat text for
// "ChatMsg", the command object otherwise). The send result goes to cb, if it still exists then.
class SendImMsgTask : public QRunnable
{
public:
    SendImMsgTask(const QJsonObject &task, ImCallback *cb);

    void run() override;

private:
    QJsonObject task;
    ImCallback *cb;
};
