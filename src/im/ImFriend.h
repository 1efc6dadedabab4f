#pragma once

#include "ImProfile.h"

// Friendship operations: none are used by this client.
class ImFriend : public ImProfile
{
public:
    ~ImFriend() override;
};
