#include "ImProfile.h"

#include "ImCallback.h"

#include "brv_im.h"

ImProfile::~ImProfile() = default;

void ImProfile::setUserStatusCallback(ImCallback *cb)
{
    TIMSetKickedOfflineCallback(&ImCallback::forwardKicked, cb);
    TIMSetUserSigExpiredCallback(&ImCallback::forwardUserSigExpired, cb);
}
