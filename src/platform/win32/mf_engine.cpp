#include "platform/win32/mf_engine.h"

#include <mfapi.h>
#include <mferror.h>

#include <chrono>
#include <thread>

#include "platform/win32/owned.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// Opening, closing and stopping wait for the session's answer at most this long.
constexpr auto kAnswerTimeout = std::chrono::seconds(10);
constexpr DWORD kBytesPerPixel = 4;  // the grabber is asked for 32-bit RGB

HRESULT CreateSource(const std::wstring& url, ComPtr<IMFMediaSource>& source) {
    ComPtr<IMFSourceResolver> resolver;
    HRESULT result = MFCreateSourceResolver(&resolver);
    if (FAILED(result)) {
        return result;
    }
    MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
    ComPtr<IUnknown> object;
    // The extension does not decide: a renamed file plays by what it holds.
    result = resolver->CreateObjectFromURL(
        url.c_str(),
        MF_RESOLUTION_MEDIASOURCE |
            MF_RESOLUTION_CONTENT_DOES_NOT_HAVE_TO_MATCH_EXTENSION_OR_MIME_TYPE,
        nullptr, &type, &object);
    if (FAILED(result)) {
        return result;
    }
    return object.As(&source);
}

HRESULT CreateFrameGrabber(FrameSink& frames, ComPtr<IMFActivate>& activate) {
    ComPtr<IMFMediaType> type;
    HRESULT result = MFCreateMediaType(&type);
    if (SUCCEEDED(result)) {
        result = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    }
    if (SUCCEEDED(result)) {
        result = type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
    }
    if (SUCCEEDED(result)) {
        result = MFCreateSampleGrabberSinkActivate(type.Get(), &frames, &activate);
    }
    return result;
}

// Source stream -> sink, one branch of the topology.
HRESULT AddBranch(IMFTopology& topology, IMFMediaSource& source,
                  IMFPresentationDescriptor& presentation, IMFStreamDescriptor& stream,
                  IMFActivate& sink) {
    ComPtr<IMFTopologyNode> from;
    ComPtr<IMFTopologyNode> to;
    HRESULT result = MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, &from);
    if (SUCCEEDED(result)) {
        from->SetUnknown(MF_TOPONODE_SOURCE, &source);
        from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, &presentation);
        from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, &stream);
        result = topology.AddNode(from.Get());
    }
    if (SUCCEEDED(result)) {
        result = MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, &to);
    }
    if (SUCCEEDED(result)) {
        to->SetObject(&sink);
        result = topology.AddNode(to.Get());
    }
    if (SUCCEEDED(result)) {
        result = from->ConnectOutput(0, to.Get(), 0);
    }
    return result;
}

GUID MajorType(IMFStreamDescriptor& stream) {
    ComPtr<IMFMediaTypeHandler> handler;
    GUID major = GUID_NULL;
    if (SUCCEEDED(stream.GetMediaTypeHandler(&handler))) {
        handler->GetMajorType(&major);
    }
    return major;
}

SIZE FrameSize(IMFStreamDescriptor& stream) {
    ComPtr<IMFMediaTypeHandler> handler;
    ComPtr<IMFMediaType> type;
    UINT32 width = 0;
    UINT32 height = 0;
    if (SUCCEEDED(stream.GetMediaTypeHandler(&handler)) &&
        SUCCEEDED(handler->GetCurrentMediaType(&type))) {
        MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &width, &height);
    }
    return SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
}

std::optional<std::string> MessageText(DWORD flags, const void* source, std::uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       source, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return std::nullopt;
    }
    std::string message = Narrow(std::wstring_view(text, length));
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message.empty() ? std::nullopt : std::optional<std::string>(message);
}

}  // namespace

// --- FrameSink -------------------------------------------------------------------------------

void FrameSink::setWindow(HWND window) {
    const std::lock_guard lock(mutex_);
    window_ = window;
}

void FrameSink::setFrameSize(SIZE size) {
    const std::lock_guard lock(mutex_);
    frame_ = size;
}

void FrameSink::setDestination(RECT destination) {
    const std::lock_guard lock(mutex_);
    destination_ = destination;
}

RECT FrameSink::destination() {
    const std::lock_guard lock(mutex_);
    return destination_;
}

