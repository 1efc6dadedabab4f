#include "TrtcUtil.h"

#include "TrtcSdk.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <atomic>
#include <initializer_list>

namespace {

std::atomic<TrtcUtil *> singleton{nullptr};
QMutex singletonMutex;

bool isOneOf(int code, std::initializer_list<int> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace

TrtcUtil::TrtcUtil() = default;

TrtcUtil::~TrtcUtil()
{
    destroyTRTCShareInstance();
}

TrtcUtil *TrtcUtil::instance()
{
    TrtcUtil *util = singleton.load(std::memory_order_acquire);
    if (util == nullptr) {
        QMutexLocker locker(&singletonMutex);
        util = singleton.load(std::memory_order_relaxed);
        if (util == nullptr) {
            util = new TrtcUtil;
            singleton.store(util, std::memory_order_release);
        }
    }
    return util;
}

void TrtcUtil::addCallback(liteav::ITRTCCloudCallback *callback)
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk != nullptr && callback != nullptr) {
        sdk->addCallback(callback);
    }
}

void TrtcUtil::removeCallback(liteav::ITRTCCloudCallback *callback)
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk != nullptr && callback != nullptr) {
        sdk->removeCallback(callback);
    }
}

QString TrtcUtil::getSDKVersion() const
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    return sdk != nullptr ? TrtcSdk::fromSdk(sdk->getSDKVersion()) : QString();
}

bool TrtcUtil::isCameraError(int code)
{
    return isOneOf(code, {-1301, -1314, -1315, -1316});
}

bool TrtcUtil::isMicError(int code)
{
    return isOneOf(code, {-1302, -1317, -1319, -1320});
}

bool TrtcUtil::isSpeakerError(int code)
{
    return isOneOf(code, {-1321, -1322, -1323});
}

bool TrtcUtil::isEnterRoomError(int code)
{
    return isOneOf(code,
                   {-3301, -3308, -3316, -3317, -3318, -3319, -3320, -100006, -100013, -100018});
}
