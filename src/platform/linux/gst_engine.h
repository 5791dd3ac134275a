// The media engine on GStreamer: one playbin per open file, drawing into the panel's X window
// and into its mirrors', or, when its pictures are to be blended, into their compositors.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

#include "media/media_engine.h"
#include "platform/linux/gst_bus.h"
#include "platform/linux/gst_compositor.h"
#include "platform/linux/gst_output.h"
#include "platform/linux/gst_pipeline.h"

namespace morvel::linux_backend {

class GstEngine final : public media::MediaEngine {
  public:
    GstEngine();
    ~GstEngine() override;
    GstEngine(const GstEngine&) = delete;
    GstEngine& operator=(const GstEngine&) = delete;

    // Opens and waits until the first frame is ready, so that the video's own size is known
    // and a file GStreamer cannot play fails here, with its error text. A path that is no
    // file, or that does not answer, fails at once (see RefusalOf).
    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override { return hasVideo_; }
    // `display` is the handle of the control to draw in (its widget).
    std::uint32_t setWindow(std::uintptr_t display) override;
    // Before the clip plays, a rectangle that differs from the one the first frame was made
    // at has it made again (the mirrors' too), so that it goes up whole at play.
    std::uint32_t put(media::VideoRect rect) override;
    // One decoding, converted once, drawn into every window through a branch each.
    bool addMirror(std::uintptr_t display) override;
    std::uint32_t putMirror(std::size_t mirror, media::VideoRect rect) override;
    // Silenced by a volume of our own in front of the sound output (see open).
    std::uint32_t setAudible(bool audible) override;
    std::uint32_t where(media::VideoRect& rect) override;
    std::uint32_t describe(media::VideoShape& shape) override;
    std::uint32_t length(std::uint32_t& ms) override;
    std::uint32_t position(std::uint32_t& ms) override;
    // Exact to the frame: the first frame shown is the one at `ms`.
    std::uint32_t seek(std::uint32_t ms) override;
    // The volume element's level: its share and the fade's weight multiplied.
    std::uint32_t setVolume(int percent) override;
    // The next opens draw through the panels' compositors (see VideoOutput).
    void preferBlending(bool blending) override { blending_ = blending; }
    bool canFade() const override { return pipeline_ != nullptr && openBlending_; }
    // The compositors weigh each frame as it comes; the sound follows on a timer.
    std::uint32_t fade(double from, double to, std::uint32_t durationMs) override;
    std::uint32_t play() override;  // returns at once
    std::uint32_t stop(bool wait) override;
    std::uint32_t pause() override;
    std::uint32_t resume() override;
    std::uint32_t close(bool wait) override;
    // Stopped after the end of the stream, and after an error, which the first mode after it
    // returns as its result code (the mode is then stopped too).
    std::uint32_t mode(int& mode) override;
    // The text of the latest error only: each failure replaces the one before.
    std::optional<std::string> errorText(std::uint32_t code) override;

  private:
    std::uint32_t remember(std::string text);
    std::uint32_t fail(const std::string& text);
    std::string failureText();
    // Without an X display every frame goes through the panel's compositor, which GTK paints.
    bool blendingNow() const;
    GstElement* makeVideoSink();
    void readOwnSize();
    GObject* muteTarget() const;
    void prepareAgainIfStale();
    void decodeAgain();
    void releasePipeline();
    void applyVolume();
    void stopVolumeRamp();

    GstOwned<GstElement> pipeline_;
    std::unique_ptr<PipelineReport> report_;  // the pipeline's; goes before it
    GstElement* volume_ = nullptr;            // owned by the pipeline; its mute silences the device
    // The windows drawn in: the device's own first, then the mirrors.
    std::vector<std::unique_ptr<VideoOutput>> outputs_;
    unsigned long placeholder_ = 0;  // an unmapped X window to draw in before the clip plays
    bool leadPlaced_ = false;        // the device's own rectangle was given since the open
    bool played_ = false;            // since the open: the windows show the clip
    bool hasVideo_ = false;
    bool blending_ = false;      // preferred for the next opens
    bool openBlending_ = false;  // the open pipeline draws into the compositors
    bool soundStale_ = false;    // the sound decoded before play passed at another volume
    int volumePercent_ = 100;
    FadeRamp ramp_;
    unsigned rampSource_ = 0;  // the timer that moves the sound with the fade, while it runs
    int mode_ = media::kNotReady;
    media::VideoRect own_;         // the stored picture's size
    media::VideoShape shape_;      // see describe
    std::uint32_t errorCode_ = 0;  // the latest error
    std::string errorText_;
    std::uint32_t nextError_ = kFirstError;

    static constexpr std::uint32_t kNotOpen = 257;  // "the device is not open", as MCI has it
    static constexpr std::uint32_t kFirstError = 0x1000;
};

}  // namespace morvel::linux_backend
