// The X11 side: window sizes for render targets, capture sources and their thumbnails. Uses
// its own xcb connection, whose errors come back as replies and never end the process.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

typedef struct xcb_connection_t xcb_connection_t;

namespace brvav {

struct CaptureSource
{
    bool isScreen = false;
    bool isMain = false;
    bool minimized = false;
    unsigned long id = 0; ///< window id; the root window for a screen
    std::string name;
    int x = 0; ///< position and size in root coordinates
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Rect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    Rect intersected(const Rect &o) const;
};

class XConnection
{
public:
    XConnection();
    ~XConnection();
    XConnection(const XConnection &) = delete;
    XConnection &operator=(const XConnection &) = delete;

    bool isOpen() const { return conn_ != nullptr; }
    unsigned long root() const { return root_; }
    Rect rootRect() const { return {0, 0, rootWidth_, rootHeight_}; }

    /// Inner size of a window; false when it does not exist (any more).
    bool windowSize(unsigned long window, int &width, int &height);
    /// Depth of a window's visual; 0 when it does not exist.
    int windowDepth(unsigned long window);
    int rootDepth() const { return rootDepth_; }
    /// A child window of the screen's default visual filling parent, for sinks that cannot draw
    /// into the parent's visual (a 32-bit translucent window). 0 on failure.
    unsigned long createChildWindow(unsigned long parent, int width, int height);
    void resizeWindow(unsigned long window, int width, int height);
    void destroyWindow(unsigned long window);
    /// The window's area in root coordinates; false when it does not exist.
    bool windowRect(unsigned long window, Rect &rect);
    /// The screens, then the top-level windows that have a name, top-most last.
    std::vector<CaptureSource> sources();
    /// The part of the root window in area, scaled to fit width × height with black borders,
    /// as B, G, R, A bytes. Whatever lies off the screen stays black.
    bool thumbnail(const Rect &area, int width, int height, std::vector<uint8_t> &out);

    /// Makes Xlib errors of the process (those of the video sinks' connections, e.g. a window
    /// that went away while drawn into) harmless instead of fatal. Undone by the destructor.
    void installXlibErrorHandler();

private:
    // With the mutex held.
    bool geometryOf(unsigned long window, int *width, int *height, int *depth);
    bool rectOf(unsigned long window, Rect &rect);
    std::string windowName(uint32_t window);
    uint32_t atom(const char *name);

    std::mutex mutex_;
    xcb_connection_t *conn_ = nullptr;
    uint32_t root_ = 0;
    uint32_t rootVisual_ = 0;
    uint32_t rootColormap_ = 0;
    int rootWidth_ = 0;
    int rootHeight_ = 0;
    uint8_t rootDepth_ = 0;
    bool handlerInstalled_ = false;
    void *previousHandler_ = nullptr;
};

} // namespace brvav
