// One GStreamer pipeline with its bus watched on the engine's private main context. Every
// member is used on the engine thread only.
#pragma once

#include "AvEngine.h"

#include <gst/gst.h>

#include <functional>
#include <string>

namespace brvav {

class XConnection;

class Pipeline
{
public:
    /// Takes the (floating or owned) pipeline.
    Pipeline(Engine &engine, GstElement *pipeline);
    ~Pipeline();
    Pipeline(const Pipeline &) = delete;
    Pipeline &operator=(const Pipeline &) = delete;

    GstElement *element() const { return pipeline_; }
    GstElement *byName(const char *name) const;

    /// Goes to PLAYING; false when the state change fails at once.
    bool play();
    /// Back to NULL whatever the state; no message is handled afterwards.
    void stop();

    /// Scales the picture of a render branch to a window: polls the window's size and sets it
    /// on the branch's caps filter. Call before play().
    void followWindow(XConnection *x, unsigned long window, GstElement *capsFilter);
    /// A child window drawn into instead of the followed one: kept at its size and destroyed
    /// with the pipeline.
    void setDrawWindow(unsigned long child) { child_ = child; }
    /// A timer that lives as long as the pipeline runs (engine thread).
    void every(unsigned intervalMs, std::function<bool()> fn);

    std::function<void(GstMessage *)> onElementMessage;
    std::function<void(GstElement *source, const std::string &text)> onError;
    std::function<void()> onEos;

private:
    static gboolean busMessage(GstBus *bus, GstMessage *message, gpointer self);
    void applyWindowSize();

    Engine &engine_;
    GstElement *pipeline_ = nullptr;
    GSource *busWatch_ = nullptr;
    GSource *sizeTimer_ = nullptr;
    GSource *timer_ = nullptr;
    XConnection *x_ = nullptr;
    unsigned long window_ = 0;
    unsigned long child_ = 0;
    GstElement *sizeFilter_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

/// True when element is el or lies inside the bin el.
bool isInside(GstElement *element, GstElement *bin);

} // namespace brvav
