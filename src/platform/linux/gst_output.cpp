#include "platform/linux/gst_output.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gst/app/gstappsink.h>
#include <gst/video/videooverlay.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <initializer_list>

#include "platform/linux/gst_picture.h"
#include "platform/linux/gst_pipeline.h"

namespace morvel::linux_backend {

VideoOutput::~VideoOutput() {
    followPanel(nullptr);
    dropPicture();
}

GstElement* VideoOutput::makeBranch(bool queued, unsigned long hidden, bool blending) {
    forgetBranch();
    blending_ = blending;
    ramp_ = {};
    GstElement* queue = queued ? gst_element_factory_make("queue", nullptr) : nullptr;
    GstElement* flip = gst_element_factory_make("videoflip", nullptr);
    GstElement* crop = gst_element_factory_make("videocrop", nullptr);
    GstElement* scale = gst_element_factory_make("videoscale", nullptr);
    GstElement* scaler = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make(blending ? "appsink" : "ximagesink", nullptr);
    if ((queued && queue == nullptr) || flip == nullptr || crop == nullptr || scale == nullptr ||
        scaler == nullptr || sink == nullptr) {
        for (GstElement* made : {queue, flip, crop, scale, scaler, sink}) {
            if (made != nullptr) {
                gst_object_unref(made);
            }
        }
        return nullptr;
    }
    if (blending) {
        GstCaps* frames = gst_caps_from_string("video/x-raw,format=BGRx");
        g_object_set(sink, "caps", frames, "enable-last-sample", FALSE, nullptr);
        gst_caps_unref(frames);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_preroll = +[](GstAppSink* from, gpointer self) {
            return FirstFrameReady(GST_ELEMENT(from), self);
        };
        callbacks.new_sample =
            +[](GstAppSink* from, gpointer self) { return FrameReady(GST_ELEMENT(from), self); };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    } else {
        // Left to itself the sink watches the window on a thread that looks every 50 ms, and
        // stopping the sink waits for that look: up to 50 ms at every close, the last one
        // included, when a key has ended the saver. GTK says when the panel is drawn instead.
        g_object_set(sink, "force-aspect-ratio", FALSE, "handle-expose", FALSE, "handle-events",
                     FALSE, nullptr);
    }
    // The picture fills the rectangle it is given, whatever its own shape, as on Windows.
    g_object_set(scale, "add-borders", FALSE, nullptr);
    GstElement* branch = gst_bin_new(nullptr);
    // Turned as the saver says (not by the file's tag: the saver has placed the picture for
    // the turn it chose), then cut to what the panel shows, which alone is scaled.
    gst_bin_add_many(GST_BIN(branch), flip, crop, scale, scaler, sink, nullptr);
    gst_element_link_many(flip, crop, scale, scaler, sink, nullptr);
    GstElement* first = flip;
    if (queue != nullptr) {
        // Each window's sink waits for its own frame's time, and holds the first frame until
        // the clip plays: a queue of its own keeps it from holding up the other windows.
        gst_bin_add(GST_BIN(branch), queue);
        gst_element_link(queue, flip);
        first = queue;
    }
    GstPad* input = gst_element_get_static_pad(first, "sink");
    gst_element_add_pad(branch, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    if (!blending) {
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), hidden);
    }
    sink_ = sink;
    scaler_ = scaler;
    flip_ = flip;
    crop_ = crop;
    if (blending && panel_ != nullptr) {
        joinCompositor(panel_);
    }
    return branch;
}

void VideoOutput::leaveBranch(unsigned long hidden) {
    if (blending_) {
        const std::lock_guard hold(feedLock_);
        if (compositor_ && layer_ != 0) {
            compositor_->leave(layer_);
        }
        layer_ = 0;
    } else if (showing_ && hidden != 0 && sink_ != nullptr) {
        // The sink paints its window black as it stops: the panel keeps the last picture
        // until the next clip's first frame replaces it.
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink_), hidden);
    }
    forgetBranch();
}

