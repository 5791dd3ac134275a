#include "platform/linux/gst_engine.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gst/video/videooverlay.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdint>
#include <utility>

namespace morvel::linux_backend {

namespace {

constexpr GstClockTime kPrerollTimeout = 15 * GST_SECOND;
// The streaming thread may post its error just after the state change has failed.
constexpr std::chrono::milliseconds kErrorWait{1000};
// Long enough for a disk or share that answers at all; short enough that a key pressed
// meanwhile still ends the saver within a second.
constexpr std::chrono::milliseconds kPathPatience{500};
constexpr const char* kCannotPlay = "The file cannot be played.";
// playbin's "native-video" flag: no converter and scaler of its own in front of the sink.
constexpr guint kNativeVideoFlag = 1u << 6;

}  // namespace

GstEngine::~GstEngine() {
    followPanel(nullptr);
    releasePipeline();
    dropPicture();
    if (placeholder_ != 0) {
        if (Display* display = XDisplay()) {
            XDestroyWindow(display, placeholder_);
        }
    }
}

// Only the latest error is kept: a caller asks for the text of the result it has just had.
std::uint32_t GstEngine::remember(std::string text) {
    errorCode_ = nextError_;
    errorText_ = text.empty() ? kCannotPlay : std::move(text);
    nextError_ = nextError_ == UINT32_MAX ? kFirstError : nextError_ + 1;
    return errorCode_;
}

std::uint32_t GstEngine::fail(const std::string& text) {
    const std::uint32_t code = remember(text);
    releasePipeline();
    return code;
}

std::string GstEngine::failureText() {
    return report_ ? report_->waitForError(kErrorWait).value_or(kCannotPlay) : kCannotPlay;
}

void GstEngine::releasePipeline() {
    if (pipeline_) {
        if (showing_ && placeholder_ != 0) {
            // The sink paints its window black as it stops: the panel keeps the last
            // picture until the next clip's first frame replaces it.
            gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(videoSink_), placeholder_);
        }
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        report_.reset();
        pipeline_.reset();
    }
    videoSink_ = nullptr;
    scaler_ = nullptr;
    volume_ = nullptr;
    showing_ = false;
    hasVideo_ = false;
    mode_ = media::kNotReady;
}

std::uint32_t GstEngine::open(const std::string& file, bool /*wait*/) {
    releasePipeline();
    if (auto refusal = RefusalOf(file, kPathPatience)) {
        return fail(*refusal);
    }
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) {
        return fail("The playbin element is missing.");
    }
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    report_ = std::make_unique<PipelineReport>(pipeline_.get());
    GstElement* video = MakeVideoSink(&scaler_);
    if (video != nullptr) {
        // Its scaler would keep the picture's shape with black borders; ours fills the
        // rectangle instead.
        guint flags = 0;
        g_object_get(pipeline_.get(), "flags", &flags, nullptr);
        g_object_set(pipeline_.get(), "flags", flags | kNativeVideoFlag, nullptr);
        videoSink_ = static_cast<GstElement*>(g_object_get_data(G_OBJECT(video), "morvel-sink"));
        g_object_set(pipeline_.get(), "video-sink", video, nullptr);
        // Until the clip plays, its frames go to a window nobody sees: the sink paints its
        // window black as it prepares the first frame, and the panel keeps the last picture
        // of the clip before until this one's first frame replaces it.
        Display* display = XDisplay();
        if (placeholder_ == 0 && display != nullptr) {
            placeholder_ =
                XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
            XSync(display, False);  // the sink talks to the server on a connection of its own
        }
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(videoSink_), placeholder_);
    } else if (GstElement* nowhere = gst_element_factory_make("fakesink", nullptr)) {
        // Without the X output no picture is drawn, rather than one the automatic choice
        // would put in a window of its own (or on the console).
        g_object_set(pipeline_.get(), "video-sink", nowhere, nullptr);
    }
    // playbin's own mute is the sound server's mute of the stream, and a sound server that
    // restores a program's last mute gives it to the program's next streams: one silenced
    // video would silence the next clip of the one that is heard. A volume of ours in the
    // pipeline keeps the silence to this device.
    volume_ = gst_element_factory_make("volume", nullptr);
    if (volume_ != nullptr) {
        g_object_set(pipeline_.get(), "audio-filter", volume_, nullptr);
    }
    const std::string uri = FileUri(file);
    g_object_set(pipeline_.get(), "uri", uri.c_str(), nullptr);
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, kPrerollTimeout) !=
            GST_STATE_CHANGE_SUCCESS) {
        return fail(failureText());
    }
    gint videos = 0;
    g_object_get(pipeline_.get(), "n-video", &videos, nullptr);
    hasVideo_ = videos > 0;
    own_ = {};
    if (hasVideo_) {
        GstPad* pad = nullptr;
        g_signal_emit_by_name(pipeline_.get(), "get-video-pad", 0, &pad);
        if (pad != nullptr) {
            if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
                const GstStructure* format = gst_caps_get_structure(caps, 0);
                gst_structure_get_int(format, "width", &own_.right);
                gst_structure_get_int(format, "height", &own_.bottom);
                gst_caps_unref(caps);
            }
            gst_object_unref(pad);
        }
    }
    rect_ = own_;  // until told otherwise the picture has its own size, as with MCI
    mode_ = media::kStopped;
    return 0;
}

