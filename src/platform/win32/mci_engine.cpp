#include "platform/win32/mci_engine.h"

#include <mmsystem.h>

#include <digitalv.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

constexpr const char* kNotifyClass = "MorvelMciNotify";
constexpr std::size_t kErrorTextSize = 4096;
constexpr DWORD kNormalVolume = 1000;  // a digital-video device's volume as it opens
constexpr const char* kMpegDevice = "MPEGVideo";
constexpr std::size_t kDeviceNameSize = 64;

// Completion notices need a window to go to; the engine does nothing with them, since the
// callers poll the device mode.
LRESULT CALLBACK NotifyProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == MM_MCINOTIFY) {
        return 0;
    }
    return DefWindowProcA(window, id, wParam, lParam);
}

HWND CreateNotifyWindow(HINSTANCE instance) {
    WNDCLASSEXA notify{};
    notify.cbSize = sizeof(notify);
    notify.lpfnWndProc = NotifyProc;
    notify.hInstance = instance;
    notify.lpszClassName = kNotifyClass;
    RegisterClassExA(&notify);  // fails harmlessly for every engine after the first
    return CreateWindowExA(0, kNotifyClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                           nullptr);
}

DWORD_PTR WaitFlag(bool wait) {
    return wait ? MCI_WAIT : 0;
}

}  // namespace

MciEngine::MciEngine(HINSTANCE instance) : notifyWindow_(CreateNotifyWindow(instance)) {}

MciEngine::~MciEngine() {
    if (device_ != 0) {
        close(true);
    }
}

std::uint32_t MciEngine::send(UINT command, DWORD_PTR flags, void* parameters) {
    if (device_ == 0) {
        return MCIERR_INVALID_DEVICE_ID;
    }
    return mciSendCommandA(device_, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
}

std::uint32_t MciEngine::open(const std::string& file, bool wait) {
    return openDevice(file, nullptr, wait);
}

// `type`: the device to open it on; none, the one the file's extension names.
std::uint32_t MciEngine::openDevice(const std::string& file, const char* type, bool wait) {
    if (device_ != 0) {
        close(true);
    }
    // No device type: the system picks the device from the file's extension. Without an
    // alias of its own a device is known by its file's name, and a second device could not
    // open the same file (the same video on two monitors).
    static std::atomic<unsigned> devicesOpened{0};
    const std::wstring alias = L"morvel" + std::to_wstring(++devicesOpened);
    const std::wstring element = Widen(file);
    MCI_OPEN_PARMSW parameters{};
    parameters.lpstrElementName = element.c_str();
    parameters.lpstrAlias = alias.c_str();
    const std::wstring deviceType = type != nullptr ? Widen(type) : std::wstring();
    parameters.lpstrDeviceType = type != nullptr ? deviceType.c_str() : nullptr;
    const MCIERROR result = mciSendCommandW(
        0, MCI_OPEN,
        MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS | (type ? MCI_OPEN_TYPE : 0) | WaitFlag(wait),
        reinterpret_cast<DWORD_PTR>(&parameters));
    if (result != 0) {
        return result;
    }
    device_ = parameters.wDeviceID;
    file_ = file;
    type_ = type;
    volume_ = 100;
    hasVideo_ = queryHasVideo();
    blends_ = blending_ && hasVideo_ && !onMpegDevice();
    blendedTo_ = media::VideoRect{};
    // Lengths, positions and seeks in milliseconds; a device that has no other format keeps
    // its own, which is milliseconds too (the wave device's default is bytes).
    MCI_SET_PARMS format{};
    format.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &format);
    return 0;
}

bool MciEngine::onMpegDevice() {
    if (type_ == kMpegDevice) {
        return true;
    }
    char name[kDeviceNameSize] = {};
    MCI_SYSINFO_PARMSA info{};
    info.lpstrReturn = name;
    info.dwRetSize = sizeof(name);
    return send(MCI_SYSINFO, MCI_SYSINFO_INSTALLNAME | MCI_WAIT, &info) == 0 &&
           lstrcmpiA(name, kMpegDevice) == 0;
}

