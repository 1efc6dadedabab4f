#include "ImGroup.h"

#include "ImCallback.h"

#include "brv_im.h"

#include <QDebug>

ImFriend::~ImFriend() = default;
ImConv::~ImConv() = default;
ImGroup::~ImGroup() = default;

int ImGroup::joinGroup(const QString &groupId, ImCallback *cb)
{
    const int code =
        TIMGroupJoin(groupId.toUtf8().constData(), "Hello", &ImCallback::forwardJoinGroup, cb);
    if (code != 0) {
        qDebug() << "ImGroup::joinGroup error" << code;
    }
    return code;
}

int ImGroup::quitGroup(const QString &groupId, ImCallback *cb)
{
    const int code = TIMGroupQuit(groupId.toUtf8().constData(), &ImCallback::forwardQuitGroup, cb);
    if (code != 0) {
        qDebug() << "ImGroup::quitGroup error" << code;
    }
    return code;
}

void ImGroup::setGroupTipsEventCallback(ImCallback *cb)
{
    TIMSetGroupTipsEventCallback(&ImCallback::forwardGroupTips, cb);
}
