#include "platform/linux/gst_compositor.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace morvel::linux_backend {

namespace {

// A leader that has not drawn for this long (paused, or ended while the other fades) no
// longer holds up the others' frames.
constexpr std::chrono::milliseconds kLeaderLate{80};
// The sums in the X output's hands at once: queued (2), drawn, kept for a redraw, and one made.
constexpr std::size_t kSumBuffers = 5;

// The compositors alive, by panel widget.
std::map<void*, std::weak_ptr<PanelCompositor>>& Compositors() {
    static std::map<void*, std::weak_ptr<PanelCompositor>> compositors;
    return compositors;
}

}  // namespace

int FixedWeight(double weight) {
    return static_cast<int>(std::lround(std::clamp(weight, 0.0, 1.0) * 256.0));
}

namespace {

// In 16 bits (255 x 256 + 128 fits), with rows that do not overlap, the compiler does
// these many bytes at a time.
void WeighRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, std::size_t bytes,
              std::uint16_t weight) {
    for (std::size_t byte = 0; byte < bytes; ++byte) {
        const auto product = static_cast<std::uint16_t>(in[byte] * weight + 128u);
        out[byte] = static_cast<std::uint8_t>(product >> 8);
    }
}

void AddWeighedRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict in,
                   std::size_t bytes, std::uint16_t weight) {
    for (std::size_t byte = 0; byte < bytes; ++byte) {
        const auto product = static_cast<std::uint16_t>(in[byte] * weight + 128u);
        const auto sum = static_cast<std::uint16_t>(out[byte] + (product >> 8));
        out[byte] = static_cast<std::uint8_t>(sum > 255 ? 255 : sum);
    }
}

// A picture's part inside the panel.
struct Span {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

Span Inside(const WeightedPicture& picture, int width, int height) {
    return {std::max(picture.x, 0), std::max(picture.y, 0),
            std::min(picture.x + picture.width, width),
            std::min(picture.y + picture.height, height)};
}

}  // namespace

// Row by row: the first picture across a row sets it (black either side), the others add to
// it, so each byte is written once more than there are pictures over it, and never cleared
// first.
void ComposeOverBlack(std::uint8_t* panel, int stride, int width, int height,
                      const std::vector<WeightedPicture>& pictures) {
    std::vector<std::pair<const WeightedPicture*, Span>> drawn;
    for (const WeightedPicture& picture : pictures) {
        const Span span = Inside(picture, width, height);
        if (picture.weight > 0 && span.left < span.right && span.top < span.bottom) {
            drawn.emplace_back(&picture, span);
        }
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* out = panel + static_cast<std::ptrdiff_t>(row) * stride;
        bool set = false;
        for (const auto& [picture, span] : drawn) {
            if (row < span.top || row >= span.bottom) {
                continue;
            }
            const auto weight = static_cast<std::uint16_t>(std::min(picture->weight, 256));
            const std::uint8_t* in =
                picture->pixels + static_cast<std::ptrdiff_t>(row - picture->y) * picture->stride +
                (span.left - picture->x) * 4;
            const auto bytes = static_cast<std::size_t>(span.right - span.left) * 4;
            if (set) {
                AddWeighedRow(out + span.left * 4, in, bytes, weight);
                continue;
            }
            std::memset(out, 0, static_cast<std::size_t>(span.left) * 4);
            WeighRow(out + span.left * 4, in, bytes, weight);
            std::memset(out + span.right * 4, 0,
                        rowBytes - static_cast<std::size_t>(span.right) * 4);
            set = true;
        }
        if (!set) {
            std::memset(out, 0, rowBytes);
        }
    }
}

std::shared_ptr<PanelCompositor> PanelCompositor::For(void* panel) {
    auto& compositors = Compositors();
    if (auto found = compositors.find(panel); found != compositors.end()) {
        if (auto alive = found->second.lock()) {
            return alive;
        }
    }
    auto made = std::make_shared<PanelCompositor>(Made{});
    if (!made->start(panel)) {
        return nullptr;
    }
    compositors[panel] = made;
    return made;
}

