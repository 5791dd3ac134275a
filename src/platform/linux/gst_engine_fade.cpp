// The GStreamer engine's clip length, seeking, volume and fades.
#include <algorithm>

#include "platform/linux/gst_engine.h"

namespace morvel::linux_backend {

namespace {

constexpr GstClockTime kSeekTimeout = 15 * GST_SECOND;
// The sound's pace through a fade: finer than the ear follows.
constexpr guint kVolumeStepMs = 20;

std::uint32_t Milliseconds(gint64 time) {
    return time <= 0 ? 0u
                     : static_cast<std::uint32_t>(std::min<gint64>(time / GST_MSECOND, UINT32_MAX));
}

}  // namespace

std::uint32_t GstEngine::length(std::uint32_t& ms) {
    ms = 0;
    if (!pipeline_) {
        return kNotOpen;
    }
    gint64 duration = 0;
    if (gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &duration)) {
        ms = Milliseconds(duration);
    }
    return 0;
}

std::uint32_t GstEngine::position(std::uint32_t& ms) {
    ms = 0;
    if (!pipeline_) {
        return kNotOpen;
    }
    gint64 at = 0;
    if (gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &at)) {
        ms = Milliseconds(at);
    }
    return 0;
}

// Flushed and decoded again from the key frame before `ms` to the frame there; the pipeline
// is paused, so the wait ends when that frame (and the sound there) is ready, at the
// windows' sizes of now.
std::uint32_t GstEngine::seek(std::uint32_t ms) {
    if (!pipeline_) {
        return kNotOpen;
    }
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME, flags,
                                 static_cast<gint64>(ms) * GST_MSECOND)) {
        return remember("The device cannot move to that position.");
    }
    if (gst_element_get_state(pipeline_.get(), nullptr, nullptr, kSeekTimeout) ==
        GST_STATE_CHANGE_FAILURE) {
        return remember(failureText());
    }
    for (const auto& output : outputs_) {
        output->markPrepared();
    }
    soundStale_ = false;
    return 0;
}

std::uint32_t GstEngine::setVolume(int percent) {
    if (!pipeline_) {
        return kNotOpen;
    }
    volumePercent_ = std::clamp(percent, 0, 100);
    applyVolume();
    return 0;
}

std::uint32_t GstEngine::fade(double from, double to, std::uint32_t durationMs) {
    if (!canFade()) {
        return media::kUnsupportedRequest;
    }
    ramp_.start(from, to, durationMs, FadeRamp::Clock::now());
    for (const auto& output : outputs_) {
        output->fade(ramp_);
    }
    applyVolume();
    stopVolumeRamp();
    if (!ramp_.doneAt(FadeRamp::Clock::now())) {
        rampSource_ = g_timeout_add(
            kVolumeStepMs,
            +[](gpointer self) -> gboolean {
                auto& engine = *static_cast<GstEngine*>(self);
                engine.applyVolume();
                if (engine.ramp_.doneAt(FadeRamp::Clock::now())) {
                    engine.rampSource_ = 0;
                    return G_SOURCE_REMOVE;
                }
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    return 0;
}

// Before the clip plays, sound decoded at the level before would still be heard first: play
// decodes it again (see decodeAgain).
void GstEngine::applyVolume() {
    if (volume_ == nullptr) {
        return;
    }
    const double level = volumePercent_ / 100.0 * ramp_.weightAt(FadeRamp::Clock::now());
    gdouble current = 1.0;
    g_object_get(volume_, "volume", &current, nullptr);
    if (current == level) {
        return;
    }
    g_object_set(volume_, "volume", level, nullptr);
    gint sounds = 0;
    g_object_get(pipeline_.get(), "n-audio", &sounds, nullptr);
    if (!played_ && sounds > 0) {
        soundStale_ = true;
    }
}

void GstEngine::stopVolumeRamp() {
    if (rampSource_ != 0) {
        g_source_remove(rampSource_);
        rampSource_ = 0;
    }
}

}  // namespace morvel::linux_backend
