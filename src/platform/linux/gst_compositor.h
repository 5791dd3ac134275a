// Where the GStreamer engines' pictures are blended when the saver fades between clips: one
// compositor per panel (and per mirror), shared by every engine drawing into it.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "media/fade_ramp.h"
#include "platform/linux/gst_picture.h"
#include "platform/linux/gst_pipeline.h"

namespace morvel::linux_backend {

using media::FadeRamp;

// One picture, BGRx, to be added at (x, y) of the panel with weight 0 to 256 (256: whole).
struct WeightedPicture {
    const std::uint8_t* pixels = nullptr;
    int stride = 0;  // bytes from one row to the next
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    int weight = 256;
};

// Adds the weighted pictures over black into `panel` (BGRx, `stride` bytes a row, width x
// height): what no picture covers is black, and a sum past white stays white. Only the
// pictures' areas are summed; each is cut by the panel's edges.
void ComposeOverBlack(std::uint8_t* panel, int stride, int width, int height,
                      const std::vector<WeightedPicture>& pictures);

// The weight a ramp's value has in ComposeOverBlack.
int FixedWeight(double weight);

// Shows the sum of the latest frames of every engine drawing into one panel, each with its
// weight of the moment, in a window of ours over the whole panel (an X output of its own
// draws it, as the engines' outputs draw without blending). The picture stays when the
// engines leave, until the next frame replaces it.
//
// Threads: join, place, show, fade, leave and the panel's own signals come on the user-
// interface thread; submit comes on the engines' streaming threads.
class PanelCompositor {
  public:
    // The compositor of this panel widget (a GtkWidget*), made at the first call; nullptr
    // where the panel has no X window or an element is missing.
    static std::shared_ptr<PanelCompositor> For(void* panel);
    struct Made {};  // only For makes one
    explicit PanelCompositor(Made) {}
    ~PanelCompositor();
    PanelCompositor(const PanelCompositor&) = delete;
    PanelCompositor& operator=(const PanelCompositor&) = delete;

    // A new engine's picture, left out of the sum until shown.
    int join();
    void leave(int layer);
    // Where the layer's frames go in the panel, and the panel's size (0 or less: unknown).
    void place(int layer, const PictureCut& drawn, int panelWidth, int panelHeight);
    // From now on the layer is in the sum; the latest one shown leads (see submit).
    void show(int layer);
    void fade(int layer, const FadeRamp& ramp);
    // The layer's latest frame (BGRx, at the size it was placed at). A frame of the layer
    // shown last makes the sum, which the others' frames only join; when it has not drawn
    // for a while, any layer's frame does.
    void submit(int layer, GstSample* sample);

  private:
    struct Layer {
        GstSample* latest = nullptr;  // owned
        PictureCut drawn;
        FadeRamp ramp;
        std::uint64_t shownAt = 0;  // 0: not shown
    };
    bool start(void* panel);
    void resizeWindow(int width, int height);
    bool leadsOrLeaderIsLate(int layer, FadeRamp::Clock::time_point now) const;
    GstBuffer* compose(FadeRamp::Clock::time_point now);
    GstBuffer* freeSumBuffer(gsize bytes);
    bool hasLayers();
    void push(GstBuffer* frame);
    static int PanelDrawn(void* widget, void* cairo, void* self);
    // Without an X display (Wayland) the sum is painted by GTK, in the panel's own drawing
    // (gst_compositor_paint.cpp): no output of its own can draw into a part of a window.
    bool startPainting(void* panel);
    void keepForPainting(GstBuffer* frame);
    static int PaintSum(void* widget, void* cairo, void* self);

    std::mutex lock_;  // guards what follows, up to the window
    std::map<int, Layer> layers_;
    int nextLayer_ = 1;
    std::uint64_t shows_ = 0;
    int width_ = 0;
    int height_ = 0;
    FadeRamp::Clock::time_point lastSum_{};
    int pushedWidth_ = 0;
    int pushedHeight_ = 0;
    std::vector<GstBuffer*> sumBuffers_;  // owned; see freeSumBuffer

    GstOwned<GstElement> pipeline_;  // appsrc into the X output
    GstElement* source_ = nullptr;   // owned by the pipeline
    GstElement* sink_ = nullptr;     // owned by the pipeline
    void* panel_ = nullptr;          // the widget; cleared by GTK when it goes
    unsigned long drawHandler_ = 0;
    unsigned redrawSource_ = 0;
    unsigned long window_ = 0;  // ours, a child of the panel's
    int windowWidth_ = 0;
    int windowHeight_ = 0;
    GstBuffer* painted_ = nullptr;  // owned, behind lock_: the sum GTK paints next
    int paintedWidth_ = 0;
    int paintedHeight_ = 0;
    unsigned paintSource_ = 0;  // behind lock_: the idle call that asks GTK to paint
};

}  // namespace morvel::linux_backend