// Its own pipeline: frames pushed in, drawn at once (they were timed by the engines' own
// outputs), an old one dropped rather than a new one waited for.
bool PanelCompositor::start(void* panel) {
    auto* widget = static_cast<GtkWidget*>(panel);
    if (panel == nullptr || !GTK_IS_WIDGET(widget)) {
        return false;
    }
    gtk_widget_realize(widget);
    GdkWindow* native = gtk_widget_get_window(widget);
    Display* display = XDisplay();
    if (display == nullptr) {
        return startPainting(panel);
    }
    if (native == nullptr || !gdk_window_ensure_native(native)) {
        return false;
    }
    GstElement* source = gst_element_factory_make("appsrc", nullptr);
    GstElement* sink = gst_element_factory_make("ximagesink", nullptr);
    GstElement* pipeline = gst_pipeline_new(nullptr);
    if (source == nullptr || sink == nullptr || pipeline == nullptr) {
        for (GstElement* made : {source, sink, pipeline}) {
            if (made != nullptr) {
                gst_object_unref(made);
            }
        }
        return false;
    }
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(pipeline)));
    g_object_set(source, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-buffers",
                 static_cast<guint64>(2), "leaky-type", 2 /* the oldest goes */, nullptr);
    g_object_set(sink, "sync", FALSE, "qos", FALSE, "force-aspect-ratio", FALSE, "handle-expose",
                 FALSE, "handle-events", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, sink, nullptr);
    gst_element_link(source, sink);
    source_ = source;
    sink_ = sink;

    // No background: the panel shows what it showed until the first sum is drawn.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.bit_gravity = NorthWestGravity;
    window_ = XCreateWindow(display, gdk_x11_window_get_xid(native), 0, 0, 1, 1, 0, CopyFromParent,
                            InputOutput, CopyFromParent, CWBackPixmap | CWBitGravity, &attributes);
    XMapRaised(display, window_);
    windowWidth_ = 1;
    windowHeight_ = 1;
    XSync(display, False);  // the sink talks to the server on a connection of its own
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink_), window_);
    gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);

    panel_ = widget;
    g_object_add_weak_pointer(G_OBJECT(panel_), &panel_);
    drawHandler_ = g_signal_connect_after(panel_, "draw", G_CALLBACK(PanelDrawn), this);
    return true;
}

PanelCompositor::~PanelCompositor() {
    auto& compositors = Compositors();
    for (auto entry = compositors.begin(); entry != compositors.end();) {
        entry = entry->second.expired() ? compositors.erase(entry) : std::next(entry);
    }
    if (panel_ != nullptr) {
        g_signal_handler_disconnect(panel_, drawHandler_);
        g_object_remove_weak_pointer(G_OBJECT(panel_), &panel_);
    }
    if (redrawSource_ != 0) {
        g_source_remove(redrawSource_);
    }
    if (paintSource_ != 0) {
        g_source_remove(paintSource_);
    }
    if (painted_ != nullptr) {
        gst_buffer_unref(painted_);
    }
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
    for (auto& [id, layer] : layers_) {
        if (layer.latest != nullptr) {
            gst_sample_unref(layer.latest);
        }
    }
    for (GstBuffer* buffer : sumBuffers_) {
        gst_buffer_unref(buffer);
    }
    // The panel's window takes ours with it when it goes: that destroy is then refused.
    if (Display* display = XDisplay(); display != nullptr && window_ != 0) {
        GdkDisplay* gdk = gdk_display_get_default();
        gdk_x11_display_error_trap_push(gdk);
        XDestroyWindow(display, window_);
        gdk_x11_display_error_trap_pop_ignored(gdk);
    }
}

int PanelCompositor::join() {
    const std::lock_guard hold(lock_);
    const int layer = nextLayer_++;
    layers_[layer] = {};
    return layer;
}

void PanelCompositor::leave(int layer) {
    const std::lock_guard hold(lock_);
    if (auto found = layers_.find(layer); found != layers_.end()) {
        if (found->second.latest != nullptr) {
            gst_sample_unref(found->second.latest);
        }
        layers_.erase(found);
    }
}