// Where the MPEG device cannot open the file, it stays on the device of its type, which at
// least honours "audio off" on Windows.
void MciEngine::moveToMpegDevice() {
    const std::string file = file_;
    if (openDevice(file, kMpegDevice, true) != 0 && openDevice(file, nullptr, true) != 0) {
        return;
    }
    if (window_ != nullptr && hasVideo_) {
        setWindow(ToHandle(window_));
    }
}

bool MciEngine::queryHasVideo() {
    MCI_GETDEVCAPS_PARMS caps{};
    caps.dwItem = MCI_GETDEVCAPS_HAS_VIDEO;
    if (send(MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, &caps) != 0) {
        return false;
    }
    return caps.dwReturn != 0;
}

// A file the device knows has no sound track stays where it is: nothing there to silence, and
// Wine's MPEG device takes seconds to close. Where the device cannot say, it may have one.
bool MciEngine::withoutSoundTrack() {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_DGV_STATUS_AUDIO_STREAM;
    return send(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) == 0 && status.dwReturn == 0;
}

bool MciEngine::queryHasAudio() {
    MCI_GETDEVCAPS_PARMS caps{};
    caps.dwItem = MCI_GETDEVCAPS_HAS_AUDIO;
    if (send(MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, &caps) != 0) {
        return true;  // unknown: the device's refusal stands
    }
    return caps.dwReturn != 0;
}

std::uint32_t MciEngine::setWindow(std::uintptr_t display) {
    window_ = ToHwnd(display);
    if (blends_ && !hiddenWindow_) {
        hiddenWindow_ = OwnedWindow(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP, 0, 0, 1, 1,
                                                    nullptr, nullptr, nullptr, nullptr));
    }
    MCI_DGV_WINDOW_PARMSA parameters{};
    parameters.hWnd = blends_ ? hiddenWindow_.get() : window_;
    const std::uint32_t result = send(MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, &parameters);
    if (result == 0) {
        // Blended pictures are drawn by the compositor at every tick of the pump.
        panel_.drawInto(
            window_, blends_ ? std::function<void(HDC)>{} : [this](HDC dc) { repaintInto(dc); });
    }
    return result;
}

void MciEngine::repaintInto(HDC dc) {
    // Before play the device has not been put where it draws: its first frame comes at play.
    int now = media::kNotReady;
    if (mode(now) != 0 || (now != media::kPlaying && now != media::kPaused)) {
        return;
    }
    MCI_DGV_UPDATE_PARMS parameters{};
    parameters.hDC = dc;
    send(MCI_UPDATE, MCI_DGV_UPDATE_HDC | MCI_WAIT, &parameters);
}

std::uint32_t MciEngine::put(media::VideoRect rect) {
    if (blends_) {
        // The device keeps drawing at its own size, unseen; the pump puts the picture.
        media::VideoShape shape;
        const std::uint32_t result = describe(shape);
        if (result == 0) {
            blendedTo_ = rect.right != 0 || rect.bottom != 0
                             ? rect
                             : media::VideoRect{shape.width, shape.height};
            pump_.setDestination(blendedTo_);
        }
        return result;
    }
    MCI_DGV_PUT_PARMS parameters{};
    DWORD_PTR flags = MCI_DGV_PUT_DESTINATION | MCI_WAIT;
    if (rect.right != 0 || rect.bottom != 0) {
        // MCI rectangles give the width and height in right and bottom, and the corner in
        // left and top: a fill's corner lies outside the window, which cuts the picture off.
        // MCI cannot turn a picture (a turned file plays on Media Foundation).
        parameters.rc = RECT{rect.left, rect.top, rect.right, rect.bottom};
        flags |= MCI_DGV_RECT;
    } else {
        // Back to the video's own size: its source rectangle is the whole frame.
        RECT own{};
        if (whereRect(MCI_DGV_WHERE_SOURCE, own) == 0 && own.right > 0 && own.bottom > 0) {
            parameters.rc = RECT{0, 0, own.right, own.bottom};
            flags |= MCI_DGV_RECT;
        }
    }
    const std::uint32_t result = send(MCI_PUT, flags, &parameters);
    if (result == 0 && (rect.left != 0 || rect.top != 0)) {
        takenAsEdges(rect);
    }
    return result;
}

