#pragma once

#include "ImFriend.h"

// Conversation operations: none are used by this client (unread counts are cleared by
// ImMessage, next to the messages that cause them).
class ImConv : public ImFriend
{
public:
    ~ImConv() override;
};
