#include "AvCloud.h"

#include "AvJson.h"
#include "JanusRoom.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <sys/stat.h>

namespace brvav {

using namespace liteav;

namespace {

class SourceList : public ITRTCScreenCaptureSourceList
{
public:
    struct Item
    {
        CaptureSource source;
        std::vector<uint8_t> thumb;
        uint32_t thumbW = 0;
        uint32_t thumbH = 0;
    };
    std::vector<Item> items;

    uint32_t getCount() override { return uint32_t(items.size()); }
    TRTCScreenCaptureSourceInfo getSourceInfo(uint32_t index) override
    {
        TRTCScreenCaptureSourceInfo info;
        if (index >= items.size())
            return info;
        const Item &item = items[index];
        info.type = item.source.isScreen ? TRTCScreenCaptureSourceTypeScreen
                                         : TRTCScreenCaptureSourceTypeWindow;
        info.sourceId = reinterpret_cast<TXView>(item.source.id);
        info.sourceName = item.source.name.c_str();
        if (!item.thumb.empty()) {
            info.thumbBGRA.buffer = reinterpret_cast<const char *>(item.thumb.data());
            info.thumbBGRA.length = uint32_t(item.thumb.size());
            info.thumbBGRA.width = item.thumbW;
            info.thumbBGRA.height = item.thumbH;
        }
        info.isMinimizeWindow = item.source.minimized;
        info.isMainScreen = item.source.isMain;
        info.x = item.source.x;
        info.y = item.source.y;
        info.width = uint32_t(std::max(0, item.source.width));
        info.height = uint32_t(std::max(0, item.source.height));
        return info;
    }
    void release() override { delete this; }
};

// Level messages carry dB per channel; the SDK speaks 0–100 over the range −60…0 dB.
uint32_t levelVolume(GstMessage *message)
{
    const GstStructure *s = gst_message_get_structure(message);
    if (!s || !gst_structure_has_name(s, "level"))
        return UINT32_MAX;
    const GValue *rms = gst_structure_get_value(s, "rms");
    if (!rms)
        return UINT32_MAX;
    double loudest = -200;
    // In 1.22 the values come as a GValueArray (deprecated, but what the element posts).
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    auto *array = static_cast<GValueArray *>(g_value_get_boxed(rms));
    for (guint i = 0; array && i < array->n_values; ++i)
        loudest = std::max(loudest, g_value_get_double(g_value_array_get_nth(array, i)));
    G_GNUC_END_IGNORE_DEPRECATIONS
    const double volume = (loudest + 60.0) * 100.0 / 60.0;
    return uint32_t(std::lround(std::clamp(volume, 0.0, 100.0)));
}

GstElement *parseBin(const char *description)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description, TRUE, &error);
    g_clear_error(&error);
    return bin;
}

GstElement *parseFileBin()
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(
        "filesrc name=file ! decodebin ! audioconvert name=decoded", FALSE, &error);
    g_clear_error(&error);
    if (!bin)
        return nullptr;
    GstElement *decoded = gst_bin_get_by_name(GST_BIN(bin), "decoded");
    GstPad *pad = gst_element_get_static_pad(decoded, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
    gst_object_unref(pad);
    gst_object_unref(decoded);
    return bin;
}

bool fileExists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

int LocalRoom::enter(const TRTCParams &params, TRTCAppScene)
{
    if (!params.userId || !*params.userId)
        return ERR_USER_ID_INVALID;
    if (params.roomId == 0 && (!params.strRoomId || !*params.strRoomId))
        return ERR_ROOM_ID_INVALID;
    return 0;
}

Cloud::Cloud() : devices_(engine_, dispatcher_, *this)
{
    x_.installXlibErrorHandler();
    engine_.run([this] { devices_.start(); });
}

Cloud::~Cloud()
{
    // Events first: one running now may still call in, while everything is alive.
    dispatcher_.shutdown();
    engine_.run([this] {
        room_.reset();
        recorder_.reset();
        stopVideo(preview_);
        stopVideo(cameraTest_);
        stopVideo(capture_);
        stopAudio(micTest_);
        stopAudio(localAudio_);
        stopAudio(speakerTest_);
        devices_.stop();
    });
}

void Cloud::addCallback(ITRTCCloudCallback *callback)
{
    dispatcher_.add(callback);
}

void Cloud::removeCallback(ITRTCCloudCallback *callback)
{
    dispatcher_.remove(callback);
}

void Cloud::emitError(TXLiteAVError code, const std::string &text)
{
    dispatcher_.emit(
        [code, text](ITRTCCloudCallback &sink) { sink.onError(code, text.c_str(), nullptr); });
}

void Cloud::emitWarning(TXLiteAVWarning code, const std::string &text)
{
    dispatcher_.emit(
        [code, text](ITRTCCloudCallback &sink) { sink.onWarning(code, text.c_str(), nullptr); });
}

// ---- room ---------------------------------------------------------------------------------

void Cloud::enterRoom(const TRTCParams &params, TRTCAppScene scene)
{
    const auto started = std::chrono::steady_clock::now();
    const std::string userId = params.userId ? params.userId : "";
    engine_.run([&] {
        if (inRoom_) {
            // A second enterRoom moves to the other room.
            leaveRoomMedia();
            inRoom_ = false;
        }
        if (room_)
            room_->exit();
        if (!room_ || roomServer_ != server_) {
            room_.reset();
            roomServer_ = server_;
            if (server_.empty())
                room_ = std::make_unique<LocalRoom>();
            else
                room_ = std::make_unique<JanusRoom>(engine_, dispatcher_, *this, taps_, server_);
        }
        enterStarted_ = started;
        enteringUser_ = userId;
        const int result = room_->enter(params, scene);
        if (result != RoomBackend::kPending)
            roomEntered(result == 0 ? 1 : result);
    });
}