std::uint32_t GstEngine::setWindow(std::uintptr_t display) {
    if (!pipeline_) {
        return kNotOpen;
    }
    auto* widget = reinterpret_cast<GtkWidget*>(display);
    if (display == 0 || !GTK_IS_WIDGET(widget) || videoSink_ == nullptr) {
        return 0;
    }
    gtk_widget_realize(widget);
    GdkWindow* native = gtk_widget_get_window(widget);
    if (native == nullptr || !gdk_window_ensure_native(native)) {
        return 0;
    }
    followPanel(widget);
    const unsigned long panelWindow = gdk_x11_window_get_xid(native);
    if (panelWindow != window_ || picture_ == 0) {
        dropPicture();
        window_ = panelWindow;
        // The sink centres its picture in the whole window it is given: a window of ours
        // the rectangle's size, at the panel's corner, puts the picture where MCI does.
        Display* display = GDK_WINDOW_XDISPLAY(native);
        picture_ = XCreateSimpleWindow(display, window_, 0, 0, 1, 1, 0, 0,
                                       BlackPixel(display, DefaultScreen(display)));
        XMapWindow(display, picture_);
    }
    gdk_display_sync(gdk_window_get_display(native));  // the window exists on the server
    if (showing_) {
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(videoSink_), picture_);
    }
    applyRectangle();
    return 0;
}

// The panel's window takes ours with it when it goes: that destroy is then refused.
void GstEngine::dropPicture() {
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
void GstEngine::followPanel(void* widget) {
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

void GstEngine::PanelResized(void* /*widget*/, void* /*allocation*/, void* self) {
    static_cast<GstEngine*>(self)->redrawFrame();
}

int GstEngine::PanelDrawn(void* /*widget*/, void* /*cairo*/, void* self) {
    auto& engine = *static_cast<GstEngine*>(self);
    // GTK puts its drawing on the screen after the last draw handler: the frame waits.
    if (engine.redrawSource_ == 0) {
        engine.redrawSource_ = g_idle_add(
            +[](gpointer data) {
                auto& waiting = *static_cast<GstEngine*>(data);
                waiting.redrawSource_ = 0;
                waiting.redrawFrame();
                return G_SOURCE_REMOVE;
            },
            &engine);
    }
    return FALSE;
}

// The sink draws on a connection of its own: what GTK has drawn must reach the server first.
void GstEngine::redrawFrame() {
    if (videoSink_ != nullptr && panel_ != nullptr) {
        gdk_display_flush(gtk_widget_get_display(static_cast<GtkWidget*>(panel_)));
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(videoSink_));
    }
}

// The frames are scaled to the rectangle and drawn in our window, from the panel's corner.
// Before the clip plays our window keeps the clip before's size and picture.
void GstEngine::applyRectangle() {
    if (scaler_ == nullptr || rect_.right <= 0 || rect_.bottom <= 0) {
        return;
    }
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, rect_.right, "height", G_TYPE_INT,
                            rect_.bottom, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(scaler_, "caps", caps, nullptr);
    gst_caps_unref(caps);
    if (!showing_) {
        return;
    }
    if (Display* display = XDisplay(); display != nullptr && picture_ != 0) {
        XMoveResizeWindow(display, picture_, 0, 0, static_cast<unsigned>(rect_.right),
                          static_cast<unsigned>(rect_.bottom));
        XSync(display, False);  // before the sink, on a connection of its own, looks at it
    }
    gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(videoSink_), 0, 0, rect_.right,
                                           rect_.bottom);
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(videoSink_));
}

