#include "platform/linux/gst_engine.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
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

GstEngine::GstEngine() {
    outputs_.push_back(std::make_unique<VideoOutput>());
}

GstEngine::~GstEngine() {
    releasePipeline();
    outputs_.clear();
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
    for (const auto& output : outputs_) {
        output->leaveBranch(placeholder_);
    }
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        report_.reset();
        pipeline_.reset();
    }
    stopVolumeRamp();
    volume_ = nullptr;
    volumePercent_ = 100;
    ramp_ = {};
    openBlending_ = false;
    soundStale_ = false;
    hasVideo_ = false;
    leadPlaced_ = false;
    played_ = false;
    mode_ = media::kNotReady;
}

bool GstEngine::blendingNow() const {
    return blending_ || XDisplay() == nullptr;
}

// Until the clip plays, its frames go to a window nobody sees: the sink paints its window
// black as it prepares the first frame, and the panel keeps the last picture of the clip
// before until this one's first frame replaces it.
GstElement* GstEngine::makeVideoSink() {
    Display* display = XDisplay();
    if (placeholder_ == 0 && display != nullptr) {
        placeholder_ =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XSync(display, False);  // the sink talks to the server on a connection of its own
    }
    std::vector<GstElement*> branches;
    for (const auto& output : outputs_) {
        branches.push_back(output->makeBranch(outputs_.size() > 1, placeholder_, blendingNow()));
    }
    GstElement* sink = JoinBranches(branches);
    if (sink == nullptr) {
        for (const auto& output : outputs_) {
            output->leaveBranch(0);
        }
    }
    return sink;
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
    if (GstElement* video = makeVideoSink()) {
        // Its scaler would keep the picture's shape with black borders; ours fills the
        // rectangle instead.
        guint flags = 0;
        g_object_get(pipeline_.get(), "flags", &flags, nullptr);
        g_object_set(pipeline_.get(), "flags", flags | kNativeVideoFlag, nullptr);
        g_object_set(pipeline_.get(), "video-sink", video, nullptr);
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
    openBlending_ = blendingNow();
    readOwnSize();
    mode_ = media::kStopped;
    return 0;
}

namespace {

// The turn a file's orientation tag asks for. A mirrored one (flip-rotate-N: mirrored,
// then turned N degrees) is given its turn alone: upright, but left and right swapped.
int RotationOf(const gchar* orientation) {
    if (orientation == nullptr) {
        return 0;
    }
    const std::string text = orientation;
    for (const int degrees : {90, 180, 270}) {
        const std::string turn = std::to_string(degrees);
        if (text == "rotate-" + turn || text == "flip-rotate-" + turn) {
            return degrees;
        }
    }
    return 0;
}

}  // namespace

// Until told otherwise the picture has its own size in every window, as with MCI. The tags
// travel in front of the first frame: by the end of the preroll the stream's are known.
void GstEngine::readOwnSize() {
    gint videos = 0;
    g_object_get(pipeline_.get(), "n-video", &videos, nullptr);
    hasVideo_ = videos > 0;
    own_ = {};
    shape_ = {0, 0, 1, 1, 0};
    if (hasVideo_) {
        GstPad* pad = nullptr;
        g_signal_emit_by_name(pipeline_.get(), "get-video-pad", 0, &pad);
        if (pad != nullptr) {
            if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
                const GstStructure* format = gst_caps_get_structure(caps, 0);
                gst_structure_get_int(format, "width", &own_.right);
                gst_structure_get_int(format, "height", &own_.bottom);
                gint num = 1;
                gint den = 1;
                if (gst_structure_get_fraction(format, "pixel-aspect-ratio", &num, &den) &&
                    num > 0 && den > 0) {
                    shape_.pixelAspectNum = num;
                    shape_.pixelAspectDen = den;
                }
                gst_caps_unref(caps);
            }
            gst_object_unref(pad);
        }
        GstTagList* tags = nullptr;
        g_signal_emit_by_name(pipeline_.get(), "get-video-tags", 0, &tags);
        if (tags != nullptr) {
            gchar* orientation = nullptr;
            if (gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation)) {
                shape_.rotation = RotationOf(orientation);
                g_free(orientation);
            }
            gst_tag_list_unref(tags);
        }
    }
    shape_.width = own_.right;
    shape_.height = own_.bottom;
    for (std::size_t index = 0; index < outputs_.size(); ++index) {
        outputs_[index]->startAt(own_);
        if (index > 0 && hasVideo_) {
            outputs_[index]->attach(outputs_[index]->display());
        }
    }
}

std::uint32_t GstEngine::setWindow(std::uintptr_t display) {
    if (!pipeline_) {
        return kNotOpen;
    }
    if (outputs_.front()->hasBranch()) {
        outputs_.front()->attach(display);
    }
    return 0;
}

std::uint32_t GstEngine::put(media::VideoRect rect) {
    if (!pipeline_) {
        return kNotOpen;
    }
    outputs_.front()->setRect(rect.right == 0 && rect.bottom == 0 ? own_ : rect);
    leadPlaced_ = true;
    prepareAgainIfStale();
    return 0;
}

bool GstEngine::addMirror(std::uintptr_t display) {
    if (pipeline_ || display == 0) {
        return false;
    }
    outputs_.push_back(std::make_unique<VideoOutput>(display));
    return true;
}

std::uint32_t GstEngine::putMirror(std::size_t mirror, media::VideoRect rect) {
    if (!pipeline_) {
        return kNotOpen;
    }
    if (mirror + 1 >= outputs_.size()) {
        return media::kUnsupportedRequest;
    }
    outputs_[mirror + 1]->setRect(rect.right == 0 && rect.bottom == 0 ? own_ : rect);
    if (leadPlaced_) {
        prepareAgainIfStale();  // else the device's own put does it for every window at once
    }
    return 0;
}

// The first frame was made at the sizes of the open: made again at these, it goes up whole
// the moment the clip plays.
void GstEngine::prepareAgainIfStale() {
    const bool stale = std::any_of(outputs_.begin(), outputs_.end(), [](const auto& output) {
        return output->hasBranch() && output->stale();
    });
    if (!played_ && stale) {
        decodeAgain();
    }
}

std::uint32_t GstEngine::where(media::VideoRect& rect) {
    if (!pipeline_) {
        return kNotOpen;
    }
    rect = outputs_.front()->rect();
    return 0;
}

std::uint32_t GstEngine::describe(media::VideoShape& shape) {
    if (!pipeline_) {
        return kNotOpen;
    }
    shape = shape_;
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
        for (const auto& output : outputs_) {
            output->markPrepared();
        }
        soundStale_ = false;
    }
}

std::uint32_t GstEngine::play() {
    if (!pipeline_) {
        return kNotOpen;
    }
    prepareAgainIfStale();  // played with no put (the preview): the first frame is made now
    if (soundStale_ && !played_) {
        decodeAgain();
    }
    played_ = true;
    for (const auto& output : outputs_) {
        output->show();
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return remember(failureText());
    }
    mode_ = media::kPlaying;
    return 0;
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
