#include "platform/win32/me_engine.h"

#include <mfapi.h>
#include <mferror.h>
#include <mmdeviceapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "platform/win32/d3d_device.h"
#include "platform/win32/mp4_picture.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// An open waits for the clip's length and size at most this long.
constexpr DWORD kLoadTimeoutMs = 10'000;

struct BstrFree {
    void operator()(BSTR text) const { SysFreeString(text); }
};
using OwnedBstr = std::unique_ptr<OLECHAR, BstrFree>;

// While open waits, the thread's windows still answer other threads' messages, and the
// engine's notices are heard should it give them on this thread.
bool WaitAnswering(HANDLE event, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        const DWORD result = MsgWaitForMultipleObjectsEx(
            1, &event, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
        if (result == WAIT_OBJECT_0) {
            return true;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE)) {
            DispatchMessageW(&message);
        }
    }
}

// The code of a load that failed without a system code: what the engine's own error
// category means for a file.
HRESULT CodeOfCategory(USHORT category) {
    switch (category) {
        case mediaengine::kErrorSourceNotSupported:
            return MF_E_UNSUPPORTED_BYTESTREAM_TYPE;
        case mediaengine::kErrorDecode:
            return MF_E_INVALID_FORMAT;
        case mediaengine::kErrorAborted:
            return E_ABORT;
        default:
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
}

// Whether the system has a device to play sound on. Wine's Media Engine, given a clip with
// sound and no such device, waits for the sound for ever and shows no picture; the session
// engine plays such a clip without its sound.
bool SoundDevicePresent() {
    MeComPtr<IMMDeviceEnumerator> devices;
    MeComPtr<IMMDevice> speakers;
    return SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IMMDeviceEnumerator), &devices)) &&
           SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &speakers));
}

}  // namespace

// --- MeEngine --------------------------------------------------------------------------------

MeEngine::MeEngine(std::span<const LibraryImport> imports, EngineFrameSink sink)
    : libraries_(imports), sink_(std::move(sink)) {}

MeEngine::~MeEngine() {
    shutDown();
    factory_.Reset();
    manager_.Reset();
    device_ = {};
    shared_.reset();
    if (started_) {
        MFShutdown();
    }
}

// Media Foundation, the device and the engine's factory, made at the first open and kept.
HRESULT MeEngine::prepare() {
    if (!libraries_.present()) {
        return static_cast<HRESULT>(kFoundationMissing);
    }
    if (!started_) {
        const HRESULT result = MFStartup(MF_VERSION, MFSTARTUP_FULL);
        if (FAILED(result)) {
            return result;
        }
        started_ = true;
    }
    HRESULT result = S_OK;
    // The windows' device where there is one, so that they compose its frames as they are;
    // after a loss, the new one.
    std::shared_ptr<D3dDevice> shared = SharedD3dDevice();
    if (shared && shared->device() != device_.device.Get()) {
        manager_.Reset();
        device_ = {shared->device(), shared->videoSupport()};
        shared_ = std::move(shared);
    }
    if (!device_.device) {
        result = MakeVideoDevice(device_);
    }
    if (SUCCEEDED(result) && !manager_) {
        result = MakeDeviceManager(device_.device.Get(), manager_);
    }
    if (SUCCEEDED(result) && !factory_) {
        result = CoCreateInstance(mediaengine::kClassFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                                  mediaengine::kClassFactoryInterface, &factory_);
    }
    return result;
}

HRESULT MeEngine::createEngine() {
    MeComPtr<IMFAttributes> attributes;
    HRESULT result = MFCreateAttributes(&attributes, 3);
    if (SUCCEEDED(result)) {
        result = attributes->SetUnknown(mediaengine::kCallbackAttribute, &notices_);
    }
    if (SUCCEEDED(result)) {
        result = attributes->SetUnknown(mediaengine::kDxgiManagerAttribute, manager_.Get());
    }
    if (SUCCEEDED(result)) {
        result = attributes->SetUINT32(mediaengine::kVideoOutputFormatAttribute,
                                       DXGI_FORMAT_B8G8R8A8_UNORM);
    }
    if (SUCCEEDED(result)) {
        result = factory_->CreateInstance(0, attributes.Get(), &engine_);
    }
    return result;
}

