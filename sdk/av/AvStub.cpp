// Placeholder instance: every call answers "not supported" until the engine is in place.
#include "brv_av.h"

namespace {

using namespace liteav;

class StubCloud : public ITRTCCloud
{
public:
    void addCallback(ITRTCCloudCallback *) override {}
    void removeCallback(ITRTCCloudCallback *) override {}
    void enterRoom(const TRTCParams &, TRTCAppScene) override {}
    void exitRoom() override {}
    void switchRole(TRTCRoleType) override {}
    void startLocalPreview(TXView) override {}
    void stopLocalPreview() override {}
    void muteLocalVideo(TRTCVideoStreamType, bool) override {}
    void startRemoteView(const char *, TRTCVideoStreamType, TXView) override {}
    void stopRemoteView(const char *, TRTCVideoStreamType) override {}
    void stopAllRemoteView() override {}
    void muteRemoteVideoStream(const char *, TRTCVideoStreamType, bool) override {}
    void setVideoEncoderParam(const TRTCVideoEncParam &) override {}
    void setLocalRenderParams(const TRTCRenderParams &) override {}
    void setRemoteRenderParams(const char *, TRTCVideoStreamType, const TRTCRenderParams &) override
    {}
    int setLocalVideoRenderCallback(TRTCVideoPixelFormat, TRTCVideoBufferType,
                                    ITRTCVideoRenderCallback *) override
    {
        return ERR_NOT_SUPPORTED;
    }
    int setRemoteVideoRenderCallback(const char *, TRTCVideoPixelFormat, TRTCVideoBufferType,
                                     ITRTCVideoRenderCallback *) override
    {
        return ERR_NOT_SUPPORTED;
    }
    void startLocalAudio(TRTCAudioQuality) override {}
    void stopLocalAudio() override {}
    void muteLocalAudio(bool) override {}
    void muteRemoteAudio(const char *, bool) override {}
    void muteAllRemoteAudio(bool) override {}
    void enableAudioVolumeEvaluation(bool, const TRTCAudioVolumeEvaluateParams &) override {}
    void setAudioPlayoutVolume(int) override {}
    int getAudioPlayoutVolume() override { return 0; }
    void setAudioCaptureVolume(int) override {}
    int getAudioCaptureVolume() override { return 0; }
    void setBeautyStyle(TRTCBeautyStyle, uint32_t, uint32_t, uint32_t) override {}
    ITXDeviceManager *getDeviceManager() override { return nullptr; }
    ITRTCScreenCaptureSourceList *getScreenCaptureSources(const SIZE &, const SIZE &) override
    {
        return nullptr;
    }
    void selectScreenCaptureTarget(const TRTCScreenCaptureSourceInfo &, const RECT &,
                                   const TRTCScreenCaptureProperty &) override
    {}
    void startScreenCapture(TXView, TRTCVideoStreamType, TRTCVideoEncParam *) override {}
    void pauseScreenCapture() override {}
    void resumeScreenCapture() override {}
    void stopScreenCapture() override {}
    void startSpeedTest(uint32_t, const char *, const char *) override {}
    void stopSpeedTest() override {}
    const char *getSDKVersion() override { return "brimvale-av " BRV_AV_VERSION; }
};

StubCloud *g_instance = nullptr;

} // namespace

ITRTCCloud *getTRTCShareInstance()
{
    if (!g_instance)
        g_instance = new StubCloud;
    return g_instance;
}

void destroyTRTCShareInstance()
{
    delete g_instance;
    g_instance = nullptr;
}