// Some devices (Wine's MPEG device) take a destination's right and bottom for its edges, not
// its size, and report it back as a size: a picture put at (0, -120) 1280 x 960 came out
// 1080 high. Such a device is given the edges.
void MciEngine::takenAsEdges(const media::VideoRect& rect) {
    RECT taken{};
    if (whereRect(MCI_DGV_WHERE_DESTINATION, taken) != 0 ||
        (taken.right == rect.right && taken.bottom == rect.bottom) ||
        taken.right != rect.right - rect.left || taken.bottom != rect.bottom - rect.top) {
        return;
    }
    MCI_DGV_PUT_PARMS edges{};
    edges.rc = RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
    send(MCI_PUT, MCI_DGV_PUT_DESTINATION | MCI_DGV_RECT | MCI_WAIT, &edges);
}

std::uint32_t MciEngine::setAudible(bool audible) {
    if (device_ != 0 && !audible && !onMpegDevice() && !withoutSoundTrack()) {
        moveToMpegDevice();
    }
    // Devices differ in what they honour, whatever they answer: every type knows the generic
    // "set audio all off", but Wine's MPEG device honours only "setaudio volume to 0" (and
    // Wine's AVI and wave devices neither). Both are sent; either taken is success.
    MCI_SET_PARMS generic{};
    generic.dwAudio = MCI_SET_AUDIO_ALL;
    const std::uint32_t set =
        send(MCI_SET, MCI_SET_AUDIO | (audible ? MCI_SET_ON : MCI_SET_OFF) | MCI_WAIT, &generic);
    if (set == MCIERR_INVALID_DEVICE_ID) {
        return set;
    }
    const std::uint32_t setAudio =
        sendVolume(audible ? static_cast<DWORD>(volume_) * kNormalVolume / 100 : 0);
    if (set == 0 || setAudio == 0 || !queryHasAudio()) {
        return 0;  // a file without sound has nothing to silence, whatever its device says
    }
    return set;
}

std::uint32_t MciEngine::status(DWORD_PTR item, std::uint32_t& value) {
    MCI_STATUS_PARMS parameters{};
    parameters.dwItem = item;
    const std::uint32_t result = send(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &parameters);
    value = result == 0 ? static_cast<std::uint32_t>(parameters.dwReturn) : 0;
    return result;
}

std::uint32_t MciEngine::length(std::uint32_t& ms) {
    return status(MCI_STATUS_LENGTH, ms);
}

std::uint32_t MciEngine::position(std::uint32_t& ms) {
    return status(MCI_STATUS_POSITION, ms);
}

std::uint32_t MciEngine::seek(std::uint32_t ms) {
    MCI_SEEK_PARMS parameters{};
    parameters.dwTo = ms;
    return send(MCI_SEEK, MCI_TO | MCI_WAIT, &parameters);
}

std::uint32_t MciEngine::sendVolume(DWORD level) {
    MCI_DGV_SETAUDIO_PARMSA volume{};
    volume.dwItem = MCI_DGV_SETAUDIO_VOLUME;
    volume.dwValue = level;
    return send(MCI_SETAUDIO, MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE | MCI_WAIT, &volume);
}

// Only the digital-video devices take a volume (Wine's MPEG device honours it); a device that
// refuses it plays at its own volume, and a file without sound has none to set.
std::uint32_t MciEngine::setVolume(int percent) {
    if (device_ == 0) {
        return MCIERR_INVALID_DEVICE_ID;
    }
    volume_ = std::clamp(percent, 0, 100);
    sendVolume(static_cast<DWORD>(volume_) * kNormalVolume / 100);
    return 0;
}

std::uint32_t MciEngine::whereRect(DWORD_PTR which, RECT& rect) {
    MCI_DGV_RECT_PARMS parameters{};
    const std::uint32_t result = send(MCI_WHERE, which | MCI_WAIT, &parameters);
    if (result == 0) {
        rect = parameters.rc;
    }
    return result;
}

