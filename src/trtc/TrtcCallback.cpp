#include "TrtcCallback.h"

#include "TrtcSdk.h"

#include <QDebug>

using TrtcSdk::fromSdk;

TrtcCallback::~TrtcCallback() = default;

void TrtcCallback::onError(TXLiteAVError errCode, const char *errMsg, void *extraInfo)
{
    qDebug() << "TrtcCallback::onError" << errCode << fromSdk(errMsg) << extraInfo;
}

void TrtcCallback::onWarning(TXLiteAVWarning warningCode, const char *warningMsg, void *extraInfo)
{
    qDebug() << "TrtcCallback::onWarning" << warningCode << fromSdk(warningMsg) << extraInfo;
}

void TrtcCallback::onEnterRoom(int result)
{
    qDebug() << "TrtcCallback::onEnterRoom" << result;
}

void TrtcCallback::onExitRoom(int reason)
{
    qDebug() << "TrtcCallback::onExitRoom" << reason;
}

void TrtcCallback::onRemoteUserEnterRoom(const char *userId)
{
    qDebug() << "TrtcCallback::onRemoteUserEnterRoom" << fromSdk(userId);
}

void TrtcCallback::onRemoteUserLeaveRoom(const char *userId, int reason)
{
    qDebug() << "TrtcCallback::onRemoteUserLeaveRoom" << fromSdk(userId) << reason;
}

void TrtcCallback::onUserVideoAvailable(const char *userId, bool available)
{
    qDebug() << "TrtcCallback::onUserVideoAvailable" << fromSdk(userId) << available;
}

void TrtcCallback::onUserSubStreamAvailable(const char *userId, bool available)
{
    qDebug() << "TrtcCallback::onUserSubStreamAvailable" << fromSdk(userId) << available;
}

void TrtcCallback::onUserAudioAvailable(const char *userId, bool available)
{
    qDebug() << "TrtcCallback::onUserAudioAvailable" << fromSdk(userId) << available;
}

void TrtcCallback::onFirstVideoFrame(const char *userId, const TRTCVideoStreamType streamType,
                                     const int width, const int height)
{
    qDebug() << "TrtcCallback::onFirstVideoFrame" << fromSdk(userId) << streamType << width
             << height;
}

void TrtcCallback::onFirstAudioFrame(const char *userId)
{
    qDebug() << "TrtcCallback::onFirstAudioFrame" << fromSdk(userId);
}

void TrtcCallback::onSendFirstLocalVideoFrame(const TRTCVideoStreamType streamType)
{
    qDebug() << "TrtcCallback::onSendFirstLocalVideoFrame" << streamType;
}

void TrtcCallback::onSendFirstLocalAudioFrame()
{
    qDebug() << "TrtcCallback::onSendFirstLocalAudioFrame";
}

void TrtcCallback::onRemoteVideoStatusUpdated(const char *userId, TRTCVideoStreamType streamType,
                                              TRTCAVStatusType status,
                                              TRTCAVStatusChangeReason reason, void *extrainfo)
{
    Q_UNUSED(extrainfo)
    qDebug() << "TrtcCallback::onRemoteVideoStatusUpdated" << fromSdk(userId) << streamType
             << status << reason;
}

void TrtcCallback::onRemoteAudioStatusUpdated(const char *userId, TRTCAVStatusType status,
                                              TRTCAVStatusChangeReason reason, void *extrainfo)
{
    Q_UNUSED(extrainfo)
    qDebug() << "TrtcCallback::onRemoteAudioStatusUpdated" << fromSdk(userId) << status << reason;
}

void TrtcCallback::onUserVideoSizeChanged(const char *userId, TRTCVideoStreamType streamType,
                                          int newWidth, int newHeight)
{
    qDebug() << "TrtcCallback::onUserVideoSizeChanged" << fromSdk(userId) << streamType << newWidth
             << newHeight;
}

void TrtcCallback::onNetworkQuality(TRTCQualityInfo localQuality, TRTCQualityInfo *remoteQuality,
                                    uint32_t remoteQualityCount)
{
    qDebug() << "onNetworkQuality" << localQuality.quality << remoteQualityCount;
    if (remoteQuality != nullptr && remoteQualityCount > 0) {
        qDebug() << "onNetworkQuality" << remoteQuality[0].quality;
    }
}