void Cloud::roomEntered(int result)
{
    if (result < 0) {
        dispatcher_.emit([result](ITRTCCloudCallback &sink) { sink.onEnterRoom(result); });
        return;
    }
    userId_ = enteringUser_;
    inRoom_ = true;
    for (Video *v : {preview_.get(), cameraTest_.get()}) {
        if (v && v->pipe) {
            if (GstElement *clock = v->pipe->byName("clock"))
                g_object_set(clock, "text", overlayText().c_str(), nullptr);
        }
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - enterStarted_)
                             .count();
    const int ms = int(std::max<long long>(1, elapsed));
    dispatcher_.emit([ms](ITRTCCloudCallback &sink) { sink.onEnterRoom(ms); });
    // What already runs is published from now on.
    if (preview_ && preview_->firstFrame)
        dispatcher_.emit([](ITRTCCloudCallback &sink) {
            sink.onSendFirstLocalVideoFrame(TRTCVideoStreamTypeBig);
        });
    if (localAudio_ && localAudio_->firstFrame)
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onSendFirstLocalAudioFrame(); });
    if (capture_ && capture_->firstFrame)
        dispatcher_.emit([](ITRTCCloudCallback &sink) {
            sink.onSendFirstLocalVideoFrame(TRTCVideoStreamTypeSub);
        });
    room_->setEncoder(encoder_, screenEncoder_);
    room_->setPlayoutVolume(playoutVolume_);
    room_->setVolumeEvaluation(volumeEvaluation_, volumeInterval_);
    mediaChanged();
}

void Cloud::leaveRoomMedia()
{
    if (capture_) {
        stopVideo(capture_);
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCaptureStoped(0); });
    }
}

void Cloud::roomEnded(int reason)
{
    if (!inRoom_)
        return;
    leaveRoomMedia();
    inRoom_ = false;
    dispatcher_.emit([reason](ITRTCCloudCallback &sink) { sink.onExitRoom(reason); });
}

void Cloud::mediaChanged()
{
    if (inRoom_ && room_)
        room_->localMediaChanged(preview_ && !localVideoMuted_, localAudio_ != nullptr,
                                 capture_ != nullptr && !capturePaused_);
}

void Cloud::exitRoom()
{
    engine_.run([&] {
        if (inRoom_)
            leaveRoomMedia();
        if (room_)
            room_->exit();
        inRoom_ = false;
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onExitRoom(0); });
    });
}

GstElement *Cloud::makeWindowRender(TXView view, RenderTarget &target)
{
    const auto window = reinterpret_cast<unsigned long>(view);
    target.window = window;
    if (window) {
        const int depth = x_.windowDepth(window);
        int w = 0;
        int h = 0;
        if (depth && depth != x_.rootDepth() && x_.windowSize(window, w, h))
            target.child = x_.createChildWindow(window, w, h);
    }
    return makeRenderBin(target.child ? reinterpret_cast<TXView>(target.child) : view, &target.fit,
                         &target.sinkName);
}

void Cloud::followWindow(Pipeline &pipe, const RenderTarget &target)
{
    if (!target.window)
        return;
    pipe.followWindow(&x_, target.window, target.fit);
    pipe.setDrawWindow(target.child);
}

GstElement *Cloud::makeSpeakerSink()
{
    std::string id;
    GstDevice *device = devices_.selected(TXMediaDeviceTypeSpeaker, &id);
    GstElement *sink = device ? gst_device_create_element(device, nullptr) : nullptr;
    if (device)
        gst_object_unref(device);
    if (!sink) {
        // The silent speaker still plays in time, so the sound's pace is real.
        sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", TRUE, nullptr);
    }
    return sink;
}

GstElement *Cloud::addTap(GstElement *pipeline, GstElement *after, MediaTap *tap)
{
    GstElement *tee = gst_element_factory_make("tee", nullptr);
    GstElement *queue = gst_element_factory_make("queue", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(queue, "max-size-buffers", 2, "max-size-time", guint64(0), "max-size-bytes", 0,
                 "leaky", 2, nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, "max-buffers", 1, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_sample = [](GstAppSink *appsink, gpointer data) -> GstFlowReturn {
        GstSample *sample = gst_app_sink_pull_sample(appsink);
        if (sample) {
            static_cast<MediaTap *>(data)->push(sample);
            gst_sample_unref(sample);
        }
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, tap, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), tee, queue, sink, nullptr);
    gst_element_link(after, tee);
    gst_element_link_many(tee, queue, sink, nullptr);
    return tee;
}

void Cloud::switchRole(TRTCRoleType)
{
    dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onSwitchRole(ERR_NULL, ""); });
}

std::string Cloud::overlayText() const
{
    return userId_.empty() ? std::string("brimvale") : userId_;
}

// ---- video --------------------------------------------------------------------------------

