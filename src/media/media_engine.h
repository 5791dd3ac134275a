// The small interface each backend implements for one playback device.
//
// An engine holds at most one open device. `MediaDevice` (media_device.h) layers the
// contract the callers rely on over it; nothing else talks to an engine. Every request
// returns the platform's result code, 0 for success.
//
// Threads: every request is made on the user-interface thread, and an engine never calls
// back into the program, so the program needs no locks. An engine may decode and draw on
// threads of its own (the GStreamer pipeline's streaming threads, Media Foundation's
// sample-grabber callbacks); it keeps what those threads share behind its own lock, and no
// frame is drawn after close() has returned. Requests that wait (open, stop and close with
// `wait`) block the user-interface thread for a bounded time; play never waits, and mode()
// reports the end of the media by polling, not by a notice to the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace morvel::media {

// Device modes as the callers see them.
enum Mode : int {
    kNotReady = 0,
    kStopped = 1,
    kPlaying = 2,
    kRecording = 3,
    kSeeking = 4,
    kPaused = 5,
    kOpen = 6,
};

// A request the device does not support, numbered as MCI numbers it.
inline constexpr std::uint32_t kUnsupportedRequest = 274;

// Where the picture goes in the window a device draws into, as MCI gives a destination:
// right and bottom are the width and height of the whole picture, left and top where its
// corner lies. A picture that reaches past the window (a fill) is cut off by it.
struct VideoRect {
    int right = 0;
    int bottom = 0;
    int left = 0;
    int top = 0;
    // Degrees clockwise the stored picture is turned before it is scaled: 0, 90, 180 or 270.
    // right x bottom is the size of the turned picture.
    int rotation = 0;
    friend bool operator==(const VideoRect&, const VideoRect&) = default;
};

// What an open clip is, as its file tells it: the stored picture's size, the shape of its
// pixels (the width of one over its height: 1/1 square, 16/11 or 8/9 on DVD and camcorder
// files) and the turn that shows it upright (a phone held upright stores its picture on its
// side). All zero for a device without video.
struct VideoShape {
    int width = 0;
    int height = 0;
    int pixelAspectNum = 1;
    int pixelAspectDen = 1;
    int rotation = 0;  // degrees clockwise: 0, 90, 180 or 270
    friend bool operator==(const VideoShape&, const VideoShape&) = default;
};

class MediaEngine {
  public:
    virtual ~MediaEngine() = default;

    // Opens `file` with automatic device selection. `wait`: the request waits for completion.
    virtual std::uint32_t open(const std::string& file, bool wait) = 0;
    // Whether the open device draws a picture; only meaningful while open.
    virtual bool hasVideo() const = 0;
    // Draws the video into the window with this handle (a platform::Handle).
    virtual std::uint32_t setWindow(std::uintptr_t display) = 0;
    // The window the next files' video will be drawn into, told before they open: an engine
    // that chooses its decoder by how the window is drawn (on the graphics card or not) can
    // choose at the open. setWindow still follows the open.
    virtual void expectWindow(std::uintptr_t /*display*/) {}
    // Destination rectangle; right and bottom 0 give the video its own size.
    virtual std::uint32_t put(VideoRect rect) = 0;
    virtual std::uint32_t where(VideoRect& rect) = 0;
    // What the open clip is (see VideoShape); where the device cannot tell the shape of its
    // pixels or its turn, square and upright. Only meaningful while open with video.
    virtual std::uint32_t describe(VideoShape& shape) = 0;
    // Mirrors: more windows (platform::Handle) the device draws its video into, from the same
    // decoding, so that another window costs drawing, not decoding. Added while no file is
    // open, a mirror serves every later open; false, and nothing changes, where the engine
    // cannot (the default: each window then needs a device of its own) or a file is open.
    virtual bool addMirror(std::uintptr_t /*display*/) { return false; }
    // The destination rectangle of a mirror, numbered from 0 in the order added; each has
    // the video's own size after an open. Made between open and play, before the device's
    // own put, which makes the first frame again for every window whose size changed.
    virtual std::uint32_t putMirror(std::size_t /*mirror*/, VideoRect /*rect*/) {
        return kUnsupportedRequest;
    }
    // Whether the open device's own sound is heard; heard after every open. Made between
    // open and play; a device without sound accepts it and does nothing.
    virtual std::uint32_t setAudible(bool audible) = 0;
    // The open clip's length and the current position, in milliseconds; a length of 0 where
    // the device cannot tell.
    virtual std::uint32_t length(std::uint32_t& ms) = 0;
    virtual std::uint32_t position(std::uint32_t& ms) = 0;
    // Moves to `ms` from the start; made between open and play, so that the first frame shown
    // is the one there.
    virtual std::uint32_t seek(std::uint32_t ms) = 0;
    // The open device's own sound at `percent` (0 to 100) of the device's full volume; every
    // open starts at 100. Made between open and play; a device without sound accepts it.
    // Never the system's volume.
    virtual std::uint32_t setVolume(int percent) = 0;
    // Made before an open: the program will fade the pictures of this engine's next files, so
    // they go to a device whose pictures can be blended where there is a choice (Windows
    // plays such a file through Media Foundation, not MCI's MPEG device).
    virtual void preferBlending(bool blending) = 0;
    // Whether the open device's picture and sound can be faded (fade): false where its
    // pictures go straight to the window. Only meaningful while open.
    virtual bool canFade() const = 0;
    // The weight of the picture over black and of the sound (times the volume) moves from
    // `from` to `to` (0 to 1) over `durationMs`, from the moment of the request, as smoothly
    // as the frames allow; a later fade replaces it, and the weight stays at `to` after.
    // Several devices drawing into one panel (or the same mirror) add up their weighted
    // pictures over black: one fading out while another fades in is a dissolve, and a
    // picture smaller than the panel has black around it. Made while open, before play or
    // while playing; kUnsupportedRequest where canFade is false.
    virtual std::uint32_t fade(double from, double to, std::uint32_t durationMs) = 0;
    // Plays from the current position with a completion notice; never waits.
    virtual std::uint32_t play() = 0;
    virtual std::uint32_t stop(bool wait) = 0;
    virtual std::uint32_t pause() = 0;
    virtual std::uint32_t resume() = 0;
    virtual std::uint32_t close(bool wait) = 0;
    virtual std::uint32_t mode(int& mode) = 0;
    // The platform's text for a result code, if it has one.
    virtual std::optional<std::string> errorText(std::uint32_t code) = 0;
};

// An engine whose devices cannot tell a clip's length, seek, set their own volume or fade:
// it refuses those requests and takes the volume as it is.
class BasicEngine : public MediaEngine {
  public:
    std::uint32_t length(std::uint32_t& ms) override {
        ms = 0;
        return kUnsupportedRequest;
    }
    std::uint32_t position(std::uint32_t& ms) override {
        ms = 0;
        return kUnsupportedRequest;
    }
    std::uint32_t seek(std::uint32_t /*ms*/) override { return kUnsupportedRequest; }
    std::uint32_t setVolume(int /*percent*/) override { return 0; }
    void preferBlending(bool /*blending*/) override {}
    bool canFade() const override { return false; }
    std::uint32_t fade(double /*from*/, double /*to*/, std::uint32_t /*durationMs*/) override {
        return kUnsupportedRequest;
    }
};

}  // namespace morvel::media
