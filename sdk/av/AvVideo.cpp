#include "AvVideo.h"

#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <algorithm>
#include <cmath>

namespace brvav {

void BeautyFilter::set(liteav::TRTCBeautyStyle style, uint32_t beauty, uint32_t whiteness,
                       uint32_t ruddiness)
{
    style_ = int(style);
    beauty_ = int(std::min<uint32_t>(beauty, 9));
    whiteness_ = int(std::min<uint32_t>(whiteness, 9));
    ruddiness_ = int(std::min<uint32_t>(ruddiness, 9));
}

void BeautyFilter::apply(uint8_t *y, int yStride, uint8_t *u, int uStride, uint8_t *v, int vStride,
                         int width, int height)
{
    const int beauty = beauty_;
    const int whiteness = whiteness_;
    const int ruddiness = ruddiness_;

    if (beauty > 0) {
        // Smoothing: a box blur of the luma, blended in by the level. The smooth style blurs
        // wider and stronger than the natural one, which keeps more texture.
        const bool smooth = style_ == liteav::TRTCBeautyStyleSmooth;
        const int radius = smooth ? 1 + beauty / 2 : 1 + beauty / 4;
        const int weight = (smooth ? 28 : 20) * beauty; // of 256
        // Divisions by the window's pixel count become a multiplication and a shift.
        uint32_t reciprocal[32];
        for (int n = 1; n < 32; ++n)
            reciprocal[n] = (65536u + uint32_t(n) - 1) / uint32_t(n);
        blurred_.resize(size_t(width) * size_t(height));
        rowSums_.resize(size_t(width) + 1);
        // Horizontal pass into blurred_, vertical pass blended back into y.
        for (int row = 0; row < height; ++row) {
            const uint8_t *src = y + size_t(row) * size_t(yStride);
            rowSums_[0] = 0;
            for (int x = 0; x < width; ++x)
                rowSums_[size_t(x) + 1] = rowSums_[size_t(x)] + src[x];
            uint8_t *dst = blurred_.data() + size_t(row) * size_t(width);
            for (int x = 0; x < width; ++x) {
                const int l = std::max(0, x - radius);
                const int r = std::min(width, x + radius + 1);
                dst[x] = uint8_t(
                    ((rowSums_[size_t(r)] - rowSums_[size_t(l)]) * reciprocal[r - l]) >> 16);
            }
        }
        std::vector<uint32_t> &colSums = colSums_;
        colSums.assign(size_t(width), 0);
        for (int row = 0; row < std::min(height, radius + 1); ++row)
            for (int x = 0; x < width; ++x)
                colSums[size_t(x)] += blurred_[size_t(row) * size_t(width) + size_t(x)];
        int top = 0;
        int bottom = std::min(height, radius + 1); // rows [top, bottom) are summed
        for (int row = 0; row < height; ++row) {
            const int wantTop = std::max(0, row - radius);
            const int wantBottom = std::min(height, row + radius + 1);
            while (bottom < wantBottom) {
                for (int x = 0; x < width; ++x)
                    colSums[size_t(x)] += blurred_[size_t(bottom) * size_t(width) + size_t(x)];
                ++bottom;
            }
            while (top < wantTop) {
                for (int x = 0; x < width; ++x)
                    colSums[size_t(x)] -= blurred_[size_t(top) * size_t(width) + size_t(x)];
                ++top;
            }
            const uint32_t scale = reciprocal[bottom - top];
            uint8_t *dst = y + size_t(row) * size_t(yStride);
            for (int x = 0; x < width; ++x) {
                const int b = int((colSums[size_t(x)] * scale) >> 16);
                dst[x] = uint8_t((dst[x] * (256 - weight) + b * weight) >> 8);
            }
        }
    }

    if (whiteness > 0) {
        // Lift the luma along a curve that spares the highlights.
        uint8_t lut[256];
        const double gamma = 1.0 - 0.05 * whiteness;
        for (int i = 0; i < 256; ++i)
            lut[i] = uint8_t(std::lround(255.0 * std::pow(i / 255.0, gamma)));
        for (int row = 0; row < height; ++row) {
            uint8_t *p = y + size_t(row) * size_t(yStride);
            for (int x = 0; x < width; ++x)
                p[x] = lut[p[x]];
        }
    }

    if (ruddiness > 0) {
        // Warm the chroma: more red, a little less blue.
        const int cw = (width + 1) / 2;
        const int ch = (height + 1) / 2;
        const int redShift = 2 * ruddiness;
        const int blueShift = ruddiness;
        for (int row = 0; row < ch; ++row) {
            uint8_t *pv = v + size_t(row) * size_t(vStride);
            uint8_t *pu = u + size_t(row) * size_t(uStride);
            for (int x = 0; x < cw; ++x) {
                pv[x] = uint8_t(std::min(255, pv[x] + redShift));
                pu[x] = uint8_t(std::max(0, pu[x] - blueShift));
            }
        }
    }
}

void BeautyFilter::attach(GstElement *element)
{
    GstPad *pad = gst_element_get_static_pad(element, "src");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *p, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
            auto *self = static_cast<BeautyFilter *>(data);
            if (!self->active())
                return GST_PAD_PROBE_OK;
            GstCaps *caps = gst_pad_get_current_caps(p);
            GstVideoInfo vinfo;
            const bool ok = caps && gst_video_info_from_caps(&vinfo, caps) &&
                            GST_VIDEO_INFO_FORMAT(&vinfo) == GST_VIDEO_FORMAT_I420;
            if (caps)
                gst_caps_unref(caps);
            if (!ok)
                return GST_PAD_PROBE_OK;
            GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            GstVideoFrame frame;
            if (!gst_video_frame_map(&frame, &vinfo, buffer, GST_MAP_READWRITE))
                return GST_PAD_PROBE_OK;
            self->apply(static_cast<uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                        GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0),
                        static_cast<uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 1)),
                        GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 1),
                        static_cast<uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 2)),
                        GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 2), GST_VIDEO_FRAME_WIDTH(&frame),
                        GST_VIDEO_FRAME_HEIGHT(&frame));
            gst_video_frame_unmap(&frame);
            return GST_PAD_PROBE_OK;
        },
        this, nullptr);
    gst_object_unref(pad);
}

