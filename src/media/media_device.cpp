#include "media/media_device.h"

#include <utility>

namespace morvel::media {

namespace {
constexpr const char* kNotOpen = "No MCI device open";
constexpr const char* kUnknownError = "Unknown error code";
}  // namespace

MediaDevice::MediaDevice(std::unique_ptr<MediaEngine> engine, std::uintptr_t display)
    : engine_(std::move(engine)), display_(display) {}

MediaDevice::~MediaDevice() {
    if (open_) {
        engine_->close(true);
    }
}

std::uint32_t MediaDevice::record(std::uint32_t result) {
    lastResult_ = result;
    return result;
}

bool MediaDevice::takeWait() {
    const bool wait = waitNext_;
    waitNext_ = true;
    return wait;
}

void MediaDevice::requireOpen() const {
    if (!open_) {
        throw EMCIDeviceError(kNotOpen);
    }
}

void MediaDevice::Open() {
    if (open_) {
        Close();
    }
    if (display_ != 0) {
        engine_->expectWindow(display_);
    }
    if (record(engine_->open(FileName, takeWait())) != 0) {
        throw EMCIDeviceError(ErrorMessage());
    }
    open_ = true;
    hasVideo_ = engine_->hasVideo();
    if (hasVideo_ && display_ != 0) {
        record(engine_->setWindow(display_));
    }
}

void MediaDevice::Play() {
    requireOpen();
    takeWait();  // play never waits
    record(engine_->play());
}

void MediaDevice::Stop() {
    requireOpen();
    record(engine_->stop(takeWait()));
}

void MediaDevice::Pause() {
    requireOpen();
    if (Mode() == kPaused) {
        Resume();
        return;
    }
    takeWait();
    record(engine_->pause());
}

void MediaDevice::Resume() {
    requireOpen();
    takeWait();
    if (record(engine_->resume()) != 0) {
        record(engine_->play());
    }
}

void MediaDevice::Close() {
    if (record(engine_->close(takeWait())) == 0) {
        open_ = false;
        hasVideo_ = false;
    }
}

int MediaDevice::Mode() {
    if (!open_) {
        return kNotReady;
    }
    int mode = kNotReady;
    if (record(engine_->mode(mode)) != 0) {
        return kNotReady;
    }
    return mode;
}

void MediaDevice::SetDisplayRect(VideoRect rect) {
    if (open_ && hasVideo_) {
        record(engine_->put(rect));
    }
}

void MediaDevice::SetAudible(bool audible) {
    requireOpen();
    record(engine_->setAudible(audible));
}

VideoRect MediaDevice::DisplayRect() {
    VideoRect rect;
    if (open_ && hasVideo_) {
        record(engine_->where(rect));
    }
    return rect;
}

VideoShape MediaDevice::Shape() {
    VideoShape shape;
    if (open_ && hasVideo_ && record(engine_->describe(shape)) != 0) {
        shape = {};
    }
    return shape;
}

bool MediaDevice::AddMirror(std::uintptr_t display) {
    return !open_ && engine_->addMirror(display);
}

void MediaDevice::SetMirrorRect(std::size_t mirror, VideoRect rect) {
    if (open_ && hasVideo_) {
        record(engine_->putMirror(mirror, rect));
    }
}

std::uint32_t MediaDevice::Length() {
    std::uint32_t ms = 0;
    if (open_ && record(engine_->length(ms)) != 0) {
        ms = 0;
    }
    return ms;
}

std::uint32_t MediaDevice::Position() {
    std::uint32_t ms = 0;
    if (open_ && record(engine_->position(ms)) != 0) {
        ms = 0;
    }
    return ms;
}

void MediaDevice::Seek(std::uint32_t ms) {
    requireOpen();
    record(engine_->seek(ms));
}

void MediaDevice::SetVolume(int percent) {
    requireOpen();
    record(engine_->setVolume(percent));
}

void MediaDevice::PreferBlending(bool blending) {
    engine_->preferBlending(blending);
}

bool MediaDevice::CanFade() const {
    return open_ && engine_->canFade();
}

bool MediaDevice::Fade(double from, double to, std::uint32_t durationMs) {
    return open_ && record(engine_->fade(from, to, durationMs)) == 0;
}

std::string MediaDevice::ErrorMessage() {
    if (auto text = engine_->errorText(lastResult_)) {
        return *text;
    }
    return kUnknownError;
}

}  // namespace morvel::media