STDMETHODIMP FrameSink::QueryInterface(REFIID id, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (id == IID_IUnknown || id == __uuidof(IMFClockStateSink) ||
        id == __uuidof(IMFSampleGrabberSinkCallback)) {
        *object = static_cast<IMFSampleGrabberSinkCallback*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FrameSink::OnProcessSample(REFGUID, DWORD, LONGLONG, LONGLONG, const BYTE* buffer,
                                        DWORD size) {
    draw(buffer, size);
    return S_OK;
}

void FrameSink::draw(const BYTE* pixels, DWORD size) {
    const std::lock_guard lock(mutex_);
    if (window_ == nullptr || frame_.cx <= 0 || frame_.cy <= 0) {
        return;
    }
    // Decoders may pad the picture with rows below it; only the frame's own rows are drawn.
    const DWORD rowBytes = static_cast<DWORD>(frame_.cx) * kBytesPerPixel;
    const LONG rows = static_cast<LONG>(size / rowBytes);
    if (rows < frame_.cy) {
        return;
    }
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = frame_.cx;
    format.bmiHeader.biHeight = -rows;  // the grabber's frames run top to bottom
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    const WindowDc dc(window_);
    SetStretchBltMode(dc.get(), COLORONCOLOR);
    StretchDIBits(dc.get(), destination_.left, destination_.top,
                  destination_.right - destination_.left, destination_.bottom - destination_.top, 0,
                  rows - frame_.cy, frame_.cx, frame_.cy, pixels, &format, DIB_RGB_COLORS, SRCCOPY);
}

// --- MfEngine --------------------------------------------------------------------------------

MfEngine::MfEngine() = default;

MfEngine::~MfEngine() {
    if (session_) {
        close(true);
    }
    if (started_) {
        MFShutdown();
    }
}

std::uint32_t MfEngine::open(const std::string& file, bool) {
    if (session_) {
        close(true);
    }
    if (!started_) {
        const HRESULT result = MFStartup(MF_VERSION, MFSTARTUP_FULL);
        if (FAILED(result)) {
            return static_cast<std::uint32_t>(result);
        }
        started_ = true;
    }
    const std::wstring url = Widen(file);
    // A machine without a sound device still shows the pictures.
    HRESULT result = startSession(url, true);
    if (FAILED(result) && hasVideo_) {
        release();
        result = startSession(url, false);
    }
    if (FAILED(result)) {
        release();
        return static_cast<std::uint32_t>(result);
    }
    mode_ = media::kStopped;
    return 0;
}

HRESULT MfEngine::startSession(const std::wstring& url, bool withSound) {
    HRESULT result = CreateSource(url, source_);
    ComPtr<IMFPresentationDescriptor> presentation;
    if (SUCCEEDED(result)) {
        result = source_->CreatePresentationDescriptor(&presentation);
    }
    ComPtr<IMFTopology> topology;
    if (SUCCEEDED(result)) {
        result = MFCreateTopology(&topology);
    }
    DWORD streams = 0;
    if (SUCCEEDED(result)) {
        result = presentation->GetStreamDescriptorCount(&streams);
    }
    bool video = false;
    bool sound = false;
    for (DWORD index = 0; SUCCEEDED(result) && index < streams; ++index) {
        BOOL selected = FALSE;
        ComPtr<IMFStreamDescriptor> stream;
        result = presentation->GetStreamDescriptorByIndex(index, &selected, &stream);
        if (FAILED(result)) {
            break;
        }
        const GUID major = MajorType(*stream.Get());
        ComPtr<IMFActivate> sink;
        if (major == MFMediaType_Video && !video) {
            video = true;
            ownSize_ = FrameSize(*stream.Get());
            frames_.setFrameSize(ownSize_);
            // Until told otherwise the picture has its own size, as with MCI.
            frames_.setDestination(RECT{0, 0, ownSize_.cx, ownSize_.cy});
            result = CreateFrameGrabber(frames_, sink);
        } else if (major == MFMediaType_Audio && !sound && withSound) {
            sound = true;
            result = MFCreateAudioRendererActivate(&sink);
        }
        if (SUCCEEDED(result) && sink) {
            result = presentation->SelectStream(index);
            if (SUCCEEDED(result)) {
                result = AddBranch(*topology.Get(), *source_.Get(), *presentation.Get(),
                                   *stream.Get(), *sink.Get());
            }
        } else if (SUCCEEDED(result)) {
            presentation->DeselectStream(index);
        }
    }
    hasVideo_ = video;
    playsSound_ = sound;
    if (SUCCEEDED(result) && !video && !sound) {
        result = MF_E_UNSUPPORTED_FORMAT;
    }
    if (SUCCEEDED(result)) {
        result = MFCreateMediaSession(nullptr, &session_);
    }
    if (SUCCEEDED(result)) {
        result = session_->SetTopology(0, topology.Get());
    }
    if (SUCCEEDED(result)) {
        // The decoders are found and joined now, so a file that cannot play fails here.
        result = waitForEvent(MESessionTopologySet);
    }
    return result;
}

HRESULT MfEngine::waitForEvent(MediaEventType awaited) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        ComPtr<IMFMediaEvent> event;
        const HRESULT result = session_->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event);
        if (result == MF_E_NO_EVENTS_AVAILABLE) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (FAILED(result)) {
            return result;
        }
        takeEvent(*event.Get());
        MediaEventType type = MEUnknown;
        HRESULT status = S_OK;
        event->GetType(&type);
        event->GetStatus(&status);
        if (type == awaited || (type == MEError && FAILED(status))) {
            return status;
        }
    }
    return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
}

