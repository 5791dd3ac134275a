// The saver's end: which input ends it, the password check where the platform asks for
// one, and the right arrow where it moves the videos on instead.
#include <cstdint>

#include "common/path.h"
#include "saver/saver_window.h"

namespace morvel::saver {

namespace {

constexpr const char* kPasswordLibrary = "PASSWORD.CPL";
constexpr const char* kPasswordEntryPoint = "VerifyScreenSavePwd";
constexpr const char* kDesktopKey = "Control Panel\\desktop";
constexpr const char* kUsePasswordValue = "ScreenSaveUsePassword";
constexpr int kNtPlatformId = 2;
constexpr std::uintptr_t kRightArrow = 0x27;  // VK_RIGHT

bool IsQualifyingInput(std::uint32_t id) {
    namespace msg = platform::msg;
    switch (id) {
        case msg::kKeyDown:
        case msg::kKeyUp:
        case msg::kSysKeyDown:
        case msg::kSysKeyUp:
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool TForm1::IsNTPlatform() {
    return platform_.platformId() == kNtPlatformId;
}

// The right arrow, where it is chosen: its press moves every monitor on to its next clip,
// and neither its press nor its release ends the saver.
bool TForm1::TakeNextKey(const platform::Message& message) {
    namespace msg = platform::msg;
    if (!state_.NextKey || darkForTime_ || darkForBattery_ || message.wParam != kRightArrow ||
        (message.id != msg::kKeyDown && message.id != msg::kKeyUp)) {
        return false;
    }
    if (message.id == msg::kKeyDown) {
        for (MonitorVideo& video : videos_) {
            if (state_.Finished) {
                break;  // a box one monitor showed ran the saver's end inside it
            }
            if (!video.halted()) {
                MoveOn(video, false);
            }
        }
    }
    return true;
}

void TForm1::deactivate(const platform::Message& message, bool& /*handled*/) {
    if (state_.Dismissing || TakeNextKey(message)) {
        return;
    }
    state_.Dismissing = IsQualifyingInput(message.id);
    if (!state_.Dismissing) {
        return;
    }
    if (IsNTPlatform()) {
        FinishSaver();
    } else if (auto desktopKey = platform_.openCurrentUserKey(kDesktopKey)) {
        if (!desktopKey->hasValue(kUsePasswordValue)) {
            FinishSaver();
        } else if (desktopKey->readInteger(kUsePasswordValue) == 0u) {
            FinishSaver();
        } else {
            // A value of another type is taken as "on": the platform's dialog decides.
            CheckPassword();
        }
    } else {
        FinishSaver();
    }
    state_.Dismissing = false;
}

// The host that lent the saver its window ends it; it asked for any password itself.
void TForm1::HostEndRequest() {
    state_.Dismissing = true;
    FinishSaver();
    state_.Dismissing = false;
}

void TForm1::CheckPassword() {
    platform_.showCursor(true);
    const std::string path =
        joinPath(platform_.systemDirectory(), platform_.pathSeparator(), kPasswordLibrary);
    if (auto library = platform_.loadLibrary(path)) {
        // Without the entry point nobody could ever get past the saver: it ends as it does
        // when the library itself is missing.
        if (!library->hasEntryPoint(kPasswordEntryPoint) ||
            library->verifyScreenSavePassword(handle())) {
            FinishSaver();
        }
    } else {
        FinishSaver();
    }
    platform_.showCursor(false);
}

void TForm1::FormCloseQuery(bool& canClose) {
    platform_.showCursor(true);
    platform_.processMessages();
    canClose = true;
}

void TForm1::FormKeyDown(int /*key*/) {}

void TForm1::FormMouseDown(int /*button*/, int /*x*/, int /*y*/) {}

}  // namespace morvel::saver
