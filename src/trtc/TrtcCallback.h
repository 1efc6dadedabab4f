#pragma once

#include "brv_av.h"

// The sink of the SDK's events: each event the client cares about writes one debug line and
// does nothing else. Windows derive from it and override what they act on; the SDK calls it on
// its own threads, so an override that touches a window carries the work to the GUI thread.
class TrtcCallback : public liteav::ITRTCCloudCallback
{
public:
    ~TrtcCallback() override;

    using TXLiteAVError = liteav::TXLiteAVError;
    using TXLiteAVWarning = liteav::TXLiteAVWarning;
    using TXMediaDeviceType = liteav::TXMediaDeviceType;
    using TXMediaDeviceState = liteav::TXMediaDeviceState;
    using TRTCVideoStreamType = liteav::TRTCVideoStreamType;
    using TRTCAVStatusType = liteav::TRTCAVStatusType;
    using TRTCAVStatusChangeReason = liteav::TRTCAVStatusChangeReason;
    using TRTCQualityInfo = liteav::TRTCQualityInfo;
    using TRTCSpeedTestResult = liteav::TRTCSpeedTestResult;
    using TRTCVolumeInfo = liteav::TRTCVolumeInfo;
    using TRTCVideoFrame = liteav::TRTCVideoFrame;

    void onError(TXLiteAVError errCode, const char *errMsg, void *extraInfo) override;
    void onWarning(TXLiteAVWarning warningCode, const char *warningMsg, void *extraInfo) override;
    void onEnterRoom(int result) override;
    void onExitRoom(int reason) override;
    void onRemoteUserEnterRoom(const char *userId) override;
    void onRemoteUserLeaveRoom(const char *userId, int reason) override;
    void onUserVideoAvailable(const char *userId, bool available) override;
    void onUserSubStreamAvailable(const char *userId, bool available) override;
    void onUserAudioAvailable(const char *userId, bool available) override;
    void onFirstVideoFrame(const char *userId, const TRTCVideoStreamType streamType,
                           const int width, const int height) override;
    void onFirstAudioFrame(const char *userId) override;
    void onSendFirstLocalVideoFrame(const TRTCVideoStreamType streamType) override;
    void onSendFirstLocalAudioFrame() override;
    void onRemoteVideoStatusUpdated(const char *userId, TRTCVideoStreamType streamType,
                                    TRTCAVStatusType status, TRTCAVStatusChangeReason reason,
                                    void *extrainfo) override;
    void onRemoteAudioStatusUpdated(const char *userId, TRTCAVStatusType status,
                                    TRTCAVStatusChangeReason reason, void *extrainfo) override;
    void onUserVideoSizeChanged(const char *userId, TRTCVideoStreamType streamType, int newWidth,
                                int newHeight) override;
    void onNetworkQuality(TRTCQualityInfo localQuality, TRTCQualityInfo *remoteQuality,
                          uint32_t remoteQualityCount) override;
    void onSpeedTestResult(const TRTCSpeedTestResult &result) override;
    void onConnectionLost() override;
    void onTryToReconnect() override;
    void onConnectionRecovery() override;
    void onCameraDidReady() override;
    void onMicDidReady() override;
    void onUserVoiceVolume(TRTCVolumeInfo *userVolumes, uint32_t userVolumesCount,
                           uint32_t totalVolume) override;
    void onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                        TXMediaDeviceState state) override;
    void onAudioDeviceCaptureVolumeChanged(uint32_t volume, bool muted) override;
    void onAudioDevicePlayoutVolumeChanged(uint32_t volume, bool muted) override;
    void onSystemAudioLoopbackError(TXLiteAVError errCode) override;
    void onStartPublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                   void *extraInfo) override;
    void onUpdatePublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                    void *extraInfo) override;
    void onStopPublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                  void *extraInfo) override;
    void onCdnStreamStateChanged(const char *cdnUrl, int status, int errCode, const char *errMsg,
                                 void *extraInfo) override;
    void onScreenCaptureCovered() override;
    void onScreenCaptureStarted() override;
    void onScreenCapturePaused(int reason) override;
    void onScreenCaptureResumed(int reason) override;
    void onScreenCaptureStoped(int reason) override;

    // A frame of a custom renderer; the client registers none.
    virtual void onRenderVideoFrame(const char *userId, TRTCVideoStreamType streamType,
                                    TRTCVideoFrame *frame);
    // The custom renderer's state; there is none.
    virtual int queryRenderState() const;
};
