// What the SDK object and its room back ends share: the back end interface, the host the back
// ends call into, and the taps through which local captures reach a publisher.
#pragma once

#include "brv_av.h"

#include <gst/gst.h>

#include <functional>
#include <mutex>
#include <string>

namespace brvav {

class Pipeline;

/// Frames of a local capture, offered to whoever publishes them. push() runs on a streaming
/// thread; set() may run anywhere and, once it returns, the old consumer is no longer called.
class MediaTap
{
public:
    using Consumer = std::function<void(GstSample *)>;
    void set(Consumer consumer)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        consumer_ = std::move(consumer);
    }
    void push(GstSample *sample)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (consumer_)
            consumer_(sample);
    }

private:
    std::mutex mutex_;
    Consumer consumer_;
};

struct MediaTaps
{
    MediaTap camera;
    MediaTap microphone;
    MediaTap screen;
};

/// A window drawn into by a render branch.
struct RenderTarget
{
    unsigned long window = 0;
    unsigned long child = 0;
    GstElement *fit = nullptr;
    std::string sinkName;
};

/// What a room back end asks of the SDK object. Engine thread only.
class RoomHost
{
public:
    /// The answer to enter() when it was pending: > 0 entered, < 0 an error code.
    virtual void roomEntered(int result) = 0;
    /// The server ended the stay: 1 removed from the room, 2 the room was dissolved.
    virtual void roomEnded(int reason) = 0;
    /// A render branch (a bin with a sink pad) into the window.
    virtual GstElement *makeWindowRender(liteav::TXView view, RenderTarget &target) = 0;
    /// Keeps the branch at the window's size once its pipeline exists.
    virtual void followWindow(Pipeline &pipe, const RenderTarget &target) = 0;
    /// The element that plays remote sound: the selected speaker, or a silent sink.
    virtual GstElement *makeSpeakerSink() = 0;

protected:
    ~RoomHost() = default;
};

/// What a room back end is asked to do; its answers come back as SDK events. Engine thread.
class RoomBackend
{
public:
    /// enter() answers this when its result follows through RoomHost::roomEntered.
    static constexpr int kPending = 1;

    virtual ~RoomBackend() = default;
    /// 0 when the room was entered, kPending, else an error code (onEnterRoom carries it).
    virtual int enter(const liteav::TRTCParams &params, liteav::TRTCAppScene scene) = 0;
    virtual void exit() = 0;

    /// Which local captures run (and are not muted): the room publishes them.
    virtual void localMediaChanged(bool camera, bool microphone, bool screen)
    {
        (void)camera;
        (void)microphone;
        (void)screen;
    }
    virtual void startRemoteView(const std::string &userId, liteav::TRTCVideoStreamType type,
                                 liteav::TXView view)
    {
        (void)userId;
        (void)type;
        (void)view;
    }
    virtual void stopRemoteView(const std::string &userId, liteav::TRTCVideoStreamType type)
    {
        (void)userId;
        (void)type;
    }
    virtual void stopAllRemoteView() {}
    virtual void setEncoder(const liteav::TRTCVideoEncParam &camera,
                            const liteav::TRTCVideoEncParam &screen)
    {
        (void)camera;
        (void)screen;
    }
    virtual void muteRemoteAudio(const std::string &userId, bool mute)
    {
        (void)userId;
        (void)mute;
    }
    virtual void muteAllRemoteAudio(bool mute) { (void)mute; }
    virtual void setPlayoutVolume(int volume) { (void)volume; }
    /// Remote voice volumes every intervalMs while enabled.
    virtual void setVolumeEvaluation(bool enable, unsigned intervalMs)
    {
        (void)enable;
        (void)intervalMs;
    }
};

} // namespace brvav