void PanelCompositor::place(int layer, const PictureCut& drawn, int panelWidth, int panelHeight) {
    const int width = panelWidth > 0 ? panelWidth : drawn.x + drawn.width;
    const int height = panelHeight > 0 ? panelHeight : drawn.y + drawn.height;
    {
        const std::lock_guard hold(lock_);
        if (auto found = layers_.find(layer); found != layers_.end()) {
            found->second.drawn = drawn;
        }
        width_ = width;
        height_ = height;
    }
    resizeWindow(width, height);
}

void PanelCompositor::resizeWindow(int width, int height) {
    Display* display = XDisplay();
    if (display == nullptr || width <= 0 || height <= 0 ||
        (width == windowWidth_ && height == windowHeight_)) {
        return;
    }
    XResizeWindow(display, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    windowWidth_ = width;
    windowHeight_ = height;
    XSync(display, False);
}

void PanelCompositor::show(int layer) {
    const std::lock_guard hold(lock_);
    if (auto found = layers_.find(layer); found != layers_.end() && found->second.shownAt == 0) {
        found->second.shownAt = ++shows_;
    }
}

void PanelCompositor::fade(int layer, const FadeRamp& ramp) {
    const std::lock_guard hold(lock_);
    if (auto found = layers_.find(layer); found != layers_.end()) {
        found->second.ramp = ramp;
    }
}

// The sum goes up under the lock too: once an engine has left, no frame of it is drawn.
void PanelCompositor::submit(int layer, GstSample* sample) {
    const std::lock_guard hold(lock_);
    auto found = layers_.find(layer);
    if (found == layers_.end()) {
        return;
    }
    if (found->second.latest != nullptr) {
        gst_sample_unref(found->second.latest);
    }
    found->second.latest = gst_sample_ref(sample);
    const auto now = FadeRamp::Clock::now();
    if (found->second.shownAt == 0 || !leadsOrLeaderIsLate(layer, now)) {
        return;
    }
    lastSum_ = now;
    if (GstBuffer* sum = compose(now)) {
        push(sum);
    }
}

bool PanelCompositor::leadsOrLeaderIsLate(int layer, FadeRamp::Clock::time_point now) const {
    int leader = 0;
    std::uint64_t latestShow = 0;
    for (const auto& [id, candidate] : layers_) {
        if (candidate.shownAt > latestShow) {
            latestShow = candidate.shownAt;
            leader = id;
        }
    }
    return layer == leader || now - lastSum_ > kLeaderLate;
}

// Behind lock_. A single whole picture that covers the panel goes up as it is.
GstBuffer* PanelCompositor::compose(FadeRamp::Clock::time_point now) {
    struct Mapped {
        GstVideoFrame frame;
        WeightedPicture picture;
    };
    std::vector<Mapped> mapped;
    for (auto& [id, layer] : layers_) {
        const int weight = FixedWeight(layer.ramp.weightAt(now));
        GstVideoInfo info;
        if (layer.shownAt == 0 || layer.latest == nullptr || weight <= 0 ||
            !gst_video_info_from_caps(&info, gst_sample_get_caps(layer.latest))) {
            continue;
        }
        Mapped entry{};
        if (!gst_video_frame_map(&entry.frame, &info, gst_sample_get_buffer(layer.latest),
                                 GST_MAP_READ)) {
            continue;
        }
        entry.picture = {
            static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&entry.frame, 0)),
            GST_VIDEO_FRAME_PLANE_STRIDE(&entry.frame, 0),
            GST_VIDEO_FRAME_WIDTH(&entry.frame),
            GST_VIDEO_FRAME_HEIGHT(&entry.frame),
            layer.drawn.x,
            layer.drawn.y,
            weight};
        mapped.push_back(entry);
    }
    GstBuffer* sum = nullptr;
    const auto bytes = static_cast<gsize>(width_) * static_cast<gsize>(height_) * 4;
    if (mapped.size() == 1 && mapped[0].picture.weight >= 256 && mapped[0].picture.x == 0 &&
        mapped[0].picture.y == 0 && mapped[0].picture.width == width_ &&
        mapped[0].picture.height == height_ && mapped[0].picture.stride == width_ * 4) {
        sum = gst_buffer_ref(mapped[0].frame.buffer);
    } else if (bytes > 0) {
        std::vector<WeightedPicture> pictures;
        for (const Mapped& entry : mapped) {
            pictures.push_back(entry.picture);
        }
        sum = freeSumBuffer(bytes);
        GstMapInfo out;
        if (gst_buffer_map(sum, &out, GST_MAP_WRITE)) {
            ComposeOverBlack(out.data, width_ * 4, width_, height_, pictures);
            gst_buffer_unmap(sum, &out);
        }
        if (std::find(sumBuffers_.begin(), sumBuffers_.end(), sum) != sumBuffers_.end()) {
            gst_buffer_ref(sum);
        }
    }
    for (Mapped& entry : mapped) {
        gst_video_frame_unmap(&entry.frame);
    }
    if (sum != nullptr && source_ != nullptr &&
        (width_ != pushedWidth_ || height_ != pushedHeight_)) {
        GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width",
                                            G_TYPE_INT, width_, "height", G_TYPE_INT, height_,
                                            "framerate", GST_TYPE_FRACTION, 0, 1,
                                            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
        gst_app_src_set_caps(GST_APP_SRC(source_), caps);
        gst_caps_unref(caps);
        pushedWidth_ = width_;
        pushedHeight_ = height_;
    }
    return sum;
}