void VideoOutput::forgetBranch() {
    sink_ = nullptr;
    scaler_ = nullptr;
    flip_ = nullptr;
    crop_ = nullptr;
    applied_.reset();
    showing_ = false;
}

bool VideoOutput::attach(std::uintptr_t panel) {
    auto* widget = reinterpret_cast<GtkWidget*>(panel);
    if (panel == 0 || !GTK_IS_WIDGET(widget)) {
        return false;
    }
    display_ = panel;
    if (blending_) {
        followPanel(widget);  // for its size; the compositor draws it again
        if (sink_ != nullptr) {
            joinCompositor(widget);
        }
        applyRectangle();
        return compositor_ != nullptr;
    }
    gtk_widget_realize(widget);
    GdkWindow* native = gtk_widget_get_window(widget);
    if (native == nullptr || !gdk_window_ensure_native(native)) {
        return false;
    }
    followPanel(widget);
    const unsigned long panelWindow = gdk_x11_window_get_xid(native);
    if (panelWindow != window_ || picture_ == 0) {
        dropPicture();
        window_ = panelWindow;
        // The sink centres its picture in the whole window it is given: a window of ours
        // the rectangle's size, at the panel's corner, puts the picture where MCI does.
        // No background: when it grows, or moves with the panel, the server paints nothing
        // in it, so what was on the screen there stays until the sink draws.
        Display* display = GDK_WINDOW_XDISPLAY(native);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;
        attributes.bit_gravity = NorthWestGravity;
        picture_ = XCreateWindow(display, window_, 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWBackPixmap | CWBitGravity, &attributes);
        XMapWindow(display, picture_);
        pictureSize_ = {1, 1};
    }
    gdk_display_sync(gdk_window_get_display(native));  // the window exists on the server
    if (showing_ && sink_ != nullptr) {
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink_), picture_);
    }
    applyRectangle();
    return true;
}

// The sink asks for frames of its window's size, and the first frame was made while it drew
// in the hidden window: at that window's size, not the video's. A blending branch asks for
// no size: its first frame has the video's own.
void VideoOutput::startAt(media::VideoRect own) {
    rect_ = own;
    stored_ = own;
    prepared_ = blending_ ? own : media::VideoRect{};
}

// The panel's size is the one the saver asked for: GTK gives it only at its next layout.
PictureCut VideoOutput::cut() const {
    int width = 0;
    int height = 0;
    if (panel_ != nullptr) {
        gtk_widget_get_size_request(static_cast<GtkWidget*>(panel_), &width, &height);
    }
    return CutFor(rect_, stored_.right, stored_.bottom, width, height);
}

void VideoOutput::setRect(media::VideoRect rect) {
    rect_ = rect;
    applyRectangle();
}

void VideoOutput::show() {
    if (blending_ && !showing_ && sink_ != nullptr) {
        showing_ = true;
        if (auto* widget = static_cast<GtkWidget*>(panel_); widget != nullptr) {
            GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
            if (gtk_widget_is_toplevel(toplevel)) {
                gtk_container_check_resize(GTK_CONTAINER(toplevel));
            }
        }
        applyRectangle();
        const std::lock_guard hold(feedLock_);
        if (compositor_ && layer_ != 0) {
            compositor_->show(layer_);
        }
        return;
    }
    if (showing_ || sink_ == nullptr || picture_ == 0) {
        return;
    }
    showing_ = true;
    settlePanel();
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink_), picture_);
    applyRectangle();
}