int flipMethod(liteav::TRTCVideoRotation rotation, bool mirror)
{
    // videoflip: 0 none, 1 90° clockwise, 2 180°, 3 90° counter-clockwise, 4 horizontal,
    // 5 vertical, 6 upper-left/lower-right diagonal, 7 upper-right/lower-left diagonal.
    switch (rotation) {
    case liteav::TRTCVideoRotation90:
        return mirror ? 7 : 1;
    case liteav::TRTCVideoRotation180:
        return mirror ? 5 : 2;
    case liteav::TRTCVideoRotation270:
        return mirror ? 6 : 3;
    default:
        return mirror ? 4 : 0;
    }
}

namespace {

GstElement *openSink(const char *factory, liteav::TXView window)
{
    GstElement *sink = gst_element_factory_make(factory, nullptr);
    if (!sink)
        return nullptr;
    // The window belongs to the client: the sink must not take its input events.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "handle-events"))
        g_object_set(sink, "handle-events", FALSE, nullptr);
    g_object_set(sink, "qos", FALSE, nullptr);
    if (window)
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink),
                                            reinterpret_cast<guintptr>(window));
    if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(gst_object_ref_sink(sink));
        return nullptr;
    }
    return sink;
}

} // namespace

GstElement *makeRenderBin(liteav::TXView window, GstElement **sizeFilter, std::string *sinkName)
{
    GstElement *bin = gst_bin_new(nullptr);
    GstElement *queue = gst_element_factory_make("queue", nullptr);
    g_object_set(queue, "max-size-buffers", 2, "max-size-time", guint64(0), "max-size-bytes", 0,
                 "leaky", 2, nullptr);
    GstElement *scale = gst_element_factory_make("videoscale", nullptr);
    g_object_set(scale, "add-borders", TRUE, nullptr);
    GstElement *fit = gst_element_factory_make("capsfilter", "fit");
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *sink = nullptr;
    for (const char *factory : {"ximagesink", "glimagesink"}) {
        sink = window ? openSink(factory, window) : nullptr;
        if (sink) {
            *sinkName = factory;
            break;
        }
    }
    if (!sink) {
        sink = gst_element_factory_make("fakesink", nullptr);
        *sinkName = "fakesink";
    }
    g_object_set(sink, "sync", TRUE, nullptr);
    gst_bin_add_many(GST_BIN(bin), queue, scale, fit, convert, sink, nullptr);
    gst_element_link_many(queue, scale, fit, convert, sink, nullptr);
    GstPad *pad = gst_element_get_static_pad(queue, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    *sizeFilter = fit;
    return bin;
}

void resolutionSize(liteav::TRTCVideoResolution resolution, int &width, int &height)
{
    struct Size
    {
        int id, w, h;
    };
    static const Size sizes[] = {
        {1, 120, 120},   {3, 160, 160},   {5, 270, 270},   {7, 480, 480},    {50, 160, 120},
        {52, 240, 180},  {54, 280, 210},  {56, 320, 240},  {58, 400, 300},   {60, 480, 360},
        {62, 640, 480},  {64, 960, 720},  {100, 160, 90},  {102, 256, 144},  {104, 320, 180},
        {106, 480, 270}, {108, 640, 360}, {110, 960, 540}, {112, 1280, 720}, {114, 1920, 1080},
    };
    for (const Size &s : sizes) {
        if (s.id == int(resolution)) {
            width = s.w;
            height = s.h;
            return;
        }
    }
    width = 640;
    height = 360;
}

} // namespace brvav
