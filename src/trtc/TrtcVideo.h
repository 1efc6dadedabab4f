#pragma once

#include "TrtcDeviceTest.h"

// Local preview, remote views, encoder and render parameters, and their presets.
class TrtcVideo : public TrtcDeviceTest
{
public:
    ~TrtcVideo() override;

    // The encoder preset of a resolution name ("FLU", "SD", "SD2", "HD", "FHD", any letter
    // case); any other name gives 640x360 at 15 fps and 550 kbit/s.
    static liteav::TRTCVideoEncParam encoderParamFor(const QString &resolutionName);
    // The local render parameters of a camera menu item ("pb_camera_rotate_90", ...); an
    // unknown item gives the original picture.
    static liteav::TRTCRenderParams localRenderParamsFor(const QString &menuItem);
    // How a shared screen is shown: as it is, fitted, never mirrored.
    static liteav::TRTCRenderParams screenRenderParams();

    void setVideoEncoderParam(const liteav::TRTCVideoEncParam &params);
    void setLocalRenderParams(const liteav::TRTCRenderParams &params);
    void setRemoteRenderParams(const QString &userId, liteav::TRTCVideoStreamType streamType,
                               const liteav::TRTCRenderParams &params);

    // Nothing when the camera is disabled or there is no device manager.
    void startLocalPreview(quintptr view);
    void stopLocalPreview();
    void startRemoteView(const QString &userId, liteav::TRTCVideoStreamType streamType,
                         quintptr view);
    void stopRemoteRender(const QString &userId);
    // Stops the SDK drawing one stream of a user; the render callback alone leaves it running.
    void stopRemoteView(const QString &userId, liteav::TRTCVideoStreamType streamType);
    void stopAllRemoteView();
};

// Nothing of the sub stream is used beyond what the screen share does.
class TrtcSubStream : public TrtcVideo
{
public:
    ~TrtcSubStream() override;
};
