#include "AvScreen.h"

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace brvav {

namespace {

template <typename T> struct FreeDeleter
{
    void operator()(T *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

Rect Rect::intersected(const Rect &o) const
{
    const int left = std::max(x, o.x);
    const int top = std::max(y, o.y);
    const int right = std::min(x + width, o.x + o.width);
    const int bottom = std::min(y + height, o.y + o.height);
    if (right <= left || bottom <= top)
        return {};
    return {left, top, right - left, bottom - top};
}

XConnection::XConnection()
{
    if (!std::getenv("DISPLAY"))
        return;
    int screenNumber = 0;
    conn_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(conn_)) {
        xcb_disconnect(conn_);
        conn_ = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    root_ = it.data->root;
    rootWidth_ = it.data->width_in_pixels;
    rootHeight_ = it.data->height_in_pixels;
    rootDepth_ = it.data->root_depth;
    rootVisual_ = it.data->root_visual;
    rootColormap_ = it.data->default_colormap;
}

XConnection::~XConnection()
{
    if (handlerInstalled_)
        XSetErrorHandler(reinterpret_cast<XErrorHandler>(previousHandler_));
    if (conn_)
        xcb_disconnect(conn_);
}

void XConnection::installXlibErrorHandler()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (handlerInstalled_)
        return;
    previousHandler_ = reinterpret_cast<void *>(XSetErrorHandler(ignoreXError));
    handlerInstalled_ = true;
}

bool XConnection::geometryOf(unsigned long window, int *width, int *height, int *depth)
{
    if (!conn_ || !window)
        return false;
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, uint32_t(window)), nullptr));
    if (!geometry)
        return false;
    if (width)
        *width = geometry->width;
    if (height)
        *height = geometry->height;
    if (depth)
        *depth = geometry->depth;
    return true;
}

bool XConnection::windowSize(unsigned long window, int &width, int &height)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return geometryOf(window, &width, &height, nullptr);
}

int XConnection::windowDepth(unsigned long window)
{
    std::lock_guard<std::mutex> lock(mutex_);
    int depth = 0;
    return geometryOf(window, nullptr, nullptr, &depth) ? depth : 0;
}

unsigned long XConnection::createChildWindow(unsigned long parent, int width, int height)
{
    if (!conn_ || !parent)
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t child = xcb_generate_id(conn_);
    // A visual other than the parent's needs its own colormap and border pixel.
    const uint32_t values[] = {0, 0, rootColormap_};
    xcb_void_cookie_t cookie = xcb_create_window_checked(
        conn_, rootDepth_, child, uint32_t(parent), 0, 0, uint16_t(std::max(1, width)),
        uint16_t(std::max(1, height)), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, rootVisual_,
        XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
    if (xcb_generic_error_t *error = xcb_request_check(conn_, cookie)) {
        std::free(error);
        return 0;
    }
    xcb_map_window(conn_, child);
    xcb_flush(conn_);
    return child;
}

void XConnection::resizeWindow(unsigned long window, int width, int height)
{
    if (!conn_ || !window)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t values[] = {uint32_t(std::max(1, width)), uint32_t(std::max(1, height))};
    xcb_generic_error_t *error = xcb_request_check(
        conn_,
        xcb_configure_window_checked(conn_, uint32_t(window),
                                     XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values));
    std::free(error); // gone with its parent: nothing to do
}

void XConnection::destroyWindow(unsigned long window)
{
    if (!conn_ || !window)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::free(xcb_request_check(conn_, xcb_destroy_window_checked(conn_, uint32_t(window))));
}

bool XConnection::windowRect(unsigned long window, Rect &rect)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return rectOf(window, rect);
}

bool XConnection::rectOf(unsigned long window, Rect &rect)
{
    int width = 0;
    int height = 0;
    if (!geometryOf(window, &width, &height, nullptr))
        return false;
    Reply<xcb_translate_coordinates_reply_t> pos(xcb_translate_coordinates_reply(
        conn_, xcb_translate_coordinates(conn_, uint32_t(window), root_, 0, 0), nullptr));
    if (!pos)
        return false;
    rect = {pos->dst_x, pos->dst_y, width, height};
    return true;
}

uint32_t XConnection::atom(const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        conn_, xcb_intern_atom(conn_, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : 0;
}

std::string XConnection::windowName(uint32_t window)
{
    for (const char *property : {"_NET_WM_NAME", "WM_NAME"}) {
        const uint32_t a = atom(property);
        if (!a)
            continue;
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, window, a, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr));
        if (reply && reply->format == 8 && xcb_get_property_value_length(reply.get()) > 0) {
            return std::string(static_cast<const char *>(xcb_get_property_value(reply.get())),
                               size_t(xcb_get_property_value_length(reply.get())));
        }
    }
    return {};
}

