#include "AvPipeline.h"

#include "AvScreen.h"

#include <gst/video/videooverlay.h>

namespace brvav {

Pipeline::Pipeline(Engine &engine, GstElement *pipeline) : engine_(engine), pipeline_(pipeline)
{
    gst_object_ref_sink(pipeline_);
    GstBus *bus = gst_element_get_bus(pipeline_);
    busWatch_ = gst_bus_create_watch(bus);
    g_source_set_callback(busWatch_, G_SOURCE_FUNC(&Pipeline::busMessage), this, nullptr);
    g_source_attach(busWatch_, engine_.context());
    gst_object_unref(bus);
}

Pipeline::~Pipeline()
{
    stop();
    gst_object_unref(pipeline_);
}

GstElement *Pipeline::byName(const char *name) const
{
    GstElement *element = gst_bin_get_by_name(GST_BIN(pipeline_), name);
    if (element)
        gst_object_unref(element); // the pipeline keeps it alive
    return element;
}

bool Pipeline::play()
{
    applyWindowSize();
    return gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void Pipeline::stop()
{
    // Watches first, so that nothing reacts to the messages of the teardown itself.
    Engine::removeSource(sizeTimer_);
    Engine::removeSource(timer_);
    Engine::removeSource(busWatch_);
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    if (child_ && x_)
        x_->destroyWindow(child_);
    child_ = 0;
}

void Pipeline::followWindow(XConnection *x, unsigned long window, GstElement *capsFilter)
{
    x_ = x;
    window_ = window;
    sizeFilter_ = capsFilter;
    Engine::removeSource(sizeTimer_);
    sizeTimer_ = engine_.every(200, [this] {
        applyWindowSize();
        return true;
    });
}

void Pipeline::every(unsigned intervalMs, std::function<bool()> fn)
{
    Engine::removeSource(timer_);
    timer_ = engine_.every(intervalMs, std::move(fn));
}

void Pipeline::applyWindowSize()
{
    if (!x_ || !sizeFilter_)
        return;
    int width = 0;
    int height = 0;
    if (!x_->windowSize(window_, width, height) || width < 2 || height < 2)
        return; // gone or not yet mapped: keep the last size
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    if (child_)
        x_->resizeWindow(child_, width, height);
    GstCaps *caps =
        gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width & ~1, "height", G_TYPE_INT,
                            height & ~1, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(sizeFilter_, "caps", caps, nullptr);
    gst_caps_unref(caps);
    // The sink leaves the client's window events alone, so it learns the new size here.
    if (GstElement *sink = gst_bin_get_by_interface(GST_BIN(pipeline_), GST_TYPE_VIDEO_OVERLAY)) {
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(sink));
        gst_object_unref(sink);
    }
}

gboolean Pipeline::busMessage(GstBus *, GstMessage *message, gpointer data)
{
    auto *self = static_cast<Pipeline *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        if (self->onError) {
            GError *error = nullptr;
            gchar *debug = nullptr;
            gst_message_parse_error(message, &error, &debug);
            const std::string text = error ? error->message : "error";
            g_clear_error(&error);
            g_free(debug);
            self->onError(GST_IS_ELEMENT(GST_MESSAGE_SRC(message))
                              ? GST_ELEMENT(GST_MESSAGE_SRC(message))
                              : nullptr,
                          text);
        }
        break;
    case GST_MESSAGE_EOS:
        if (self->onEos)
            self->onEos();
        break;
    case GST_MESSAGE_ELEMENT:
        if (self->onElementMessage)
            self->onElementMessage(message);
        break;
    default:
        break;
    }
    // The handlers above may have stopped this pipeline; the watch is then already gone and
    // G_SOURCE_CONTINUE on a destroyed source is harmless.
    return G_SOURCE_CONTINUE;
}

bool isInside(GstElement *element, GstElement *bin)
{
    for (GstObject *o = GST_OBJECT(element); o; o = GST_OBJECT_PARENT(o)) {
        if (o == GST_OBJECT(bin))
            return true;
    }
    return false;
}

} // namespace brvav
