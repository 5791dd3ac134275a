#include "platform/win32/media_engines.h"

#include <mmsystem.h>

#include <algorithm>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/mp4_picture.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// MCI has no device for the file's type: its refusal says nothing about the file itself.
bool NoDeviceForType(std::uint32_t code) {
    return code == MCIERR_EXTENSION_NOT_FOUND || code == MCIERR_INVALID_DEVICE_NAME ||
           code == MCIERR_CANNOT_LOAD_DRIVER || code == MCIERR_UNRECOGNIZED_COMMAND ||
           code == MCIERR_UNSUPPORTED_FUNCTION;
}

// The file's short name, where the volume keeps one; empty where it has none.
std::string ShortPathOf(const std::string& file) {
    const std::wstring path = Widen(file);
    const DWORD length = path.empty() ? 0 : GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring shortPath(length, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), shortPath.data(), length);
    shortPath.resize(written < length ? written : 0);
    return Narrow(shortPath);
}

// Some MCI devices (Wine's) open their file through the ANSI code page and do not find a
// name beyond it; its short name, which keeps to ASCII, reaches the same file.
std::uint32_t OpenThroughMci(MciEngine& mci, const std::string& file, bool wait) {
    const std::uint32_t result = mci.open(file, wait);
    if (result != MCIERR_FILE_NOT_FOUND) {
        return result;
    }
    const std::string shortPath = ShortPathOf(file);
    return shortPath.empty() || shortPath == file ? result : mci.open(shortPath, wait);
}

// MCI opens an .avi file on its AVI device, whose pictures can be blended (Wine's Media
// Foundation has no decoder for Video 1 AVI files); its other devices' cannot.
bool OnMciAviDevice(const std::string& file) {
    const std::size_t dot = file.find_last_of('.');
    return dot != std::string::npos && lstrcmpiA(file.substr(dot).c_str(), ".avi") == 0;
}

// An engine's frame, a texture of the windows' device, composed into its window.
void ComposeFrame(const EngineFrame& frame) {
    D3dLayer layer;
    layer.texture = frame.texture;
    layer.place = frame.place;
    layer.weight = std::clamp(frame.weight, 0.0, 1.0);
    D3dPanels::Show(reinterpret_cast<HWND>(frame.window), frame.engine,
                    std::span<const D3dLayer>(&layer, 1));
}

}  // namespace

std::uint32_t ChoosingEngine::open(const std::string& file, bool wait) {
    if (!onMci()) {
        current_->close(true);
        current_ = &mci_;
    }
    file_ = file;
    placed_.reset();
    mirrorsPlaced_.clear();
    fading_.reset();
    audible_ = true;
    volume_ = 100;
    playing_ = false;
    for (const HWND window : framedWindows()) {
        D3dPanels::Prepare(window);
    }
    // A window the graphics card composes shows only pictures handed over as frames: as for
    // blending, MCI keeps only the AVI device, whose frames its pump hands over.
    const bool frames = blending_ || D3dPanels::Wanted();
    mci_.preferBlending(frames);
    for (MciMirror& mirror : mciMirrors_) {
        mirror.engine->preferBlending(frames);
    }
    // Media Foundation's answer, where it was asked first.
    std::optional<std::uint32_t> foundation;
    if (frames && !OnMciAviDevice(file)) {
        if (allComposed() && openOnMediaEngine(file, wait) == 0) {
            return 0;
        }
        foundation = openOnFoundation(file, wait);
        if (*foundation == 0) {
            return 0;
        }
    }
    // MCI cannot turn a picture: a file that asks for a turn goes to Media Foundation.
    const bool turned = ReadMp4PictureOfFile(file).rotation != 0;
    const std::uint32_t refused =
        turned ? MCIERR_UNSUPPORTED_FUNCTION : OpenThroughMci(mci_, file, wait);
    if (refused == 0) {
        const std::uint32_t mirrored = openMciMirrors(file, wait);
        if (mirrored != 0) {
            close(true);
        }
        return mirrored;
    }
    const std::uint32_t result = foundation ? *foundation : openOnFoundation(file, wait);
    if (result == 0) {
        return 0;
    }
    // A device that knows the type speaks best about why the file did not open; else Media
    // Foundation does, also when the system has none (kFoundationMissing).
    return NoDeviceForType(refused) ? result : refused;
}

