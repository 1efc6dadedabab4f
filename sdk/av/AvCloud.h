// The SDK object: local media on GStreamer, driven on the engine thread, with its events
// delivered by the dispatcher. The room is a back end behind RoomBackend: the room of one
// without a server, or a Janus VideoRoom when a server is configured.
#pragma once

#include "AvDevices.h"
#include "AvEngine.h"
#include "AvPipeline.h"
#include "AvRecorder.h"
#include "AvRoom.h"
#include "AvScreen.h"
#include "AvVideo.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace brvav {

/// The room without a server: the user is its only participant.
class LocalRoom : public RoomBackend
{
public:
    int enter(const liteav::TRTCParams &params, liteav::TRTCAppScene scene) override;
    void exit() override {}
};

class Cloud : public liteav::ITRTCCloud, public DeviceHost, public RoomHost
{
public:
    Cloud();
    ~Cloud() override;

    void addCallback(liteav::ITRTCCloudCallback *callback) override;
    void removeCallback(liteav::ITRTCCloudCallback *callback) override;

    void enterRoom(const liteav::TRTCParams &params, liteav::TRTCAppScene scene) override;
    void exitRoom() override;
    void switchRole(liteav::TRTCRoleType role) override;

    void startLocalPreview(liteav::TXView rendView) override;
    void stopLocalPreview() override;
    void muteLocalVideo(liteav::TRTCVideoStreamType streamType, bool mute) override;
    void startRemoteView(const char *userId, liteav::TRTCVideoStreamType streamType,
                         liteav::TXView rendView) override;
    void stopRemoteView(const char *userId, liteav::TRTCVideoStreamType streamType) override;
    void stopAllRemoteView() override;
    void muteRemoteVideoStream(const char *userId, liteav::TRTCVideoStreamType streamType,
                               bool mute) override;
    void setVideoEncoderParam(const liteav::TRTCVideoEncParam &params) override;
    void setLocalRenderParams(const liteav::TRTCRenderParams &params) override;
    void setRemoteRenderParams(const char *userId, liteav::TRTCVideoStreamType streamType,
                               const liteav::TRTCRenderParams &params) override;
    int setLocalVideoRenderCallback(liteav::TRTCVideoPixelFormat pixelFormat,
                                    liteav::TRTCVideoBufferType bufferType,
                                    liteav::ITRTCVideoRenderCallback *callback) override;
    int setRemoteVideoRenderCallback(const char *userId, liteav::TRTCVideoPixelFormat pixelFormat,
                                     liteav::TRTCVideoBufferType bufferType,
                                     liteav::ITRTCVideoRenderCallback *callback) override;

    void startLocalAudio(liteav::TRTCAudioQuality quality) override;
    void stopLocalAudio() override;
    void muteLocalAudio(bool mute) override;
    void muteRemoteAudio(const char *userId, bool mute) override;
    void muteAllRemoteAudio(bool mute) override;
    void enableAudioVolumeEvaluation(bool enable,
                                     const liteav::TRTCAudioVolumeEvaluateParams &params) override;
    void setAudioPlayoutVolume(int volume) override;
    int getAudioPlayoutVolume() override;
    void setAudioCaptureVolume(int volume) override;
    int getAudioCaptureVolume() override;

    void setBeautyStyle(liteav::TRTCBeautyStyle style, uint32_t beautyLevel,
                        uint32_t whitenessLevel, uint32_t ruddinessLevel) override;
    liteav::ITXDeviceManager *getDeviceManager() override;

    liteav::ITRTCScreenCaptureSourceList *
    getScreenCaptureSources(const liteav::SIZE &thumbSize, const liteav::SIZE &iconSize) override;
    void selectScreenCaptureTarget(const liteav::TRTCScreenCaptureSourceInfo &source,
                                   const liteav::RECT &captureRect,
                                   const liteav::TRTCScreenCaptureProperty &property) override;
    void startScreenCapture(liteav::TXView rendView, liteav::TRTCVideoStreamType streamType,
                            liteav::TRTCVideoEncParam *encParam) override;
    void pauseScreenCapture() override;
    void resumeScreenCapture() override;
    void stopScreenCapture() override;

    void startSpeedTest(uint32_t sdkAppId, const char *userId, const char *userSig) override;
    void stopSpeedTest() override;
    const char *getSDKVersion() override;
    void callExperimentalAPI(const char *jsonStr) override;

