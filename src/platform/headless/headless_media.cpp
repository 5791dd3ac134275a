// The scripted media engine: plays in virtual time what each file's script says; never
// parses a file.
#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <cmath>

namespace morvel::headless {

using platform::Rect;

namespace {

// Result codes and texts of the scripted media engine, numbered like the real ones.
constexpr std::uint32_t kInvalidDeviceId = 257;
constexpr std::uint32_t kUnsupportedFunction = 274;
constexpr std::uint32_t kFileNotFound = 275;

std::optional<std::string> BuiltInErrorText(std::uint32_t code) {
    switch (code) {
        case kInvalidDeviceId:
            return "Invalid device ID. Use the ID given to the device when the device was "
                   "opened.";
        case kUnsupportedFunction:
            return "The MCI device the system is using does not support the specified "
                   "command.";
        case kFileNotFound:
            return "Cannot find the specified file. Make sure the path and filename are "
                   "correct.";
        default:
            return std::nullopt;
    }
}

// One scripted playback device. Plays in virtual time; never parses a file.
class ScriptedEngine final : public media::MediaEngine {
  public:
    explicit ScriptedEngine(HeadlessPlatform& platform) : platform_(platform) {
        ++platform_.enginesAlive;
    }
    ~ScriptedEngine() override {
        if (open_) {
            platform_.misuse.push_back("media engine destroyed while open: " + file_);
        }
        --platform_.enginesAlive;
    }