std::uint32_t ChoosingEngine::openOnFoundation(const std::string& file, bool wait) {
    if (!foundation_) {
        foundation_ = std::make_unique<MfEngine>(foundationImports_);
        for (const MciMirror& mirror : mciMirrors_) {
            foundation_->addMirror(mirror.display);
        }
    }
    // Told before it opens: it keeps the picture there while it opens.
    if (display_ != 0) {
        foundation_->setWindow(display_);
    }
    const std::uint32_t result = foundation_->open(file, wait);
    if (result == 0) {
        current_ = foundation_.get();
    }
    return result;
}

std::uint32_t ChoosingEngine::openOnMediaEngine(const std::string& file, bool wait) {
    if (!media_) {
        media_ = std::make_unique<MeEngine>(foundationImports_, ComposeFrame);
        for (const MciMirror& mirror : mciMirrors_) {
            media_->addMirror(mirror.display);
        }
    }
    media_->setWindow(display_);
    const std::uint32_t result = media_->open(file, wait);
    if (result == 0) {
        current_ = media_.get();
    }
    return result;
}

std::uint32_t ChoosingEngine::handOver(std::uint32_t ms) {
    media_->close(true);
    releaseFramedWindows();
    current_ = &mci_;
    std::uint32_t result = openOnFoundation(file_, true);
    if (result != 0) {
        return result;
    }
    for (const auto& [mirror, rect] : mirrorsPlaced_) {
        foundation_->putMirror(mirror, rect);
    }
    if (placed_) {
        foundation_->put(*placed_);
    }
    foundation_->setAudible(audible_);
    foundation_->setVolume(volume_);
    if (fading_) {
        foundation_->fade(fading_->from, fading_->to, fading_->durationMs);
    }
    result = ms == 0 ? 0 : foundation_->seek(ms);
    if (result == 0 && playing_) {
        result = foundation_->play();
    }
    return result;
}

std::vector<HWND> ChoosingEngine::framedWindows() const {
    std::vector<HWND> windows{reinterpret_cast<HWND>(display_)};
    for (const MciMirror& mirror : mciMirrors_) {
        windows.push_back(reinterpret_cast<HWND>(mirror.display));
    }
    return windows;
}

bool ChoosingEngine::allComposed() const {
    const std::vector<HWND> windows = framedWindows();
    return std::all_of(windows.begin(), windows.end(), D3dPanels::WillCompose);
}

void ChoosingEngine::releaseFramedWindows() {
    for (const HWND window : framedWindows()) {
        D3dPanels::Release(window, media_.get());
    }
}