std::uint32_t MeEngine::open(const std::string& file, bool) {
    shutDown();
    HRESULT result = prepare();
    if (SUCCEEDED(result)) {
        notices_.reset();
        result = createEngine();
    }
    const std::wstring path = Widen(file);
    // Wine's engine says a missing file is one it cannot play, with an invalid pointer for
    // its reason: the system's own reason is the one to give.
    if (SUCCEEDED(result) && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        result = HRESULT_FROM_WIN32(GetLastError());
    }
    if (SUCCEEDED(result)) {
        // The engine takes a URL; a path in any script goes as it is, in UTF-16.
        const OwnedBstr url(SysAllocString(path.c_str()));
        result = url ? engine_->SetSource(url.get()) : E_OUTOFMEMORY;
    }
    if (SUCCEEDED(result)) {
        result = waitForLoad();
    }
    if (SUCCEEDED(result) && engine_->HasAudio() && !SoundDevicePresent()) {
        result = MF_E_NO_AUDIO_PLAYBACK_DEVICE;
    }
    if (SUCCEEDED(result) && engine_->HasVideo()) {
        result = makeFrameTexture();
    }
    if (FAILED(result)) {
        shutDown();
        return static_cast<std::uint32_t>(result);
    }
    if (shape_.width > 0) {
        // The engine reports every picture upright and square under Wine; the file tells.
        const Mp4Picture stored = ReadMp4PictureOfFile(file);
        shape_.rotation = stored.rotation;
        shape_.pixelAspectNum = stored.pixelAspectNum;
        shape_.pixelAspectDen = stored.pixelAspectDen;
    }
    {
        const std::scoped_lock hold(lock_);
        place_ = {shape_.width, shape_.height, 0, 0, shape_.rotation};
        for (Mirror& mirror : mirrors_) {
            mirror.place = place_;
        }
        fade_ = media::FadeRamp();
        volumePercent_ = 100;
    }
    mode_ = media::kStopped;
    startPump();
    return 0;
}

HRESULT MeEngine::waitForLoad() {
    if (!WaitAnswering(notices_.answered(), kLoadTimeoutMs)) {
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    return notices_.failed() ? loadFailure() : S_OK;
}

// The system's code for why the clip did not load, where the engine has one.
HRESULT MeEngine::loadFailure() {
    MeComPtr<mediaengine::IMFMediaError> error;
    if (FAILED(engine_->GetError(&error)) || !error) {
        return E_FAIL;
    }
    // The system's code where it explains itself; Wine gives codes with no text (an invalid
    // pointer for a file it cannot read), and then the engine's category says more.
    const HRESULT code = error->GetExtendedErrorCode();
    if (FAILED(code) && FoundationErrorText(static_cast<std::uint32_t>(code))) {
        return code;
    }
    return CodeOfCategory(error->GetErrorCode());
}

HRESULT MeEngine::makeFrameTexture() {
    DWORD width = 0;
    DWORD height = 0;
    HRESULT result = engine_->GetNativeVideoSize(&width, &height);
    if (FAILED(result) || width == 0 || height == 0) {
        return FAILED(result) ? result : MF_E_INVALIDMEDIATYPE;
    }
    D3D11_TEXTURE2D_DESC description = {};
    description.Width = width;
    description.Height = height;
    description.MipLevels = 1;
    description.ArraySize = 1;
    description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    description.SampleDesc.Count = 1;
    description.Usage = D3D11_USAGE_DEFAULT;
    // The engine draws into it; the compositor samples it.
    description.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
    result = device_.device->CreateTexture2D(&description, nullptr, &frame_);
    if (SUCCEEDED(result)) {
        shape_ = {static_cast<int>(width), static_cast<int>(height), 1, 1, 0};
    }
    return result;
}

void MeEngine::shutDown() {
    stopPump();
    if (engine_) {
        engine_->Shutdown();
        engine_.Reset();
    }
    frame_.Reset();
    shape_ = {};
    mode_ = media::kNotReady;
}

bool MeEngine::hasVideo() const {
    return engine_ && frame_;
}

std::uint32_t MeEngine::setWindow(std::uintptr_t display) {
    const std::scoped_lock hold(lock_);
    window_ = display;
    return 0;
}

std::uint32_t MeEngine::put(media::VideoRect rect) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    rect = placeOrOwnSize(rect);
    const std::scoped_lock hold(lock_);
    place_ = rect;
    return 0;
}