std::vector<CaptureSource> XConnection::sources()
{
    std::vector<CaptureSource> out;
    if (!conn_)
        return out;
    CaptureSource screen;
    screen.isScreen = true;
    screen.isMain = true;
    screen.id = root_;
    screen.name = "Screen 1";
    screen.width = rootWidth_;
    screen.height = rootHeight_;
    out.push_back(screen);

    std::lock_guard<std::mutex> lock(mutex_);
    // With a window manager its client list holds the top-level windows; without one they are
    // the root's children.
    std::vector<uint32_t> windows;
    const uint32_t clientList = atom("_NET_CLIENT_LIST_STACKING");
    Reply<xcb_get_property_reply_t> list(
        clientList
            ? xcb_get_property_reply(
                  conn_, xcb_get_property(conn_, 0, root_, clientList, XCB_ATOM_WINDOW, 0, 4096),
                  nullptr)
            : nullptr);
    bool managed = false;
    if (list && list->format == 32 && xcb_get_property_value_length(list.get()) > 0) {
        auto *ids = static_cast<uint32_t *>(xcb_get_property_value(list.get()));
        windows.assign(ids, ids + xcb_get_property_value_length(list.get()) / 4);
        managed = true;
    } else {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root_), nullptr));
        if (tree) {
            xcb_window_t *children = xcb_query_tree_children(tree.get());
            windows.assign(children, children + xcb_query_tree_children_length(tree.get()));
        }
    }
    for (uint32_t window : windows) {
        Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            conn_, xcb_get_window_attributes(conn_, window), nullptr));
        if (!attributes || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        const bool viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        if (!managed && (!viewable || attributes->override_redirect))
            continue;
        CaptureSource source;
        source.id = window;
        source.name = windowName(window);
        if (source.name.empty())
            continue;
        source.minimized = !viewable;
        Rect rect;
        if (!rectOf(window, rect))
            continue; // went away meanwhile
        source.x = rect.x;
        source.y = rect.y;
        source.width = rect.width;
        source.height = rect.height;
        out.push_back(source);
    }
    return out;
}

bool XConnection::thumbnail(const Rect &area, int width, int height, std::vector<uint8_t> &out)
{
    if (!conn_ || width <= 0 || height <= 0 || area.empty())
        return false;
    out.assign(size_t(width) * size_t(height) * 4, 0);
    for (size_t i = 3; i < out.size(); i += 4)
        out[i] = 255;
    // Fit the area into the thumbnail, aspect kept, centred.
    const double scale = std::min(double(width) / area.width, double(height) / area.height);
    const int drawW = std::max(1, int(area.width * scale));
    const int drawH = std::max(1, int(area.height * scale));
    const int offX = (width - drawW) / 2;
    const int offY = (height - drawH) / 2;

    const Rect visible = area.intersected(rootRect());
    if (visible.empty())
        return true; // all off the screen: a black picture
    std::lock_guard<std::mutex> lock(mutex_);
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
        conn_,
        xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, int16_t(visible.x),
                      int16_t(visible.y), uint16_t(visible.width), uint16_t(visible.height), ~0u),
        nullptr));
    if (!image || (image->depth != 24 && image->depth != 32))
        return false;
    const auto *pixels = xcb_get_image_data(image.get());
    const int length = xcb_get_image_data_length(image.get());
    const int stride = length / visible.height;
    if (stride < visible.width * 4)
        return false;
    // Each thumbnail pixel averages the block of source pixels it covers.
    for (int ty = 0; ty < drawH; ++ty) {
        const int sy0 = area.y + int(double(ty) / scale);
        const int sy1 = std::max(sy0 + 1, area.y + int(double(ty + 1) / scale));
        for (int tx = 0; tx < drawW; ++tx) {
            const int sx0 = area.x + int(double(tx) / scale);
            const int sx1 = std::max(sx0 + 1, area.x + int(double(tx + 1) / scale));
            unsigned sum[3] = {0, 0, 0};
            unsigned count = 0;
            for (int sy = std::max(sy0, visible.y); sy < std::min(sy1, visible.y + visible.height);
                 ++sy) {
                const uint8_t *row = pixels + size_t(sy - visible.y) * size_t(stride);
                for (int sx = std::max(sx0, visible.x);
                     sx < std::min(sx1, visible.x + visible.width); ++sx) {
                    const uint8_t *p = row + size_t(sx - visible.x) * 4;
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                    ++count;
                }
            }
            if (!count)
                continue;
            uint8_t *d = out.data() + (size_t(offY + ty) * size_t(width) + size_t(offX + tx)) * 4;
            d[0] = uint8_t(sum[0] / count);
            d[1] = uint8_t(sum[1] / count);
            d[2] = uint8_t(sum[2] / count);
        }
    }
    return true;
}

} // namespace brvav