void Cloud::finishVideo(Video &video, GstElement *pipeline, GstElement *last)
{
    // X11 sinks draw with the screen's default visual; into a window of another depth (a
    // translucent 32-bit one) they would draw nothing, so they draw into a child of our own.
    const auto window = reinterpret_cast<unsigned long>(video.view);
    unsigned long child = 0;
    if (window) {
        const int depth = x_.windowDepth(window);
        int w = 0;
        int h = 0;
        if (depth && depth != x_.rootDepth() && x_.windowSize(window, w, h))
            child = x_.createChildWindow(window, w, h);
    }
    GstElement *fit = nullptr;
    GstElement *render =
        makeRenderBin(child ? reinterpret_cast<TXView>(child) : video.view, &fit, &video.sinkName);
    gst_bin_add(GST_BIN(pipeline), render);
    gst_element_link(last, render);
    video.pipe = std::make_unique<Pipeline>(engine_, pipeline);
    if (window) {
        video.pipe->followWindow(&x_, window, fit);
        video.pipe->setDrawWindow(child);
    }

    struct FrameProbe
    {
        Cloud *cloud;
        Video *video;
    };
    GstPad *pad = gst_element_get_static_pad(render, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *p, GstPadProbeInfo *, gpointer data) -> GstPadProbeReturn {
            auto *probe = static_cast<FrameProbe *>(data);
            if (probe->video->firstFrame.exchange(true))
                return GST_PAD_PROBE_REMOVE;
            int w = 0;
            int h = 0;
            GstCaps *caps = gst_pad_get_current_caps(p);
            GstVideoInfo info;
            if (caps && gst_video_info_from_caps(&info, caps)) {
                w = GST_VIDEO_INFO_WIDTH(&info);
                h = GST_VIDEO_INFO_HEIGHT(&info);
            }
            if (caps)
                gst_caps_unref(caps);
            probe->cloud->videoFrameArrived(probe->video, w, h);
            return GST_PAD_PROBE_REMOVE;
        },
        new FrameProbe{this, &video}, [](gpointer p) { delete static_cast<FrameProbe *>(p); });
    gst_object_unref(pad);
}

void Cloud::videoFrameArrived(Video *video, int width, int height)
{
    // Runs on a streaming thread: only atomics and the dispatcher.
    switch (video->kind) {
    case VideoKind::Preview:
        dispatcher_.emit([width, height](ITRTCCloudCallback &sink) {
            sink.onCameraDidReady();
            sink.onFirstVideoFrame("", TRTCVideoStreamTypeBig, width, height);
        });
        if (inRoom_)
            dispatcher_.emit([](ITRTCCloudCallback &sink) {
                sink.onSendFirstLocalVideoFrame(TRTCVideoStreamTypeBig);
            });
        break;
    case VideoKind::CameraTest:
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onCameraDidReady(); });
        break;
    case VideoKind::Screen:
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCaptureStarted(); });
        if (inRoom_)
            dispatcher_.emit([](ITRTCCloudCallback &sink) {
                sink.onSendFirstLocalVideoFrame(TRTCVideoStreamTypeSub);
            });
        break;
    }
}

std::unique_ptr<Cloud::Video> Cloud::makeCameraVideo(VideoKind kind, TXView view, int *error)
{
    auto video = std::make_unique<Video>();
    video->kind = kind;
    video->view = view;
    GstElement *pipeline = gst_pipeline_new(nullptr);
    std::string deviceId;
    GstDevice *device = devices_.selected(TXMediaDeviceTypeCamera, &deviceId);
    GstElement *source = nullptr;
    if (device) {
        GstElement *camera = gst_device_create_element(device, nullptr);
        gst_object_unref(device);
        GstElement *convert = parseBin("videoconvert ! videoscale ! videorate");
        if (camera && convert) {
            source = gst_bin_new(nullptr);
            gst_bin_add_many(GST_BIN(source), camera, convert, nullptr);
            gst_element_link(camera, convert);
            GstPad *pad = gst_element_get_static_pad(convert, "src");
            gst_element_add_pad(source, gst_ghost_pad_new("src", pad));
            gst_object_unref(pad);
        } else {
            if (camera)
                gst_object_unref(gst_object_ref_sink(camera));
            if (convert)
                gst_object_unref(gst_object_ref_sink(convert));
        }
    } else {
        // The virtual camera: a moving pattern with the time and the user id.
        source = parseBin("videotestsrc is-live=true pattern=smpte horizontal-speed=2 ! "
                          "clockoverlay name=clock time-format=\"%H:%M:%S\" halignment=left "
                          "valignment=bottom font-desc=\"Sans 16\" shaded-background=true");
    }
    if (!source) {
        gst_object_unref(gst_object_ref_sink(pipeline));
        *error = ERR_CAMERA_START_FAIL;
        return nullptr;
    }
    GstElement *encoder = gst_element_factory_make("capsfilter", "encoder");
    GstElement *flip = gst_element_factory_make("videoflip", "flip");
    gst_bin_add_many(GST_BIN(pipeline), source, encoder, flip, nullptr);
    gst_element_link(source, encoder);
    // The preview's frames, before the local flip, are what the room publishes.
    if (kind == VideoKind::Preview)
        gst_element_link(addTap(pipeline, encoder, &taps_.camera), flip);
    else
        gst_element_link(encoder, flip);
    if (GstElement *clock = gst_bin_get_by_name(GST_BIN(source), "clock")) {
        g_object_set(clock, "text", overlayText().c_str(), nullptr);
        gst_object_unref(clock);
    }
    video->beauty.set(beautyStyle_, beautyLevels_[0], beautyLevels_[1], beautyLevels_[2]);
    video->beauty.attach(encoder);
    finishVideo(*video, pipeline, flip);
    applyEncoder(*video);
    applyRender(*video);

    Video *raw = video.get();
    video->pipe->onError = [this, raw](GstElement *from, const std::string &text) {
        GstElement *render = raw->pipe->byName("fit");
        const bool inRender = from && render && GST_OBJECT_PARENT(render) &&
                              isInside(from, GST_ELEMENT(GST_OBJECT_PARENT(render)));
        raw->pipe->stop();
        if (inRender)
            emitWarning(WARNING_VIDEO_RENDER_FAIL, text);
        else
            emitError(ERR_CAMERA_START_FAIL, text);
    };
    if (!video->pipe->play()) {
        *error = ERR_CAMERA_START_FAIL;
        return nullptr;
    }
    *error = 0;
    return video;
}