    // DeviceHost
    int startCameraTest(liteav::TXView view) override;
    int stopCameraTest() override;
    int startMicTest(uint32_t interval) override;
    int stopMicTest() override;
    int startSpeakerTest(const char *path) override;
    int stopSpeakerTest() override;
    void selectedDeviceChanged(liteav::TXMediaDeviceType type) override;
    void deviceVolumeChanged(liteav::TXMediaDeviceType type) override;

    // RoomHost
    void roomEntered(int result) override;
    void roomEnded(int reason) override;
    GstElement *makeWindowRender(liteav::TXView view, RenderTarget &target) override;
    void followWindow(Pipeline &pipe, const RenderTarget &target) override;
    GstElement *makeSpeakerSink() override;

private:
    enum class VideoKind { Preview, CameraTest, Screen };
    struct Video
    {
        VideoKind kind = VideoKind::Preview;
        std::unique_ptr<Pipeline> pipe;
        BeautyFilter beauty;
        liteav::TXView view = nullptr;
        std::atomic<bool> firstFrame{false};
        std::string sinkName;
    };
    enum class AudioKind { MicTest, LocalAudio, SpeakerTest };
    struct Audio
    {
        AudioKind kind = AudioKind::MicTest;
        std::unique_ptr<Pipeline> pipe;
        uint32_t interval = 300;
        std::string path;
        std::atomic<bool> firstFrame{false};
    };

    // Engine thread only from here on.
    std::unique_ptr<Video> makeCameraVideo(VideoKind kind, liteav::TXView view, int *error);
    std::unique_ptr<Video> makeScreenVideo(liteav::TXView view, int *error);
    // The area of the root window the selected target covers now, clipped to the screen.
    Rect captureArea();
    void finishVideo(Video &video, GstElement *pipeline, GstElement *last);
    std::unique_ptr<Audio> makeAudio(AudioKind kind, uint32_t interval, const std::string &path,
                                     int *error);
    void applyEncoder(Video &video);
    void applyRender(Video &video);
    void applyAudioVolume(Audio &audio);
    void videoFrameArrived(Video *video, int width, int height);
    void audioFrameArrived(Audio *audio);
    void levelMessage(Audio *audio, GstMessage *message);
    void stopVideo(std::unique_ptr<Video> &video);
    void stopAudio(std::unique_ptr<Audio> &audio);
    void emitError(liteav::TXLiteAVError code, const std::string &text);
    void emitWarning(liteav::TXLiteAVWarning code, const std::string &text);
    std::string overlayText() const;
    GstElement *addTap(GstElement *pipeline, GstElement *after, MediaTap *tap);
    void mediaChanged();
    void leaveRoomMedia();

    Engine engine_;
    Dispatcher dispatcher_;
    XConnection x_;
    Devices devices_;

    std::unique_ptr<Video> preview_;
    std::unique_ptr<Video> cameraTest_;
    std::unique_ptr<Video> capture_;
    std::unique_ptr<Audio> micTest_;
    std::unique_ptr<Audio> localAudio_;
    std::unique_ptr<Audio> speakerTest_;

    liteav::TRTCVideoEncParam encoder_;
    liteav::TRTCRenderParams render_;
    liteav::TRTCBeautyStyle beautyStyle_ = liteav::TRTCBeautyStyleSmooth;
    uint32_t beautyLevels_[3] = {0, 0, 0};
    bool volumeEvaluation_ = false;
    uint32_t volumeInterval_ = 300;
    std::atomic<bool> localAudioMuted_{false};
    bool localVideoMuted_ = false;
    int playoutVolume_ = 100;
    int captureVolume_ = 100;

    // The capture target: an area of the root window, clipped to the screen when it starts.
    bool hasTarget_ = false;
    unsigned long targetWindow_ = 0;
    Rect targetArea_;
    bool targetMouse_ = true;
    bool capturePaused_ = false;

    std::unique_ptr<Recorder> recorder_;
    MediaTaps taps_;
    std::unique_ptr<RoomBackend> room_;
    std::string roomServer_; // the server room_ speaks to; empty for the room of one
    std::string server_;     // the server the next enterRoom uses
    std::chrono::steady_clock::time_point enterStarted_;
    std::string enteringUser_;
    std::atomic<bool> inRoom_{false};
    std::string userId_;
    liteav::TRTCVideoEncParam screenEncoder_;
};

} // namespace brvav
