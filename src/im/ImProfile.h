#pragma once

class ImCallback;

// The root of the IM facade: the signed-in user's status. The facade holds no state; every
// operation wraps one SDK function.
class ImProfile
{
public:
    virtual ~ImProfile();

    // Kicked offline and user signature expired go to cb; null stops their delivery.
    void setUserStatusCallback(ImCallback *cb);
};