// The panel may have been given a new size and place for this clip, which GTK would give it
// only at its next layout, after the first frame: that frame would land at the old place,
// and the panel's move would then uncover parts of our window that nothing draws until GTK
// has drawn the panel. So the panel takes its place now, before the first frame is drawn.
// Our window first grows to cover the panel at its old size and at its new one, so that
// whatever background the panel's own window has is never uncovered in between; ours has
// none, so the screen keeps the clip before's picture until the frame replaces it.
void VideoOutput::settlePanel() {
    Display* display = XDisplay();
    auto* widget = static_cast<GtkWidget*>(panel_);
    if (display == nullptr || widget == nullptr) {
        return;
    }
    const PictureCut drawn = cut();
    const media::VideoRect covering{std::max(pictureSize_.right, drawn.width),
                                    std::max(pictureSize_.bottom, drawn.height)};
    if (covering != pictureSize_) {
        XResizeWindow(display, picture_, static_cast<unsigned>(covering.right),
                      static_cast<unsigned>(covering.bottom));
        pictureSize_ = covering;
    }
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    if (gtk_widget_is_toplevel(toplevel)) {
        gtk_container_check_resize(GTK_CONTAINER(toplevel));
    }
}

// The frames are turned, cut and scaled for the rectangle and drawn in our window, over the
// part of the panel the picture covers. Before the clip plays our window keeps the clip
// before's size and picture.
void VideoOutput::applyRectangle() {
    if (scaler_ == nullptr || rect_.right <= 0 || rect_.bottom <= 0) {
        return;
    }
    const PictureCut drawn = cut();
    if (drawn.width <= 0 || drawn.height <= 0) {
        return;
    }
    if (applied_ != drawn) {
        applyCut(drawn);
    }
    if (blending_) {
        int width = 0;
        int height = 0;
        if (panel_ != nullptr) {
            gtk_widget_get_size_request(static_cast<GtkWidget*>(panel_), &width, &height);
        }
        const std::lock_guard hold(feedLock_);
        if (compositor_ && layer_ != 0) {
            compositor_->place(layer_, drawn, width, height);
        }
        return;
    }
    if (!showing_) {
        return;
    }
    if (Display* display = XDisplay(); display != nullptr && picture_ != 0) {
        XMoveResizeWindow(display, picture_, drawn.x, drawn.y, static_cast<unsigned>(drawn.width),
                          static_cast<unsigned>(drawn.height));
        pictureSize_ = {drawn.width, drawn.height};
        XSync(display, False);  // before the sink, on a connection of its own, looks at it
    }
    gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(sink_), 0, 0, drawn.width,
                                           drawn.height);
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(sink_));
}

// Each change has the elements agree on their formats again: only what differs is set.
void VideoOutput::applyCut(const PictureCut& drawn) {
    if (!applied_ || applied_->direction != drawn.direction) {
        g_object_set(flip_, "video-direction", drawn.direction, nullptr);
    }
    if (!applied_ || applied_->cropLeft != drawn.cropLeft ||
        applied_->cropRight != drawn.cropRight || applied_->cropTop != drawn.cropTop ||
        applied_->cropBottom != drawn.cropBottom) {
        g_object_set(crop_, "left", drawn.cropLeft, "right", drawn.cropRight, "top", drawn.cropTop,
                     "bottom", drawn.cropBottom, nullptr);
    }
    if (!applied_ || applied_->width != drawn.width || applied_->height != drawn.height) {
        GstCaps* caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, drawn.width,
                                            "height", G_TYPE_INT, drawn.height,
                                            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
        g_object_set(scaler_, "caps", caps, nullptr);
        gst_caps_unref(caps);
    }
    applied_ = drawn;
}

// The panel's window takes ours with it when it goes: that destroy is then refused.
void VideoOutput::dropPicture() {
    Display* display = XDisplay();
    if (picture_ != 0 && display != nullptr) {
        GdkDisplay* gdk = gdk_display_get_default();
        gdk_x11_display_error_trap_push(gdk);
        XDestroyWindow(display, picture_);
        gdk_x11_display_error_trap_pop_ignored(gdk);
    }
    picture_ = 0;
    window_ = 0;
}

