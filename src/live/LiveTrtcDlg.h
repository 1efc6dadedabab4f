#pragma once

#include "LiveImDlg.h"
#include "TrtcCallback.h"

#include <functional>

// The layer that takes part in the class's audio/video room: enters and leaves it, starts and
// stops the own camera, microphone and speaker, picks the encoder presets from the class settings
// and the own role, and turns the SDK's events into changes of the users' records, camera views
// and states.
//
// The SDK calls the event overrides on its own threads; each copies what it needs and acts on
// the GUI thread. Once the window's destruction has begun, no event reaches it.
class LiveTrtcDlg : public LiveImDlg, public TrtcCallback, public liteav::ITRTCVideoRenderCallback
{
    Q_OBJECT

public:
    explicit LiveTrtcDlg(QWidget *parent = nullptr);
    ~LiveTrtcDlg() override;

    void enterRoom() override;
    void startLocalVideo() override;
    void stopLocalVideo() override;
    void startLocalAudio() override;
    void stopLocalAudio() override;
    void stopSpeaker() override;
    void exitRoom();
    void startSpeaker();

    liteav::TRTCVideoEncParam getUserResolution();
    liteav::TRTCVideoEncParam getRecordResolution();
    liteav::TRTCVideoEncParam getScreenResolution();
    void updateNetQuality(const QString &userId, int quality);

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
    void onUserVoiceVolume(TRTCVolumeInfo *userVolumes, uint32_t userVolumesCount,
                           uint32_t totalVolume) override;
    void onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                        TXMediaDeviceState state) override;
    void onScreenCaptureCovered() override;
    void onScreenCaptureStarted() override;
    void onScreenCapturePaused(int reason) override;
    void onScreenCaptureResumed(int reason) override;
    void onScreenCaptureStoped(int reason) override;

    void onLocalRecordBegin(int errCode, const char *storagePath) override;
    void onLocalRecordComplete(int errCode, const char *storagePath) override;
    // Never registered: the views are drawn by the SDK itself.
    void onRenderVideoFrame(const char *userId, liteav::TRTCVideoStreamType streamType,
                            liteav::TRTCVideoFrame *frame) override;

protected:
    // From here on no SDK event reaches this window. A higher layer that overrides events calls
    // it first thing in its destructor; calling it again is harmless.
    void stopTrtcCallbacks();

private:
    // Runs work on the GUI thread: at once when called there, queued otherwise.
    void onGuiThread(std::function<void()> work);
    // The user with that id, or none (an empty id is never found).
    bool findUser(const QString &userId, LiveUser *user);
    liteav::TRTCVideoEncParam resolutionFor(const QString &key, const QString &defaultName);

    bool trtcStopped = false;
};