void Cloud::applyEncoder(Video &video)
{
    GstElement *encoder = video.pipe ? video.pipe->byName("encoder") : nullptr;
    if (!encoder)
        return;
    int w = 640;
    int h = 360;
    resolutionSize(encoder_.videoResolution, w, h);
    if (encoder_.resMode == TRTCVideoResolutionModePortrait)
        std::swap(w, h);
    const int fps = int(std::clamp<uint32_t>(encoder_.videoFps, 1, 60));
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                        G_TYPE_INT, w, "height", G_TYPE_INT, h, "framerate",
                                        GST_TYPE_FRACTION, fps, 1, nullptr);
    g_object_set(encoder, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

void Cloud::applyRender(Video &video)
{
    GstElement *flip = video.pipe ? video.pipe->byName("flip") : nullptr;
    if (!flip)
        return;
    const bool mirror = render_.mirrorType == TRTCVideoMirrorType_Enable;
    g_object_set(flip, "video-direction", flipMethod(render_.rotation, mirror), nullptr);
}

void Cloud::stopVideo(std::unique_ptr<Video> &video)
{
    if (video && video->pipe)
        video->pipe->stop();
    video.reset();
}

void Cloud::startLocalPreview(TXView rendView)
{
    engine_.run([&] {
        stopVideo(preview_);
        int error = 0;
        preview_ = makeCameraVideo(VideoKind::Preview, rendView, &error);
        if (error)
            emitError(TXLiteAVError(error), "the camera did not start");
        mediaChanged();
    });
}

void Cloud::stopLocalPreview()
{
    engine_.run([&] {
        stopVideo(preview_);
        mediaChanged();
    });
}

void Cloud::muteLocalVideo(TRTCVideoStreamType, bool mute)
{
    // A muted camera is not published: the others see its video become unavailable.
    engine_.run([&] {
        localVideoMuted_ = mute;
        mediaChanged();
    });
}

void Cloud::startRemoteView(const char *userId, TRTCVideoStreamType streamType, TXView rendView)
{
    // In a room of one nobody else is there: the room back end has nothing to draw.
    const std::string user = userId ? userId : "";
    engine_.run([&] {
        if (room_ && !user.empty())
            room_->startRemoteView(user, streamType, rendView);
    });
}

void Cloud::stopRemoteView(const char *userId, TRTCVideoStreamType streamType)
{
    const std::string user = userId ? userId : "";
    engine_.run([&] {
        if (room_)
            room_->stopRemoteView(user, streamType);
    });
}

void Cloud::stopAllRemoteView()
{
    engine_.run([&] {
        if (room_)
            room_->stopAllRemoteView();
    });
}

void Cloud::muteRemoteVideoStream(const char *, TRTCVideoStreamType, bool) {}

void Cloud::setVideoEncoderParam(const TRTCVideoEncParam &params)
{
    engine_.run([&] {
        encoder_ = params;
        if (preview_)
            applyEncoder(*preview_);
        if (room_)
            room_->setEncoder(encoder_, screenEncoder_);
    });
}

void Cloud::setLocalRenderParams(const TRTCRenderParams &params)
{
    engine_.run([&] {
        render_ = params;
        if (preview_)
            applyRender(*preview_);
        if (cameraTest_)
            applyRender(*cameraTest_);
    });
}

void Cloud::setRemoteRenderParams(const char *, TRTCVideoStreamType, const TRTCRenderParams &) {}

int Cloud::setLocalVideoRenderCallback(TRTCVideoPixelFormat, TRTCVideoBufferType,
                                       ITRTCVideoRenderCallback *callback)
{
    return callback ? ERR_NOT_SUPPORTED : 0;
}

int Cloud::setRemoteVideoRenderCallback(const char *, TRTCVideoPixelFormat, TRTCVideoBufferType,
                                        ITRTCVideoRenderCallback *callback)
{
    return callback ? ERR_NOT_SUPPORTED : 0;
}

void Cloud::setBeautyStyle(TRTCBeautyStyle style, uint32_t beautyLevel, uint32_t whitenessLevel,
                           uint32_t ruddinessLevel)
{
    engine_.run([&] {
        beautyStyle_ = style;
        beautyLevels_[0] = std::min<uint32_t>(beautyLevel, 9);
        beautyLevels_[1] = std::min<uint32_t>(whitenessLevel, 9);
        beautyLevels_[2] = std::min<uint32_t>(ruddinessLevel, 9);
        for (Video *v : {preview_.get(), cameraTest_.get()}) {
            if (v)
                v->beauty.set(style, beautyLevels_[0], beautyLevels_[1], beautyLevels_[2]);
        }
    });
}

ITXDeviceManager *Cloud::getDeviceManager()
{
    return &devices_;
}

int Cloud::startCameraTest(TXView view)
{
    int error = 0;
    engine_.run([&] {
        stopVideo(cameraTest_);
        cameraTest_ = makeCameraVideo(VideoKind::CameraTest, view, &error);
    });
    return error;
}

int Cloud::stopCameraTest()
{
    engine_.run([&] { stopVideo(cameraTest_); });
    return 0;
}

// ---- audio --------------------------------------------------------------------------------

std::unique_ptr<Cloud::Audio> Cloud::makeAudio(AudioKind kind, uint32_t interval,
                                               const std::string &path, int *error)
{
    auto audio = std::make_unique<Audio>();
    audio->kind = kind;
    audio->interval = std::max<uint32_t>(interval, 10);
    audio->path = path;
    const bool speaker = kind == AudioKind::SpeakerTest;
    const TXMediaDeviceType type = speaker ? TXMediaDeviceTypeSpeaker : TXMediaDeviceTypeMic;
    const TXLiteAVError failure = speaker ? ERR_SPEAKER_START_FAIL : ERR_MIC_START_FAIL;
    if (speaker && !path.empty() && !fileExists(path)) {
        *error = ERR_SPEAKER_START_FAIL;
        return nullptr;
    }

    GstElement *pipeline = gst_pipeline_new(nullptr);
    std::string deviceId;
    GstDevice *device = devices_.selected(type, &deviceId);
    GstElement *deviceElement = device ? gst_device_create_element(device, nullptr) : nullptr;
    if (device)
        gst_object_unref(device);

    GstElement *source = nullptr;
    if (speaker) {
        // decodebin's pads come later; the converter behind it gives the bin its pad now. (Ghosting
        // every unlinked pad would take the converter's input before decodebin can link to it.)
        // Without a file: a tone of about a second, then quiet while the test goes on.
        source = path.empty() ? parseBin("audiotestsrc is-live=true wave=sine freq=660 volume=0.3 "
                                         "samplesperbuffer=480 num-buffers=100")
                              : parseFileBin();
        if (GstElement *file = source ? gst_bin_get_by_name(GST_BIN(source), "file") : nullptr) {
            g_object_set(file, "location", path.c_str(), nullptr);
            gst_object_unref(file);
        }
    } else if (deviceElement) {
        source = deviceElement;
        deviceElement = nullptr;
    } else {
        // The virtual microphone: a steady test tone.
        source = parseBin("audiotestsrc is-live=true wave=sine freq=440 volume=0.3");
    }
    GstElement *chain = parseBin("audioconvert ! audioresample ! volume name=volume ! "
                                 "level name=level post-messages=true");
    GstElement *sink = nullptr;
    if (speaker && deviceElement) {
        sink = deviceElement;
        deviceElement = nullptr;
    } else if (kind == AudioKind::LocalAudio) {
        // The capture's sound, for the room to publish.
        sink = gst_element_factory_make("appsink", nullptr);
        g_object_set(sink, "sync", FALSE, "async", FALSE, "max-buffers", 4, "drop", TRUE, nullptr);
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_sample = [](GstAppSink *appsink, gpointer data) -> GstFlowReturn {
            GstSample *sample = gst_app_sink_pull_sample(appsink);
            if (sample) {
                static_cast<MediaTap *>(data)->push(sample);
                gst_sample_unref(sample);
            }
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &taps_.microphone, nullptr);
    } else {
        // The silent speaker, or the end of a test capture.
        sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", speaker ? TRUE : FALSE, nullptr);
    }
    if (deviceElement)
        gst_object_unref(gst_object_ref_sink(deviceElement));
    if (!source || !chain) {
        for (GstElement *e : {source, chain, sink, pipeline})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        *error = failure;
        return nullptr;
    }
    gst_bin_add_many(GST_BIN(pipeline), source, chain, sink, nullptr);
    gst_element_link_many(source, chain, sink, nullptr);
    audio->pipe = std::make_unique<Pipeline>(engine_, pipeline);
    if (GstElement *level = audio->pipe->byName("level"))
        g_object_set(level, "interval", guint64(audio->interval) * GST_MSECOND, nullptr);
    applyAudioVolume(*audio);

    Audio *raw = audio.get();
    GstPad *pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *, gpointer data) -> GstPadProbeReturn {
            auto *self = static_cast<std::pair<Cloud *, Audio *> *>(data);
            if (!self->second->firstFrame.exchange(true))
                self->first->audioFrameArrived(self->second);
            return GST_PAD_PROBE_REMOVE;
        },
        new std::pair<Cloud *, Audio *>(this, raw),
        [](gpointer p) { delete static_cast<std::pair<Cloud *, Audio *> *>(p); });
    gst_object_unref(pad);

    audio->pipe->onElementMessage = [this, raw](GstMessage *message) {
        levelMessage(raw, message);
    };
    audio->pipe->onError = [this, raw, failure](GstElement *, const std::string &text) {
        raw->pipe->stop();
        emitError(failure, text);
    };
    audio->pipe->onEos = [this, raw] {
        if (raw->path.empty()) {
            // The tone is over: the level reads silence from now on.
            dispatcher_.emit([](ITRTCCloudCallback &cb) { cb.onTestSpeakerVolume(0); });
            return;
        }
        // A test file plays in a loop.
        gst_element_seek_simple(raw->pipe->element(), GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
    };
    if (!audio->pipe->play()) {
        *error = failure;
        return nullptr;
    }
    *error = 0;
    return audio;
}

