#pragma once

#include "brv_av.h"

#include <QByteArray>
#include <QString>

// What every wrapper needs from the SDK, fetched anew at each call so that nothing here holds
// on to an instance the SDK may have replaced.
namespace TrtcSdk {

inline liteav::ITRTCCloud *cloud()
{
    return getTRTCShareInstance();
}

inline liteav::ITXDeviceManager *deviceManager()
{
    liteav::ITRTCCloud *sdk = cloud();
    return sdk != nullptr ? sdk->getDeviceManager() : nullptr;
}

// Texts from the SDK are UTF-8; a null pointer reads as empty.
inline QString fromSdk(const char *text)
{
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

inline liteav::TXMediaDeviceType deviceType(int type)
{
    return static_cast<liteav::TXMediaDeviceType>(type);
}

// A native window handle as the SDK takes it.
template <typename Handle> liteav::TXView view(Handle handle)
{
    return reinterpret_cast<liteav::TXView>(static_cast<quintptr>(handle));
}

} // namespace TrtcSdk