void MfEngine::takeEvent(IMFMediaEvent& event) {
    MediaEventType type = MEUnknown;
    HRESULT status = S_OK;
    event.GetType(&type);
    event.GetStatus(&status);
    switch (type) {
        case MESessionStarted:
            mode_ = SUCCEEDED(status) ? media::kPlaying : media::kStopped;
            break;
        case MESessionPaused:
            mode_ = SUCCEEDED(status) ? media::kPaused : mode_;
            break;
        case MESessionStopped:
        case MESessionEnded:
        case MEError:
            mode_ = media::kStopped;
            break;
        default:
            break;
    }
}

void MfEngine::drainEvents() {
    ComPtr<IMFMediaEvent> event;
    while (session_ && SUCCEEDED(session_->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event))) {
        takeEvent(*event.Get());
        event.Reset();
    }
}

std::uint32_t MfEngine::setWindow(std::uintptr_t display) {
    frames_.setWindow(ToHwnd(display));
    return 0;
}

std::uint32_t MfEngine::put(media::VideoRect rect) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const bool ownSize = rect.right == 0 && rect.bottom == 0;
    frames_.setDestination(
        RECT{0, 0, ownSize ? ownSize_.cx : rect.right, ownSize ? ownSize_.cy : rect.bottom});
    return 0;
}

std::uint32_t MfEngine::setAudible(bool audible) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    if (!playsSound_) {
        return 0;  // no sound in the file, or no device to hear it on
    }
    // The session hands out the audio renderer's own volume once its topology is resolved,
    // which open waited for.
    ComPtr<IMFGetService> services;
    ComPtr<IMFSimpleAudioVolume> volume;
    HRESULT result = session_.As(&services);
    if (SUCCEEDED(result)) {
        result = services->GetService(MR_POLICY_VOLUME_SERVICE, IID_PPV_ARGS(&volume));
    }
    if (SUCCEEDED(result)) {
        result = volume->SetMute(audible ? FALSE : TRUE);
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MfEngine::where(media::VideoRect& rect) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const RECT destination = frames_.destination();
    rect = media::VideoRect{destination.right, destination.bottom};
    return 0;
}

std::uint32_t MfEngine::play() {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    PROPVARIANT from;
    PropVariantInit(&from);  // empty: from the current position
    const HRESULT result = session_->Start(&GUID_NULL, &from);
    if (SUCCEEDED(result)) {
        mode_ = media::kPlaying;  // the session says so a moment later; callers poll at once
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MfEngine::stop(bool wait) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    HRESULT result = session_->Stop();
    if (SUCCEEDED(result) && wait) {
        result = waitForEvent(MESessionStopped);
    }
    mode_ = media::kStopped;
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MfEngine::pause() {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    const HRESULT result = session_->Pause();
    if (SUCCEEDED(result)) {
        mode_ = media::kPaused;
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MfEngine::resume() {
    return play();
}

std::uint32_t MfEngine::close(bool) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    // The grabber may still deliver a frame until the session has closed.
    if (SUCCEEDED(session_->Close())) {
        waitForEvent(MESessionClosed);
    }
    release();
    return 0;
}

void MfEngine::release() {
    if (source_) {
        source_->Shutdown();
        source_.Reset();
    }
    if (session_) {
        session_->Shutdown();
        session_.Reset();
    }
    hasVideo_ = false;
    playsSound_ = false;
    ownSize_ = SIZE{};
    mode_ = media::kNotReady;
}

std::uint32_t MfEngine::mode(int& mode) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    drainEvents();
    mode = mode_;
    return 0;
}

std::optional<std::string> FoundationErrorText(std::uint32_t code) {
    if (auto text = MessageText(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code)) {
        return text;
    }
    // Media Foundation keeps the texts of its own errors in a library of their own.
    const OwnedLibrary texts(LoadLibraryExA("mferror.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!texts) {
        return std::nullopt;
    }
    return MessageText(FORMAT_MESSAGE_FROM_HMODULE, texts.get(), code);
}

}  // namespace morvel::win32