void Cloud::audioFrameArrived(Audio *audio)
{
    if (audio->kind != AudioKind::LocalAudio)
        return;
    dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onMicDidReady(); });
    if (inRoom_)
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onSendFirstLocalAudioFrame(); });
}

void Cloud::levelMessage(Audio *audio, GstMessage *message)
{
    const uint32_t volume = levelVolume(message);
    if (volume == UINT32_MAX)
        return;
    switch (audio->kind) {
    case AudioKind::MicTest:
        dispatcher_.emit([volume](ITRTCCloudCallback &sink) { sink.onTestMicVolume(volume); });
        break;
    case AudioKind::SpeakerTest:
        dispatcher_.emit([volume](ITRTCCloudCallback &sink) { sink.onTestSpeakerVolume(volume); });
        break;
    case AudioKind::LocalAudio:
        if (!volumeEvaluation_)
            break;
        {
            const uint32_t own = localAudioMuted_ ? 0 : volume;
            dispatcher_.emit([own](ITRTCCloudCallback &sink) {
                TRTCVolumeInfo info;
                info.userId = "";
                info.volume = own;
                sink.onUserVoiceVolume(&info, 1, own);
            });
        }
        break;
    }
}

void Cloud::applyAudioVolume(Audio &audio)
{
    GstElement *volume = audio.pipe ? audio.pipe->byName("volume") : nullptr;
    if (!volume)
        return;
    double gain = 1.0;
    switch (audio.kind) {
    case AudioKind::SpeakerTest:
        gain = devices_.volume(TXMediaDeviceTypeSpeaker) / 100.0;
        break;
    case AudioKind::LocalAudio:
        gain = localAudioMuted_
                   ? 0.0
                   : devices_.volume(TXMediaDeviceTypeMic) / 100.0 * (captureVolume_ / 100.0);
        break;
    case AudioKind::MicTest:
        gain = devices_.volume(TXMediaDeviceTypeMic) / 100.0;
        break;
    }
    g_object_set(volume, "volume", gain, nullptr);
}