    std::uint32_t open(const std::string& file, bool wait) override {
        platform_.opens.push_back({file, wait, platform_.now(), expectedWindow_});
        if (open_) {
            platform_.misuse.push_back("open on an open engine: " + file);
        }
        auto scripted = platform_.media.find(file);
        if (scripted == platform_.media.end()) {
            if (!platform_.fileExists(file)) {
                return kFileNotFound;
            }
            script_ = MediaScript{};
        } else {
            script_ = scripted->second;
        }
        if (script_.openError != 0) {
            openErrorText_ = script_.openErrorText;
            return script_.openError;
        }
        open_ = true;
        file_ = file;
        positionMs_ = 0;
        playing_ = false;
        paused_ = false;
        display_ = 0;
        destination_ = own();
        for (Mirror& mirror : mirrors_) {
            mirror.destination = own();
        }
        return 0;
    }
    void expectWindow(std::uintptr_t display) override { expectedWindow_ = display; }
    bool hasVideo() const override { return open_ && script_.hasVideo; }
    std::uint32_t setWindow(std::uintptr_t display) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        display_ = display;
        return 0;
    }
    std::uint32_t setAudible(bool audible) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        platform_.mediaRequests.push_back((audible ? "audible " : "silent ") + file_);
        return 0;
    }
    std::uint32_t put(media::VideoRect rect) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        destination_ = rect.right == 0 && rect.bottom == 0 ? own() : rect;
        return 0;
    }
    bool addMirror(std::uintptr_t display) override {
        if (!platform_.mediaMirrors || open_) {
            return false;
        }
        mirrors_.push_back({display, {}});
        return true;
    }
    std::uint32_t putMirror(std::size_t mirror, media::VideoRect rect) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (mirror >= mirrors_.size()) {
            platform_.misuse.push_back("putMirror of a mirror never added: " + file_);
            return kUnsupportedFunction;
        }
        mirrors_[mirror].destination = rect.right == 0 && rect.bottom == 0 ? own() : rect;
        return 0;
    }
    std::uint32_t where(media::VideoRect& rect) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        rect = destination_;
        return 0;
    }
    std::uint32_t describe(media::VideoShape& shape) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        shape = script_.hasVideo
                    ? media::VideoShape{script_.width, script_.height, script_.pixelAspectNum,
                                        script_.pixelAspectDen, script_.rotation}
                    : media::VideoShape{};
        return 0;
    }
    std::uint32_t length(std::uint32_t& ms) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        ms = script_.tellsLength ? static_cast<std::uint32_t>(script_.lengthMs) : 0;
        return 0;
    }
    std::uint32_t position(std::uint32_t& ms) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        ms = static_cast<std::uint32_t>(positionMs_);
        return 0;
    }
    std::uint32_t seek(std::uint32_t ms) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (playing_) {
            platform_.misuse.push_back("seek while playing: " + file_);
        }
        positionMs_ = std::min<std::int64_t>(ms, script_.lengthMs);
        note(("seek " + std::to_string(ms)).c_str());
        return 0;
    }
    std::uint32_t setVolume(int percent) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (percent < 0 || percent > 100) {
            platform_.misuse.push_back("volume out of range: " + file_);
        }
        note(("volume " + std::to_string(percent)).c_str());
        return 0;
    }
    void preferBlending(bool blending) override {
        if (open_) {
            platform_.misuse.push_back("preferBlending while open: " + file_);
        }
        blending_ = blending;
    }
    bool canFade() const override { return open_ && script_.canFade; }
    std::uint32_t fade(double from, double to, std::uint32_t durationMs) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (!script_.canFade) {
            return kUnsupportedFunction;
        }
        if (!blending_) {
            platform_.misuse.push_back("fade without preferBlending: " + file_);
        }
        note(("fade " + std::to_string(std::lround(from * 100)) + "-" +
              std::to_string(std::lround(to * 100)) + " " + std::to_string(durationMs))
                 .c_str());
        return 0;
    }
    std::uint32_t play() override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (script_.playError != 0) {
            return script_.playError;
        }
        settle();
        playing_ = true;
        paused_ = false;
        startedAtMs_ = platform_.now();
        note("play");
        recordPlay(display_, destination_, false);
        for (const Mirror& mirror : mirrors_) {
            recordPlay(mirror.display, mirror.destination, true);
        }
        return 0;
    }
    std::uint32_t stop(bool /*wait*/) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        playing_ = false;
        paused_ = false;
        note("stop");
        return 0;
    }
    std::uint32_t pause() override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        if (playing_) {
            playing_ = false;
            paused_ = true;
        }
        note("pause");
        return 0;
    }
    std::uint32_t resume() override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (!paused_) {
            return kUnsupportedFunction;
        }
        paused_ = false;
        playing_ = true;
        startedAtMs_ = platform_.now();
        note("resume");
        return 0;
    }
    std::uint32_t close(bool /*wait*/) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        open_ = false;
        ++platform_.mediaCloses;
        note("close");
        return 0;
    }
    std::uint32_t mode(int& mode) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        mode = playing_ ? media::kPlaying : paused_ ? media::kPaused : media::kStopped;
        return 0;
    }
    std::optional<std::string> errorText(std::uint32_t code) override {
        if (!openErrorText_.empty() && code == script_.openError) {
            return openErrorText_;
        }
        return BuiltInErrorText(code);
    }

  private:
    struct Mirror {
        std::uintptr_t display = 0;
        media::VideoRect destination;
    };

    void recordPlay(std::uintptr_t display, media::VideoRect destination, bool mirrored) {
        PlayRecord record{file_,  display, destination.right, destination.bottom, destination,
                          Rect{}, false,   mirrored,          platform_.now()};
        if (const ControlState* panel = platform_.controlByHandle(display)) {
            record.panel = panel->bounds;
            const WindowState* form = platform_.windowByHandle(panel->window);
            record.onScreen = form != nullptr && form->visible;
        }
        platform_.plays.push_back(record);
    }
    void note(const char* request) { platform_.mediaRequests.push_back(request + (" " + file_)); }
    media::VideoRect own() const {
        return script_.hasVideo ? media::VideoRect{script_.width, script_.height}
                                : media::VideoRect{};
    }
    // Brings the position up to the virtual clock; a file played to its end stops.
    void settle() {
        if (!playing_) {
            return;
        }
        positionMs_ += platform_.now() - startedAtMs_;
        startedAtMs_ = platform_.now();
        if (positionMs_ >= script_.lengthMs) {
            positionMs_ = script_.lengthMs;
            playing_ = false;
        }
    }

    HeadlessPlatform& platform_;
    MediaScript script_;
    std::string openErrorText_;
    std::string file_;
    bool open_ = false;
    bool playing_ = false;
    bool paused_ = false;
    bool blending_ = false;
    std::int64_t positionMs_ = 0;
    std::int64_t startedAtMs_ = 0;
    std::uintptr_t display_ = 0;
    std::uintptr_t expectedWindow_ = 0;
    media::VideoRect destination_;
    std::vector<Mirror> mirrors_;
};

}  // namespace

std::unique_ptr<media::MediaEngine> HeadlessPlatform::createMediaEngine() {
    return std::make_unique<ScriptedEngine>(*this);
}

}  // namespace morvel::headless