// Only the first device is heard: two sound tracks never play at once.
std::uint32_t ChoosingEngine::openMciMirrors(const std::string& file, bool wait) {
    for (MciMirror& mirror : mciMirrors_) {
        MciEngine& engine = *mirror.engine;
        std::uint32_t result = OpenThroughMci(engine, file, wait);
        if (result == 0 && engine.hasVideo()) {
            result = engine.setWindow(mirror.display);
        }
        if (result == 0) {
            result = engine.setAudible(false);
        }
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

std::uint32_t ChoosingEngine::put(media::VideoRect rect) {
    placed_ = rect;
    return current_->put(rect);
}

std::uint32_t ChoosingEngine::setAudible(bool audible) {
    audible_ = audible;
    return current_->setAudible(audible);
}

std::uint32_t ChoosingEngine::setVolume(int percent) {
    volume_ = percent;
    return current_->setVolume(percent);
}

std::uint32_t ChoosingEngine::setWindow(std::uintptr_t display) {
    if (display != display_) {
        D3dPanels::Prepare(reinterpret_cast<HWND>(display));
    }
    display_ = display;
    return current_->setWindow(display);
}

bool ChoosingEngine::addMirror(std::uintptr_t display) {
    int mode = media::kNotReady;
    if (current_->mode(mode) == 0 || (foundation_ && !foundation_->addMirror(display)) ||
        (media_ && !media_->addMirror(display))) {
        return false;  // a file is open
    }
    mciMirrors_.push_back(MciMirror{display, std::make_unique<MciEngine>(instance_)});
    mciMirrors_.back().engine->preferBlending(blending_);
    return true;
}

std::uint32_t ChoosingEngine::putMirror(std::size_t mirror, media::VideoRect rect) {
    mirrorsPlaced_[mirror] = rect;
    if (!onMci()) {
        return current_->putMirror(mirror, rect);
    }
    return mirror < mciMirrors_.size() ? mciMirrors_[mirror].engine->put(rect) : MCIERR_OUTOFRANGE;
}

template <typename Request>
std::uint32_t ChoosingEngine::everyDevice(Request request) {
    const std::uint32_t result = request(*current_);
    if (onMci()) {
        for (MciMirror& mirror : mciMirrors_) {
            request(*mirror.engine);
        }
    }
    return result;
}

void ChoosingEngine::preferBlending(bool blending) {
    blending_ = blending;
    mci_.preferBlending(blending);
    for (MciMirror& mirror : mciMirrors_) {
        mirror.engine->preferBlending(blending);
    }
}

// An MCI mirror may have moved to the MPEG device to be silent (see mci_engine.h): then the
// clip cannot fade on every monitor, and the program cuts.
bool ChoosingEngine::canFade() const {
    if (!current_->canFade()) {
        return false;
    }
    return !onMci() ||
           std::all_of(mciMirrors_.begin(), mciMirrors_.end(),
                       [](const MciMirror& mirror) { return mirror.engine->canFade(); });
}

std::uint32_t ChoosingEngine::fade(double from, double to, std::uint32_t durationMs) {
    fading_ = Fade{from, to, durationMs};
    return everyDevice(
        [=](media::MediaEngine& engine) { return engine.fade(from, to, durationMs); });
}

std::uint32_t ChoosingEngine::seek(std::uint32_t ms) {
    if (onMediaEngine()) {
        return media_->seek(ms) == 0 ? 0 : handOver(ms);
    }
    return everyDevice([ms](media::MediaEngine& engine) { return engine.seek(ms); });
}

std::uint32_t ChoosingEngine::play() {
    const std::uint32_t result =
        everyDevice([](media::MediaEngine& engine) { return engine.play(); });
    playing_ = result == 0;
    progress_.restart(media::ProgressWatch::Clock::now());
    return result;
}

std::uint32_t ChoosingEngine::stop(bool wait) {
    playing_ = false;
    return everyDevice([wait](media::MediaEngine& engine) { return engine.stop(wait); });
}

std::uint32_t ChoosingEngine::pause() {
    playing_ = false;
    return everyDevice([](media::MediaEngine& engine) { return engine.pause(); });
}

std::uint32_t ChoosingEngine::resume() {
    playing_ = true;
    progress_.restart(media::ProgressWatch::Clock::now());
    return everyDevice([](media::MediaEngine& engine) { return engine.resume(); });
}

std::uint32_t ChoosingEngine::close(bool wait) {
    if (onMediaEngine()) {
        releaseFramedWindows();
    }
    playing_ = false;
    return everyDevice([wait](media::MediaEngine& engine) { return engine.close(wait); });
}

// The clip plays on while any of its devices does: a mirror that started a moment later
// shows its last frames too.
std::uint32_t ChoosingEngine::mode(int& mode) {
    if (onMediaEngine()) {
        watchMediaEngine();
    }
    const std::uint32_t result = current_->mode(mode);
    if (result != 0 || mode != media::kStopped || !onMci()) {
        return result;
    }
    for (MciMirror& mirror : mciMirrors_) {
        int mirrorMode = media::kNotReady;
        if (mirror.engine->mode(mirrorMode) == 0 && mirrorMode == media::kPlaying) {
            mode = media::kPlaying;
        }
    }
    return result;
}

void ChoosingEngine::watchMediaEngine() {
    std::uint32_t ms = 0;
    media_->position(ms);
    if (!allComposed()) {
        handOver(ms);
        return;
    }
    int now = media::kNotReady;
    if (!playing_ || media_->mode(now) != 0 || now != media::kPlaying) {
        return;
    }
    std::uint32_t length = 0;
    media_->length(length);
    switch (progress_.look(ms, length, media::ProgressWatch::Clock::now())) {
        case media::ProgressWatch::Verdict::Ended:
            media_->stop(true);
            break;
        case media::ProgressWatch::Verdict::Stalled:
            handOver(ms);
            break;
        case media::ProgressWatch::Verdict::Moving:
            break;
    }
}

std::optional<std::string> ChoosingEngine::errorText(std::uint32_t code) {
    // Media Foundation's failures are HRESULTs, with the high bit set; MCI's codes are small.
    if ((code & 0x80000000u) != 0) {
        return FoundationErrorText(code);
    }
    return mci_.errorText(code);
}

}  // namespace morvel::win32