void Cloud::stopAudio(std::unique_ptr<Audio> &audio)
{
    if (audio && audio->pipe)
        audio->pipe->stop();
    audio.reset();
}

void Cloud::startLocalAudio(TRTCAudioQuality)
{
    engine_.run([&] {
        stopAudio(localAudio_);
        int error = 0;
        localAudio_ = makeAudio(AudioKind::LocalAudio, volumeInterval_, {}, &error);
        if (error)
            emitError(TXLiteAVError(error), "the microphone did not start");
        mediaChanged();
    });
}

void Cloud::stopLocalAudio()
{
    engine_.run([&] {
        stopAudio(localAudio_);
        mediaChanged();
    });
}

void Cloud::muteLocalAudio(bool mute)
{
    engine_.run([&] {
        localAudioMuted_ = mute;
        if (localAudio_)
            applyAudioVolume(*localAudio_);
    });
}

void Cloud::muteRemoteAudio(const char *userId, bool mute)
{
    const std::string user = userId ? userId : "";
    engine_.run([&] {
        if (room_)
            room_->muteRemoteAudio(user, mute);
    });
}

void Cloud::muteAllRemoteAudio(bool mute)
{
    engine_.run([&] {
        if (room_)
            room_->muteAllRemoteAudio(mute);
    });
}

void Cloud::enableAudioVolumeEvaluation(bool enable, const TRTCAudioVolumeEvaluateParams &params)
{
    engine_.run([&] {
        volumeEvaluation_ = enable && params.interval > 0;
        if (volumeEvaluation_)
            volumeInterval_ = std::max<uint32_t>(params.interval, 10);
        if (localAudio_ && localAudio_->pipe) {
            localAudio_->interval = volumeInterval_;
            if (GstElement *level = localAudio_->pipe->byName("level"))
                g_object_set(level, "interval", guint64(volumeInterval_) * GST_MSECOND, nullptr);
        }
        if (room_ && inRoom_)
            room_->setVolumeEvaluation(volumeEvaluation_, volumeInterval_);
    });
}

void Cloud::setAudioPlayoutVolume(int volume)
{
    // What the room plays out: nothing in a room of one, but the value holds for later.
    engine_.run([&] {
        playoutVolume_ = std::clamp(volume, 0, 100);
        if (room_)
            room_->setPlayoutVolume(playoutVolume_);
    });
}

int Cloud::getAudioPlayoutVolume()
{
    int volume = 0;
    engine_.run([&] { volume = playoutVolume_; });
    return volume;
}

void Cloud::setAudioCaptureVolume(int volume)
{
    engine_.run([&] {
        captureVolume_ = std::clamp(volume, 0, 100);
        if (localAudio_)
            applyAudioVolume(*localAudio_);
    });
}

int Cloud::getAudioCaptureVolume()
{
    int volume = 0;
    engine_.run([&] { volume = captureVolume_; });
    return volume;
}

int Cloud::startMicTest(uint32_t interval)
{
    int error = 0;
    engine_.run([&] {
        stopAudio(micTest_);
        micTest_ = makeAudio(AudioKind::MicTest, interval ? interval : 300, {}, &error);
    });
    return error;
}

int Cloud::stopMicTest()
{
    engine_.run([&] { stopAudio(micTest_); });
    return 0;
}

int Cloud::startSpeakerTest(const char *path)
{
    int error = 0;
    const std::string file = path ? path : "";
    engine_.run([&] {
        stopAudio(speakerTest_);
        speakerTest_ = makeAudio(AudioKind::SpeakerTest, 300, file, &error);
    });
    return error;
}