void TrtcCallback::onSpeedTestResult(const TRTCSpeedTestResult &result)
{
    Q_UNUSED(result)
    qDebug() << "onSpeedTestResult";
}

void TrtcCallback::onConnectionLost()
{
    qDebug() << "TrtcCallback::onConnectionLost";
}

void TrtcCallback::onTryToReconnect()
{
    qDebug() << "TrtcCallback::onTryToReconnect";
}

void TrtcCallback::onConnectionRecovery()
{
    qDebug() << "TrtcCallback::onConnectionRecovery";
}

void TrtcCallback::onCameraDidReady()
{
    qDebug() << "onCameraDidReady";
}

void TrtcCallback::onMicDidReady()
{
    qDebug() << "onMicDidReady";
}

void TrtcCallback::onUserVoiceVolume(TRTCVolumeInfo *userVolumes, uint32_t userVolumesCount,
                                     uint32_t totalVolume)
{
    if (userVolumes == nullptr || userVolumesCount == 0) {
        return;
    }
    qDebug() << "onUserVoiceVolume" << fromSdk(userVolumes[0].userId) << userVolumes[0].volume
             << userVolumesCount << totalVolume;
}

void TrtcCallback::onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                                  TXMediaDeviceState state)
{
    qDebug() << "onDeviceChange" << fromSdk(deviceId) << type << state;
}

void TrtcCallback::onAudioDeviceCaptureVolumeChanged(uint32_t volume, bool muted)
{
    qDebug() << "onAudioDeviceCaptureVolumeChanged" << volume << muted;
}

void TrtcCallback::onAudioDevicePlayoutVolumeChanged(uint32_t volume, bool muted)
{
    qDebug() << "onAudioDevicePlayoutVolumeChanged" << volume << muted;
}

void TrtcCallback::onSystemAudioLoopbackError(TXLiteAVError errCode)
{
    qDebug() << "onSystemAudioLoopbackError" << errCode;
}

void TrtcCallback::onStartPublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                             void *extraInfo)
{
    qDebug() << "onStartPublishMediaStream" << fromSdk(taskId) << errCode << fromSdk(errMsg)
             << extraInfo;
}

void TrtcCallback::onUpdatePublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                              void *extraInfo)
{
    qDebug() << "onUpdatePublishMediaStream" << fromSdk(taskId) << errCode << fromSdk(errMsg)
             << extraInfo;
}

void TrtcCallback::onStopPublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                            void *extraInfo)
{
    qDebug() << "onStopPublishMediaStream" << fromSdk(taskId) << errCode << fromSdk(errMsg)
             << extraInfo;
}

void TrtcCallback::onCdnStreamStateChanged(const char *cdnUrl, int status, int errCode,
                                           const char *errMsg, void *extraInfo)
{
    qDebug() << "onCdnStreamStateChanged" << fromSdk(cdnUrl) << status << errCode << fromSdk(errMsg)
             << extraInfo;
}

void TrtcCallback::onScreenCaptureCovered()
{
    qDebug() << "TrtcCallback::onScreenCaptureCovered";
}

void TrtcCallback::onScreenCaptureStarted()
{
    qDebug() << "TrtcCallback::onScreenCaptureStarted";
}

void TrtcCallback::onScreenCapturePaused(int reason)
{
    qDebug() << "TrtcCallback::onScreenCapturePaused" << reason;
}

void TrtcCallback::onScreenCaptureResumed(int reason)
{
    qDebug() << "TrtcCallback::onScreenCaptureResumed" << reason;
}

void TrtcCallback::onScreenCaptureStoped(int reason)
{
    qDebug() << "TrtcCallback::onScreenCaptureStoped" << reason;
}

void TrtcCallback::onRenderVideoFrame(const char *userId, TRTCVideoStreamType streamType,
                                      TRTCVideoFrame *frame)
{
    Q_UNUSED(userId)
    Q_UNUSED(frame)
    qDebug() << "TrtcCallback::onRenderVideoFrame" << streamType;
}

int TrtcCallback::queryRenderState() const
{
    return 0;
}