std::uint32_t GstEngine::put(media::VideoRect rect) {
    if (!pipeline_) {
        return kNotOpen;
    }
    rect_ = rect.right == 0 && rect.bottom == 0 ? own_ : rect;
    applyRectangle();
    if (!showing_ && scaler_ != nullptr && rect_ != own_) {
        // The first frame was prepared at the video's own size: prepared again at this one,
        // it goes up whole the moment the clip plays.
        decodeAgain();
    }
    return 0;
}

std::uint32_t GstEngine::where(media::VideoRect& rect) {
    if (!pipeline_) {
        return kNotOpen;
    }
    rect = rect_;
    return 0;
}

std::uint32_t GstEngine::setAudible(bool audible) {
    if (!pipeline_) {
        return kNotOpen;
    }
    gboolean muted = FALSE;
    g_object_get(muteTarget(), "mute", &muted, nullptr);
    if ((muted != FALSE) != audible) {
        return 0;  // as it is already: nothing to decode again
    }
    g_object_set(muteTarget(), "mute", !audible, nullptr);
    gint sounds = 0;
    g_object_get(pipeline_.get(), "n-audio", &sounds, nullptr);
    if (sounds > 0 && volume_ != nullptr) {
        decodeAgain();
    }
    return 0;
}

// Without the volume element the server's mute is better than sound that should not be.
GObject* GstEngine::muteTarget() const {
    return volume_ != nullptr ? G_OBJECT(volume_) : G_OBJECT(pipeline_.get());
}

// What the opening decoded has passed the volume and the scaler already: a second of sound
// would still be heard, and the first frame has the size it had. Flushed and decoded again
// from where the device is, it goes through both as they now are. Should that fail, only
// that second of sound, or the first frame's size, is wrong.
void GstEngine::decodeAgain() {
    gint64 position = 0;
    if (!gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &position)) {
        position = 0;
    }
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME, flags, position)) {
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, kPrerollTimeout);
    }
}

std::uint32_t GstEngine::play() {
    if (!pipeline_) {
        return kNotOpen;
    }
    showInPanel();
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return remember(failureText());
    }
    mode_ = media::kPlaying;
    return 0;
}

// The sink moves from the hidden window to ours and draws the first frame there at once, over
// the last picture of the clip before.
void GstEngine::showInPanel() {
    if (showing_ || videoSink_ == nullptr || picture_ == 0) {
        return;
    }
    showing_ = true;
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(videoSink_), picture_);
    applyRectangle();
}

std::uint32_t GstEngine::stop(bool /*wait*/) {
    if (!pipeline_) {
        return kNotOpen;
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        return remember(failureText());
    }
    mode_ = media::kStopped;
    return 0;
}

std::uint32_t GstEngine::pause() {
    if (!pipeline_) {
        return kNotOpen;
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        return remember(failureText());
    }
    mode_ = media::kPaused;
    return 0;
}

std::uint32_t GstEngine::resume() {
    if (!pipeline_) {
        return kNotOpen;
    }
    if (mode_ != media::kPaused) {
        return play();
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return remember(failureText());
    }
    mode_ = media::kPlaying;
    return 0;
}

std::uint32_t GstEngine::close(bool /*wait*/) {
    if (!pipeline_) {
        return kNotOpen;
    }
    releasePipeline();
    return 0;
}

// The end of the stream, or an error while playing, leaves the device stopped; the error
// is told once, by the mode that finds it.
std::uint32_t GstEngine::mode(int& mode) {
    if (!pipeline_) {
        return kNotOpen;
    }
    PipelineEvents events = report_->take();
    if (events.ended || events.error) {
        mode_ = media::kStopped;
    }
    mode = mode_;
    return events.error ? remember(std::move(*events.error)) : 0;
}

std::optional<std::string> GstEngine::errorText(std::uint32_t code) {
    if (code == kNotOpen) {
        return std::string("The specified device is not open or is not recognized by MCI.");
    }
    if (code == 0 || code != errorCode_) {
        return std::nullopt;
    }
    return errorText_;
}

}  // namespace morvel::linux_backend