int Cloud::stopSpeakerTest()
{
    engine_.run([&] { stopAudio(speakerTest_); });
    return 0;
}

void Cloud::selectedDeviceChanged(TXMediaDeviceType type)
{
    // Whatever runs on the type moves to the newly selected device.
    int error = 0;
    if (type == TXMediaDeviceTypeCamera) {
        if (preview_) {
            const TXView view = preview_->view;
            stopVideo(preview_);
            preview_ = makeCameraVideo(VideoKind::Preview, view, &error);
        }
        if (cameraTest_) {
            const TXView view = cameraTest_->view;
            stopVideo(cameraTest_);
            cameraTest_ = makeCameraVideo(VideoKind::CameraTest, view, &error);
        }
    } else if (type == TXMediaDeviceTypeMic) {
        if (micTest_) {
            const uint32_t interval = micTest_->interval;
            stopAudio(micTest_);
            micTest_ = makeAudio(AudioKind::MicTest, interval, {}, &error);
        }
        if (localAudio_) {
            stopAudio(localAudio_);
            localAudio_ = makeAudio(AudioKind::LocalAudio, volumeInterval_, {}, &error);
        }
    } else if (type == TXMediaDeviceTypeSpeaker && speakerTest_) {
        const std::string path = speakerTest_->path;
        stopAudio(speakerTest_);
        speakerTest_ = makeAudio(AudioKind::SpeakerTest, 300, path, &error);
    }
}

void Cloud::deviceVolumeChanged(TXMediaDeviceType)
{
    for (Audio *a : {micTest_.get(), localAudio_.get(), speakerTest_.get()}) {
        if (a)
            applyAudioVolume(*a);
    }
}

// ---- screen capture -----------------------------------------------------------------------

ITRTCScreenCaptureSourceList *Cloud::getScreenCaptureSources(const SIZE &thumbSize,
                                                             const SIZE &iconSize)
{
    (void)iconSize; // windows carry no icons here
    auto *list = new SourceList;
    for (const CaptureSource &source : x_.sources()) {
        SourceList::Item item;
        item.source = source;
        if (thumbSize.cx > 0 && thumbSize.cy > 0 && !source.minimized &&
            x_.thumbnail({source.x, source.y, source.width, source.height}, int(thumbSize.cx),
                         int(thumbSize.cy), item.thumb)) {
            item.thumbW = uint32_t(thumbSize.cx);
            item.thumbH = uint32_t(thumbSize.cy);
        } else {
            item.thumb.clear();
        }
        list->items.push_back(std::move(item));
    }
    return list;
}

void Cloud::selectScreenCaptureTarget(const TRTCScreenCaptureSourceInfo &source,
                                      const RECT &captureRect,
                                      const TRTCScreenCaptureProperty &property)
{
    engine_.run([&] {
        hasTarget_ = true;
        targetWindow_ = source.type == TRTCScreenCaptureSourceTypeWindow
                            ? reinterpret_cast<unsigned long>(source.sourceId)
                            : 0;
        Rect area{source.x, source.y, int(source.width), int(source.height)};
        if (source.type == TRTCScreenCaptureSourceTypeScreen && area.empty())
            area = x_.rootRect();
        if (targetWindow_)
            x_.windowRect(targetWindow_, area); // where it is now, not where it was listed
        const Rect sub{int(captureRect.left), int(captureRect.top),
                       int(captureRect.right - captureRect.left),
                       int(captureRect.bottom - captureRect.top)};
        if (!sub.empty())
            area = Rect{area.x + sub.x, area.y + sub.y, sub.width, sub.height}.intersected(area);
        targetArea_ = area;
        targetMouse_ = property.enableCaptureMouse;
    });
}

Rect Cloud::captureArea()
{
    // The root window's area is captured, clipped to the screen: asking X for pixels outside
    // it is an error, so a window partly off the screen gives its visible part.
    Rect area = hasTarget_ ? targetArea_ : x_.rootRect();
    if (hasTarget_ && targetWindow_) {
        Rect now;
        if (x_.windowRect(targetWindow_, now))
            area = now.intersected(targetArea_.empty() ? now : targetArea_);
    }
    return area.intersected(x_.rootRect());
}

std::unique_ptr<Cloud::Video> Cloud::makeScreenVideo(TXView view, int *error)
{
    const Rect area = captureArea();
    if (!x_.isOpen() || area.width < 2 || area.height < 2) {
        *error = ERR_SCREEN_CAPTURE_START_FAIL;
        return nullptr;
    }
    auto video = std::make_unique<Video>();
    video->kind = VideoKind::Screen;
    video->view = view;
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("ximagesrc", nullptr);
    GstElement *convert = parseBin("videoconvert ! videoscale add-borders=true ! videorate");
    GstElement *encoder = gst_element_factory_make("capsfilter", "encoder");
    if (!source || !convert) {
        for (GstElement *e : {source, convert, encoder, pipeline})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        *error = ERR_SCREEN_CAPTURE_START_FAIL;
        return nullptr;
    }
    g_object_set(source, "use-damage", FALSE, "show-pointer", targetMouse_, "startx", guint(area.x),
                 "starty", guint(area.y), "endx", guint(area.x + area.width - 1), "endy",
                 guint(area.y + area.height - 1), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, convert, encoder, nullptr);
    gst_element_link_many(source, convert, encoder, nullptr);
    finishVideo(*video, pipeline, addTap(pipeline, encoder, &taps_.screen));
    applyEncoder(*video);
    Video *raw = video.get();
    video->pipe->onError = [this, raw](GstElement *, const std::string &text) {
        raw->pipe->stop();
        emitError(ERR_SCREEN_CAPTURE_START_FAIL, text);
    };
    if (hasTarget_ && targetWindow_) {
        // A window that goes away ends its capture.
        const unsigned long window = targetWindow_;
        video->pipe->every(500, [this, window] {
            Rect now;
            if (x_.windowRect(window, now))
                return true;
            engine_.post([this] {
                if (!capture_)
                    return;
                stopVideo(capture_);
                dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCaptureStoped(1); });
                mediaChanged();
            });
            return false;
        });
    }
    if (!video->pipe->play()) {
        *error = ERR_SCREEN_CAPTURE_START_FAIL;
        return nullptr;
    }
    *error = 0;
    return video;
}