std::uint32_t MeEngine::where(media::VideoRect& rect) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const std::scoped_lock hold(lock_);
    rect = place_;
    return 0;
}

// Right and bottom 0 give the video its own size.
media::VideoRect MeEngine::placeOrOwnSize(media::VideoRect rect) const {
    if (rect.right == 0 || rect.bottom == 0) {
        return {shape_.width, shape_.height, 0, 0, rect.rotation};
    }
    return rect;
}

bool MeEngine::addMirror(std::uintptr_t display) {
    if (engine_) {
        return false;  // a file is open
    }
    const std::scoped_lock hold(lock_);
    mirrors_.push_back(Mirror{display, {}});
    return true;
}

std::uint32_t MeEngine::putMirror(std::size_t mirror, media::VideoRect rect) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    rect = placeOrOwnSize(rect);
    const std::scoped_lock hold(lock_);
    if (mirror >= mirrors_.size()) {
        return static_cast<std::uint32_t>(E_INVALIDARG);
    }
    mirrors_[mirror].place = rect;
    return 0;
}

std::uint32_t MeEngine::describe(media::VideoShape& shape) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    shape = shape_;
    return 0;
}

std::uint32_t MeEngine::setAudible(bool audible) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    return static_cast<std::uint32_t>(engine_->SetMuted(audible ? FALSE : TRUE));
}

std::uint32_t MeEngine::length(std::uint32_t& ms) {
    ms = 0;
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    // A stream without an end (NaN) or a length not known yet has no length to tell.
    const double seconds = engine_->GetDuration();
    if (std::isfinite(seconds) && seconds > 0) {
        ms = static_cast<std::uint32_t>(std::lround(seconds * 1000));
    }
    return 0;
}

std::uint32_t MeEngine::position(std::uint32_t& ms) {
    ms = 0;
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const double seconds = engine_->GetCurrentTime();
    if (std::isfinite(seconds) && seconds > 0) {
        ms = static_cast<std::uint32_t>(std::lround(seconds * 1000));
    }
    return 0;
}

// Some engines cannot move (Wine's refuses every seek): the caller then starts at the start.
std::uint32_t MeEngine::seek(std::uint32_t ms) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    return FAILED(engine_->SetCurrentTime(ms / 1000.0)) ? media::kUnsupportedRequest : 0;
}

std::uint32_t MeEngine::setVolume(int percent) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    // The pump sets it within its period, with the fade's weight.
    const std::scoped_lock hold(lock_);
    volumePercent_ = std::clamp(percent, 0, 100);
    return 0;
}

std::uint32_t MeEngine::fade(double from, double to, std::uint32_t durationMs) {
    if (!engine_) {
        return media::kUnsupportedRequest;
    }
    const std::scoped_lock hold(lock_);
    fade_.start(from, to, durationMs, media::FadeRamp::Clock::now());
    return 0;
}

std::uint32_t MeEngine::play() {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const HRESULT result = engine_->Play();
    if (SUCCEEDED(result)) {
        mode_ = media::kPlaying;
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MeEngine::stop(bool) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const HRESULT result = engine_->Pause();
    mode_ = media::kStopped;
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MeEngine::pause() {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const HRESULT result = engine_->Pause();
    if (SUCCEEDED(result) && mode_ == media::kPlaying) {
        mode_ = media::kPaused;
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MeEngine::resume() {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    if (mode_ != media::kPaused) {
        return 0;
    }
    return play();
}

std::uint32_t MeEngine::close(bool) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    shutDown();
    return 0;
}

std::uint32_t MeEngine::mode(int& mode) {
    if (!engine_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    if (mode_ == media::kPlaying && (notices_.ended() || engine_->IsEnded())) {
        mode_ = media::kStopped;
    }
    mode = mode_;
    return 0;
}

std::optional<std::string> MeEngine::errorText(std::uint32_t code) {
    return FoundationErrorText(code);
}

}  // namespace morvel::win32