std::uint32_t MciEngine::where(media::VideoRect& rect) {
    if (blends_ && device_ != 0 && blendedTo_.right != 0) {
        rect = blendedTo_;
        return 0;
    }
    RECT destination{};
    const std::uint32_t result = whereRect(MCI_DGV_WHERE_DESTINATION, destination);
    if (result == 0) {
        rect = media::VideoRect{destination.right, destination.bottom, destination.left,
                                destination.top};
    }
    return result;
}

std::uint32_t MciEngine::describe(media::VideoShape& shape) {
    RECT source{};
    const std::uint32_t result = whereRect(MCI_DGV_WHERE_SOURCE, source);
    if (result == 0) {
        // MCI cannot tell the shape of the pixels, nor a turn: square and upright.
        shape = media::VideoShape{source.right, source.bottom, 1, 1, 0};
    }
    return result;
}

std::uint32_t MciEngine::fade(double from, double to, std::uint32_t durationMs) {
    if (!canFade()) {
        return media::kUnsupportedRequest;
    }
    pump_.fade(from, to, durationMs);
    return 0;
}

std::uint32_t MciEngine::play() {
    if (blends_ && device_ != 0) {
        media::VideoShape shape;
        if (describe(shape) == 0) {
            pump_.start(device_, SIZE{shape.width, shape.height}, window_);
        }
    }
    MCI_PLAY_PARMS parameters{};
    parameters.dwCallback = reinterpret_cast<DWORD_PTR>(notifyWindow_.get());
    return send(MCI_PLAY, MCI_NOTIFY, &parameters);
}

std::uint32_t MciEngine::stop(bool wait) {
    MCI_GENERIC_PARMS parameters{};
    return send(MCI_STOP, WaitFlag(wait), &parameters);
}

std::uint32_t MciEngine::pause() {
    MCI_GENERIC_PARMS parameters{};
    return send(MCI_PAUSE, 0, &parameters);
}

std::uint32_t MciEngine::resume() {
    MCI_GENERIC_PARMS parameters{};
    return send(MCI_RESUME, 0, &parameters);
}

std::uint32_t MciEngine::close(bool wait) {
    // A device that draws in a child window of its own (Wine's MPEG device) shows black there
    // as it closes, while it takes the window from the panel: the window is hidden first, and
    // the panel, still marked, keeps the picture that was in it.
    const HWND ownWindow =
        panel_.panel() != nullptr ? GetWindow(panel_.panel(), GW_CHILD) : nullptr;
    if (ownWindow != nullptr) {
        ShowWindow(ownWindow, SW_HIDE);
    }
    pump_.stop();
    MCI_GENERIC_PARMS parameters{};
    const std::uint32_t result = send(MCI_CLOSE, WaitFlag(wait), &parameters);
    if (result != 0 && ownWindow != nullptr) {
        ShowWindow(ownWindow, SW_SHOWNA);
    }
    if (result == 0) {
        panel_.leave(ownWindow != nullptr);
        device_ = 0;
        hasVideo_ = false;
        file_.clear();
        type_ = nullptr;
        blends_ = false;
    }
    return result;
}

std::uint32_t MciEngine::mode(int& mode) {
    MCI_STATUS_PARMS parameters{};
    parameters.dwItem = MCI_STATUS_MODE;
    const std::uint32_t result = send(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &parameters);
    if (result != 0) {
        return result;
    }
    const auto value = static_cast<long long>(parameters.dwReturn) - MCI_MODE_NOT_READY;
    mode = value >= media::kNotReady && value <= media::kOpen ? static_cast<int>(value)
                                                              : media::kNotReady;
    return 0;
}

std::optional<std::string> MciEngine::errorText(std::uint32_t code) {
    wchar_t text[kErrorTextSize] = {};
    if (!mciGetErrorStringW(code, text, kErrorTextSize)) {
        return std::nullopt;
    }
    return Narrow(text);
}

}  // namespace morvel::win32