void Cloud::startScreenCapture(TXView rendView, TRTCVideoStreamType, TRTCVideoEncParam *encParam)
{
    engine_.run([&] {
        const bool wasRunning = capture_ != nullptr;
        stopVideo(capture_);
        if (wasRunning)
            dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCaptureStoped(0); });
        const TRTCVideoEncParam cameraEncoder = encoder_;
        if (encParam) {
            encoder_ = *encParam;
            screenEncoder_ = *encParam;
        }
        int error = 0;
        capture_ = makeScreenVideo(rendView, &error);
        encoder_ = cameraEncoder;
        capturePaused_ = false;
        if (error)
            emitError(TXLiteAVError(error), "the screen capture did not start");
        if (room_)
            room_->setEncoder(encoder_, screenEncoder_);
        mediaChanged();
    });
}

void Cloud::pauseScreenCapture()
{
    engine_.run([&] {
        if (!capture_ || capturePaused_)
            return;
        gst_element_set_state(capture_->pipe->element(), GST_STATE_PAUSED);
        capturePaused_ = true;
        mediaChanged();
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCapturePaused(0); });
    });
}

void Cloud::resumeScreenCapture()
{
    engine_.run([&] {
        if (!capture_ || !capturePaused_)
            return;
        gst_element_set_state(capture_->pipe->element(), GST_STATE_PLAYING);
        capturePaused_ = false;
        mediaChanged();
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCaptureResumed(0); });
    });
}

void Cloud::stopScreenCapture()
{
    engine_.run([&] {
        if (!capture_)
            return;
        stopVideo(capture_);
        dispatcher_.emit([](ITRTCCloudCallback &sink) { sink.onScreenCaptureStoped(0); });
        mediaChanged();
    });
}

// ---- the rest -----------------------------------------------------------------------------

void Cloud::startSpeedTest(uint32_t, const char *, const char *)
{
    // Without a server the only path is this machine's own.
    dispatcher_.emit([](ITRTCCloudCallback &sink) {
        TRTCSpeedTestResult result;
        result.success = true;
        result.ip = "127.0.0.1";
        result.quality = TRTCQuality_Excellent;
        sink.onSpeedTestResult(result);
    });
}

void Cloud::stopSpeedTest() {}

void Cloud::callExperimentalAPI(const char *jsonStr)
{
    bool ok = false;
    const Json call = Json::parse(jsonStr ? jsonStr : "", &ok);
    const std::string api = call["api"].str();
    if (ok && api == "startLocalRecording" && call["params"].isObject() &&
        call["params"]["filePath"].isString()) {
        const std::string path = call["params"]["filePath"].str();
        engine_.run([&] {
            if (!recorder_)
                recorder_ = std::make_unique<Recorder>(engine_, dispatcher_);
            // Without an open display there is nothing to capture.
            const Rect area = x_.isOpen() ? captureArea() : Rect{};
            recorder_->start(path, area, targetMouse_);
        });
        return;
    }
    if (ok && api == "stopLocalRecording") {
        engine_.run([&] {
            if (recorder_)
                recorder_->stop();
        });
        return;
    }
    if (ok && api == "setServer" && call["params"].isObject()) {
        std::string url = call["params"]["url"].str();
        bool tls = false;
        std::string host;
        unsigned port = 0;
        std::string path;
        if (url.empty() || WebSocket::parseUrl(url, tls, host, port, path)) {
            // Takes effect at the next enterRoom; a room in progress keeps its server.
            engine_.run([&] { server_ = url; });
            return;
        }
    }
    emitWarning(TXLiteAVWarning(WARNING_ROOM_SIGNALLING_BAD),
                "callExperimentalAPI: unknown call or bad parameters");
}

const char *Cloud::getSDKVersion()
{
    static const std::string version = [] {
        gchar *gst = gst_version_string();
        std::string text = std::string("brimvale-av ") + BRV_AV_VERSION + " (" + gst + ")";
        g_free(gst);
        return text;
    }();
    return version.c_str();
}

} // namespace brvav

namespace {
std::mutex g_instanceMutex;
brvav::Cloud *g_instance = nullptr;
} // namespace

liteav::ITRTCCloud *getTRTCShareInstance()
{
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (!g_instance) {
        static std::once_flag gstInit;
        std::call_once(gstInit, [] { gst_init(nullptr, nullptr); });
        g_instance = new brvav::Cloud;
    }
    return g_instance;
}

void destroyTRTCShareInstance()
{
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    delete g_instance;
    g_instance = nullptr;
}
