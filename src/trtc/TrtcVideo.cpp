#include "TrtcVideo.h"

#include "TrtcSdk.h"

#include <cstddef>

namespace {

struct EncoderPreset
{
    const char *name;
    liteav::TRTCVideoResolution resolution;
    uint32_t fps;
    uint32_t bitrate;
    uint32_t minBitrate;
};

const EncoderPreset encoderPresets[] = {
    {"FLU", liteav::TRTCVideoResolution_480_360, 24, 600, 400},
    {"SD", liteav::TRTCVideoResolution_640_480, 24, 900, 600},
    {"SD2", liteav::TRTCVideoResolution_640_360, 24, 900, 500},
    {"HD", liteav::TRTCVideoResolution_1280_720, 15, 1800, 1200},
    {"FHD", liteav::TRTCVideoResolution_1920_1080, 15, 3000, 2000},
};
const EncoderPreset defaultPreset = {"", liteav::TRTCVideoResolution_640_360, 15, 550, 0};

struct RenderPreset
{
    const char *menuItem;
    liteav::TRTCVideoRotation rotation;
    liteav::TRTCVideoMirrorType mirror;
};

const RenderPreset renderPresets[] = {
    {"pb_camera_original_video", liteav::TRTCVideoRotation0, liteav::TRTCVideoMirrorType_Disable},
    {"pb_camera_rotate_90", liteav::TRTCVideoRotation90, liteav::TRTCVideoMirrorType_Disable},
    {"pb_camera_rotate_270", liteav::TRTCVideoRotation270, liteav::TRTCVideoMirrorType_Disable},
    {"pb_camera_rotate_vertical", liteav::TRTCVideoRotation180,
     liteav::TRTCVideoMirrorType_Disable},
    {"pb_camera_rotate_horizontal", liteav::TRTCVideoRotation0, liteav::TRTCVideoMirrorType_Enable},
};

// The first preset that matches, else the fallback.
template <typename Preset, std::size_t N, typename Match>
const Preset *findPreset(const Preset (&presets)[N], const Preset *fallback, Match matches)
{
    for (const Preset &preset : presets) {
        if (matches(preset)) {
            return &preset;
        }
    }
    return fallback;
}

} // namespace

TrtcVideo::~TrtcVideo() = default;

TrtcSubStream::~TrtcSubStream() = default;

liteav::TRTCVideoEncParam TrtcVideo::encoderParamFor(const QString &resolutionName)
{
    const EncoderPreset *preset =
        findPreset(encoderPresets, &defaultPreset, [&resolutionName](const EncoderPreset &p) {
            return resolutionName.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0;
        });
    liteav::TRTCVideoEncParam params;
    params.videoResolution = preset->resolution;
    params.resMode = liteav::TRTCVideoResolutionModeLandscape;
    params.videoFps = preset->fps;
    params.videoBitrate = preset->bitrate;
    params.minVideoBitrate = preset->minBitrate;
    params.enableAdjustRes = false;
    return params;
}

liteav::TRTCRenderParams TrtcVideo::localRenderParamsFor(const QString &menuItem)
{
    const RenderPreset *preset =
        findPreset(renderPresets, &renderPresets[0], [&menuItem](const RenderPreset &p) {
            return menuItem == QLatin1String(p.menuItem);
        });
    liteav::TRTCRenderParams params;
    params.rotation = preset->rotation;
    params.fillMode = liteav::TRTCVideoFillMode_Fit;
    params.mirrorType = preset->mirror;
    return params;
}

liteav::TRTCRenderParams TrtcVideo::screenRenderParams()
{
    liteav::TRTCRenderParams params;
    params.rotation = liteav::TRTCVideoRotation0;
    params.fillMode = liteav::TRTCVideoFillMode_Fit;
    params.mirrorType = liteav::TRTCVideoMirrorType_Disable;
    return params;
}

void TrtcVideo::setVideoEncoderParam(const liteav::TRTCVideoEncParam &params)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->setVideoEncoderParam(params);
    }
}

void TrtcVideo::setLocalRenderParams(const liteav::TRTCRenderParams &params)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->setLocalRenderParams(params);
    }
}

void TrtcVideo::setRemoteRenderParams(const QString &userId, liteav::TRTCVideoStreamType streamType,
                                      const liteav::TRTCRenderParams &params)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->setRemoteRenderParams(userId.toUtf8().constData(), streamType, params);
    }
}

void TrtcVideo::startLocalPreview(quintptr view)
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (!isCameraEnabled() || sdk == nullptr || sdk->getDeviceManager() == nullptr) {
        return;
    }
    selectStoredDevice(Camera);
    applyBeautyStyle();
    sdk->startLocalPreview(TrtcSdk::view(view));
}

void TrtcVideo::stopLocalPreview()
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->stopLocalPreview();
        sdk->setLocalVideoRenderCallback(liteav::TRTCVideoPixelFormat_Unknown,
                                         liteav::TRTCVideoBufferType_Unknown, nullptr);
    }
}

void TrtcVideo::startRemoteView(const QString &userId, liteav::TRTCVideoStreamType streamType,
                                quintptr view)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->startRemoteView(userId.toUtf8().constData(), streamType, TrtcSdk::view(view));
    }
}

void TrtcVideo::stopRemoteRender(const QString &userId)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->setRemoteVideoRenderCallback(userId.toUtf8().constData(),
                                          liteav::TRTCVideoPixelFormat_Unknown,
                                          liteav::TRTCVideoBufferType_Unknown, nullptr);
    }
}

void TrtcVideo::stopRemoteView(const QString &userId, liteav::TRTCVideoStreamType streamType)
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->stopRemoteView(userId.toUtf8().constData(), streamType);
    }
}

void TrtcVideo::stopAllRemoteView()
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->stopAllRemoteView();
    }
}
