#pragma once

#include "ImConv.h"

#include <QString>

// Group membership and the group's tips.
class ImGroup : public ImConv
{
public:
    ~ImGroup() override;

    // The answer arrives in cb->onJoinGroupCb: 0, or 10013 when already a member (see isImError).
    int joinGroup(const QString &groupId, ImCallback *cb);
    int quitGroup(const QString &groupId, ImCallback *cb);
    void setGroupTipsEventCallback(ImCallback *cb);
};