// A frame's worth of memory is not taken from the system 30 times a second: the sums' buffers
// are used again once the X output has let go of them.
// Written while only this list holds it (a buffer of two holders cannot be written), then
// handed on with a reference of its own.
GstBuffer* PanelCompositor::freeSumBuffer(gsize bytes) {
    for (GstBuffer* buffer : sumBuffers_) {
        if (GST_MINI_OBJECT_REFCOUNT_VALUE(buffer) == 1 && gst_buffer_get_size(buffer) == bytes) {
            return buffer;
        }
    }
    GstBuffer* made = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    if (sumBuffers_.size() < kSumBuffers) {
        sumBuffers_.push_back(made);
        return made;
    }
    // A new size: the old ones go as they come free.
    auto stale = std::find_if(sumBuffers_.begin(), sumBuffers_.end(), [&](GstBuffer* kept) {
        return gst_buffer_get_size(kept) != bytes && GST_MINI_OBJECT_REFCOUNT_VALUE(kept) == 1;
    });
    if (stale != sumBuffers_.end()) {
        gst_buffer_unref(*stale);
        *stale = made;
        return made;
    }
    return made;  // all in use: this one goes when the X output is done with it
}

bool PanelCompositor::hasLayers() {
    const std::lock_guard hold(lock_);
    return !layers_.empty();
}

void PanelCompositor::push(GstBuffer* frame) {
    if (source_ == nullptr) {
        keepForPainting(frame);
        return;
    }
    gst_app_src_push_buffer(GST_APP_SRC(source_), frame);  // takes it
}

// GTK has drawn the panel (mapped, uncovered): the last sum goes up again once that is done,
// while an engine draws here. With none (the saver gone dark, the panel hidden and shown
// again) the picture of before does not come back.
int PanelCompositor::PanelDrawn(void* /*widget*/, void* /*cairo*/, void* self) {
    auto& compositor = *static_cast<PanelCompositor*>(self);
    if (compositor.redrawSource_ == 0) {
        compositor.redrawSource_ = g_idle_add(
            +[](gpointer data) -> gboolean {
                auto& waiting = *static_cast<PanelCompositor*>(data);
                waiting.redrawSource_ = 0;
                if (waiting.panel_ != nullptr && waiting.hasLayers()) {
                    gdk_display_flush(
                        gtk_widget_get_display(static_cast<GtkWidget*>(waiting.panel_)));
                    gst_video_overlay_expose(GST_VIDEO_OVERLAY(waiting.sink_));
                }
                return G_SOURCE_REMOVE;
            },
            &compositor);
    }
    return FALSE;
}

}  // namespace morvel::linux_backend
