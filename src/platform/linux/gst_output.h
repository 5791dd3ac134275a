// One window the GStreamer engine draws its video into: the device's own panel, or a
// mirror's.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "media/media_engine.h"
#include "platform/linux/gst_compositor.h"
#include "platform/linux/gst_picture.h"

namespace morvel::linux_backend {

// Keeps, across the opens of its engine, the panel it follows and the window of ours in it
// that the picture is drawn in. Each open gives it a branch of the new pipeline that scales
// the frames to its rectangle and draws them; the branch draws into a hidden window until
// the clip plays (show), so that the panel keeps the clip before's last picture until the
// new clip's first frame replaces it.
//
// A blending branch draws no window of its own: it hands each frame, at the rectangle's size,
// to the panel's compositor, which adds it with its weight to the other engines' there.
class VideoOutput {
  public:
    // `panel`: the widget to draw in (a platform::Handle), 0 until attach.
    explicit VideoOutput(std::uintptr_t panel = 0) : display_(panel) {}
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    std::uintptr_t display() const { return display_; }

    // The branch for a new pipeline, drawing into `hidden`: scaler and X output, behind a
    // queue of its own when `queued` (a branch of a tee). Floating, for the pipeline to take;
    // nullptr when an element is missing. `blending`: into the panel's compositor instead.
    GstElement* makeBranch(bool queued, unsigned long hidden, bool blending = false);
    // The pipeline is about to go: the picture stays on the panel (see show) and the branch
    // is forgotten.
    void leaveBranch(unsigned long hidden);
    bool hasBranch() const { return sink_ != nullptr; }

    // Draws into this widget (a platform::Handle) from the next show on. Returns false when
    // it is no widget with a window.
    bool attach(std::uintptr_t panel);
    // After an open: the rectangle is the video's own size (the frame's stored size, which
    // the cuts of later rectangles are made from), and the first frame, made for the hidden
    // window, is stale until made again at a rectangle.
    void startAt(media::VideoRect own);
    void setRect(media::VideoRect rect);
    media::VideoRect rect() const { return rect_; }
    // The first frame was made at another size than the rectangle's.
    bool stale() const { return rect_ != prepared_; }
    void markPrepared() { prepared_ = rect_; }
    // The sink moves from the hidden window to ours and draws the first frame there at once,
    // over the last picture of the clip before.
    void show();
    // The weight of a blending branch's picture in the panel's sum.
    void fade(const FadeRamp& ramp);

  private:
    void forgetBranch();
    void settlePanel();
    PictureCut cut() const;
    void applyRectangle();
    void applyCut(const PictureCut& drawn);
    void followPanel(void* widget);
    void dropPicture();
    void redrawFrame();
    static void PanelResized(void* widget, void* allocation, void* self);
    static int PanelDrawn(void* widget, void* cairo, void* self);
    void joinCompositor(void* widget);
    static GstFlowReturn FrameReady(GstElement* sink, gpointer self);
    static GstFlowReturn FirstFrameReady(GstElement* sink, gpointer self);
    void handOver(GstSample* sample);

    std::uintptr_t display_;
    GstElement* sink_ = nullptr;         // owned by the pipeline
    GstElement* scaler_ = nullptr;       // the caps filter that sets the drawn size
    GstElement* flip_ = nullptr;         // turns the frames
    GstElement* crop_ = nullptr;         // keeps the part the panel shows
    std::optional<PictureCut> applied_;  // what the branch's elements were last told
    bool showing_ = false;               // the sink draws in our window (from the first play on)
    unsigned long window_ = 0;           // the panel's X window
    unsigned long picture_ = 0;     // our child of it, the rectangle's size: the sink draws here
    media::VideoRect pictureSize_;  // of picture_
    void* panel_ = nullptr;         // the widget drawn in; cleared by GTK when it goes
    unsigned long resizeHandler_ = 0;
    unsigned long drawHandler_ = 0;
    unsigned redrawSource_ = 0;  // the idle call that draws the frame again, when pending
    media::VideoRect rect_;
    media::VideoRect stored_;    // the frame's size as decoded
    media::VideoRect prepared_;  // the size the first frame was made at
    bool blending_ = false;      // the branch goes to the compositor
    // The streaming threads read these as they hand frames over.
    std::mutex feedLock_;
    std::shared_ptr<PanelCompositor> compositor_;
    int layer_ = 0;  // in compositor_, while a blending branch is there
    FadeRamp ramp_;  // the branch's latest fade
};

}  // namespace morvel::linux_backend
