// Building blocks of the video pipelines: the beauty filter, the render branch into a window
// and the mapping of render parameters onto a flip.
#pragma once

#include "brv_av.h"

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace brvav {

/// Skin smoothing, whitening and reddening on I420 frames, levels 0–9 (0 = off). Levels may
/// change from any thread while frames pass.
class BeautyFilter
{
public:
    void set(liteav::TRTCBeautyStyle style, uint32_t beauty, uint32_t whiteness,
             uint32_t ruddiness);
    bool active() const { return beauty_ || whiteness_ || ruddiness_; }
    /// Filters one frame in place.
    void apply(uint8_t *y, int yStride, uint8_t *u, int uStride, uint8_t *v, int vStride, int width,
               int height);
    /// Puts the filter on the source pad of element (which must output I420).
    void attach(GstElement *element);

private:
    std::atomic<int> style_{0};
    std::atomic<int> beauty_{0};
    std::atomic<int> whiteness_{0};
    std::atomic<int> ruddiness_{0};
    std::vector<uint32_t> rowSums_;
    std::vector<uint32_t> colSums_;
    std::vector<uint8_t> blurred_;
};

/// The videoflip method for rotation and mirror (mirror first, then rotation clockwise).
int flipMethod(liteav::TRTCVideoRotation rotation, bool mirror);

/// A render branch for a window: a bin with a sink pad that scales the picture to the caps
/// filter "fit" (whose size follows the window) and draws it with the first X11 sink that
/// opens (ximagesink, then glimagesink), falling back to a fakesink. sinkName tells which.
GstElement *makeRenderBin(liteav::TXView window, GstElement **sizeFilter, std::string *sinkName);

/// Frame size of an encoder resolution (landscape).
void resolutionSize(liteav::TRTCVideoResolution resolution, int &width, int &height);

} // namespace brvav