// The sink learns the panel's size only when asked (it is told not to watch our window):
// each time the panel is placed anew it looks again and redraws. Each time GTK has drawn
// the panel (its background over the picture, when the window is mapped or uncovered),
// the last frame is drawn again once GTK's drawing is done.
void VideoOutput::followPanel(void* widget) {
    if (widget == panel_) {
        return;
    }
    if (panel_ != nullptr) {
        g_signal_handler_disconnect(panel_, resizeHandler_);
        g_signal_handler_disconnect(panel_, drawHandler_);
        g_object_remove_weak_pointer(G_OBJECT(panel_), &panel_);
    }
    if (redrawSource_ != 0) {
        g_source_remove(redrawSource_);
        redrawSource_ = 0;
    }
    panel_ = widget;
    resizeHandler_ = 0;
    drawHandler_ = 0;
    if (panel_ != nullptr) {
        g_object_add_weak_pointer(G_OBJECT(panel_), &panel_);
        resizeHandler_ =
            g_signal_connect_after(panel_, "size-allocate", G_CALLBACK(PanelResized), this);
        drawHandler_ = g_signal_connect_after(panel_, "draw", G_CALLBACK(PanelDrawn), this);
    }
}

void VideoOutput::PanelResized(void* /*widget*/, void* /*allocation*/, void* self) {
    static_cast<VideoOutput*>(self)->redrawFrame();
}

int VideoOutput::PanelDrawn(void* /*widget*/, void* /*cairo*/, void* self) {
    auto& output = *static_cast<VideoOutput*>(self);
    // GTK puts its drawing on the screen after the last draw handler: the frame waits.
    if (output.redrawSource_ == 0) {
        output.redrawSource_ = g_idle_add(
            +[](gpointer data) {
                auto& waiting = *static_cast<VideoOutput*>(data);
                waiting.redrawSource_ = 0;
                waiting.redrawFrame();
                return G_SOURCE_REMOVE;
            },
            &output);
    }
    return FALSE;
}

// The sink draws on a connection of its own: what GTK has drawn must reach the server first.
void VideoOutput::redrawFrame() {
    if (!blending_ && showing_ && sink_ != nullptr && panel_ != nullptr) {
        gdk_display_flush(gtk_widget_get_display(static_cast<GtkWidget*>(panel_)));
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(sink_));
    }
}

}  // namespace morvel::linux_backend

namespace morvel::linux_backend {

// The panel's compositor, and a place in it for this branch.
void VideoOutput::joinCompositor(void* widget) {
    const std::lock_guard hold(feedLock_);
    std::shared_ptr<PanelCompositor> compositor = PanelCompositor::For(widget);
    if (compositor != compositor_ && compositor_ && layer_ != 0) {
        compositor_->leave(layer_);
        layer_ = 0;
    }
    compositor_ = std::move(compositor);
    if (compositor_ && layer_ == 0) {
        layer_ = compositor_->join();
        compositor_->fade(layer_, ramp_);  // a fade asked for before the panel was known
    }
}

void VideoOutput::fade(const FadeRamp& ramp) {
    const std::lock_guard hold(feedLock_);
    ramp_ = ramp;
    if (compositor_ && layer_ != 0) {
        compositor_->fade(layer_, ramp);
    }
}

// On a streaming thread.
void VideoOutput::handOver(GstSample* sample) {
    std::shared_ptr<PanelCompositor> compositor;
    int layer = 0;
    {
        const std::lock_guard hold(feedLock_);
        compositor = compositor_;
        layer = layer_;
    }
    if (compositor && layer != 0) {
        compositor->submit(layer, sample);
    }
}

GstFlowReturn VideoOutput::FrameReady(GstElement* sink, gpointer self) {
    if (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        static_cast<VideoOutput*>(self)->handOver(sample);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

GstFlowReturn VideoOutput::FirstFrameReady(GstElement* sink, gpointer self) {
    if (GstSample* sample = gst_app_sink_pull_preroll(GST_APP_SINK(sink))) {
        static_cast<VideoOutput*>(self)->handOver(sample);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

}  // namespace morvel::linux_backend
