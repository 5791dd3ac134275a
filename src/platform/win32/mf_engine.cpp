#include "platform/win32/mf_engine.h"

#include <mfapi.h>
#include <mferror.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/win32/mf_topology.h"
#include "platform/win32/mp4_picture.h"
#include "platform/win32/owned.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// Opening, closing and stopping wait for the session's answer at most this long.
constexpr auto kAnswerTimeout = std::chrono::seconds(10);
// How often a wait looks for the session's answer.
constexpr DWORD kAnswerPollMilliseconds = 5;

// While a request waits for the session, the thread's windows still answer other threads'
// messages, so the system never takes the program for hung. Input and timers stay queued for
// the program's own loop: none of its handlers runs in the middle of a request. Painting
// waits too: where the last clip's device drew in a window of its own, just gone, painting
// during an open showed black there under Wine until this clip's first frame, while the
// screen still held the last clip's picture.
void KeepWindowsAnswering(DWORD milliseconds) {
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_SENDMESSAGE, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE)) {
        DispatchMessageW(&message);
    }
}

}  // namespace

// --- MfEngine --------------------------------------------------------------------------------

MfEngine::MfEngine(std::span<const LibraryImport> imports) : libraries_(imports) {
    // A fade's sound follows its pictures, frame by frame.
    frames_.afterEachFrame([this] { applyVolume(); });
}

MfEngine::~MfEngine() {
    shutDown();
    if (speakers_) {
        speakers_->Shutdown();
        speakers_.Reset();
    }
    if (started_) {
        MFShutdown();
    }
}

std::uint32_t MfEngine::open(const std::string& file, bool) {
    shutDown();
    if (!libraries_.present()) {
        return kFoundationMissing;
    }
    if (!started_) {
        const HRESULT result = MFStartup(MF_VERSION, MFSTARTUP_FULL);
        if (FAILED(result)) {
            return static_cast<std::uint32_t>(result);
        }
        started_ = true;
    }
    // The windows keep the last clip's picture until this one's first frame, also where its
    // device drew in a window of its own, gone now.
    markWindows();
    const std::wstring url = Widen(file);
    // A machine without a sound device still shows the pictures.
    HRESULT result = startSession(url, true);
    if (FAILED(result) && hasVideo_) {
        shutDown();
        result = startSession(url, false);
    }
    if (FAILED(result)) {
        shutDown();
        return static_cast<std::uint32_t>(result);
    }
    if (hasVideo_ && (shape_.rotation == 0 || shape_.pixelAspectNum == shape_.pixelAspectDen)) {
        // Wine's MP4 source says every picture is upright and square; the file tells. Where
        // a source reads the file itself, the two agree.
        const Mp4Picture stored = ReadMp4PictureOfFile(file);
        if (shape_.rotation == 0) {
            shape_.rotation = stored.rotation;
        }
        if (shape_.pixelAspectNum == shape_.pixelAspectDen) {
            shape_.pixelAspectNum = stored.pixelAspectNum;
            shape_.pixelAspectDen = stored.pixelAspectDen;
        }
    }
    mode_ = media::kStopped;
    findStreamVolume();
    // The audio renderer outlives the file, and with it a silence and a level asked for the
    // last one.
    setAudible(true);
    applyVolume();
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
        UINT64 duration = 0;
        duration_ = SUCCEEDED(presentation->GetUINT64(MF_PD_DURATION, &duration))
                        ? static_cast<LONGLONG>(duration)
                        : 0;
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
        ComPtr<IMFStreamSink> speakers;
        if (major == MFMediaType_Video && !video) {
            video = true;
            shape_ = StreamShape(*stream.Get());
            // Until told otherwise the picture has its own size in every window, as with MCI.
            frames_.setFrameSize(SIZE{shape_.width, shape_.height});
            result = CreateFrameGrabber(frames_, sink);
        } else if (major == MFMediaType_Audio && !sound && withSound) {
            sound = true;
            result = speakersStream(speakers);
        }
        if (SUCCEEDED(result) && (sink || speakers)) {
            if (sink) {
                sinks_.push_back(sink);
            }
            result = presentation->SelectStream(index);
            if (SUCCEEDED(result)) {
                IUnknown& output = sink ? static_cast<IUnknown&>(*sink.Get()) : *speakers.Get();
                result = AddBranch(*topology.Get(), *source_.Get(), *presentation.Get(),
                                   *stream.Get(), output, !sink);
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
    // A closing session still sends what was under way; only its closing ends the wait.
    const bool stopAtError = awaited != MESessionClosed;
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    for (;;) {
        ComPtr<IMFMediaEvent> event;
        const HRESULT result = session_->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event);
        if (result == MF_E_NO_EVENTS_AVAILABLE) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
            }
            KeepWindowsAnswering(kAnswerPollMilliseconds);
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
        if (type == awaited || (stopAtError && type == MEError && FAILED(status))) {
            return status;
        }
    }
}

void MfEngine::takeEvent(IMFMediaEvent& event) {
    MediaEventType type = MEUnknown;
    HRESULT status = S_OK;
    event.GetType(&type);
    event.GetStatus(&status);
    switch (type) {
        case MESessionStarted:
        case MESessionPaused:
        case MESessionStopped:
            takeAnswer(type, status);
            break;
        case MESessionEnded:
            // An end queued before a newer command (a play after the end) is not this run's.
            if (unanswered_ == 0 && mode_ == media::kPlaying) {
                mode_ = media::kStopped;
            }
            break;
        case MEError:
            if (FAILED(status)) {
                mode_ = media::kStopped;
            }
            break;
        default:
            break;
    }
}

// The answer to a command. The mode already says what was commanded; an answer changes it
// only when it is the answer to the last command and says that command failed.
void MfEngine::takeAnswer(MediaEventType type, HRESULT status) {
    if (unanswered_ > 0) {
        --unanswered_;
    }
    if (SUCCEEDED(status) || unanswered_ > 0) {
        return;
    }
    if (type == MESessionStarted) {
        mode_ = media::kStopped;  // it never started
    } else if (type == MESessionPaused && mode_ == media::kPaused) {
        mode_ = media::kPlaying;  // it plays on
    }
}

// One audio renderer serves every file of the engine, shut down with it: Wine's leaves
// threads and some hundreds of kilobytes behind each one shut down.
HRESULT MfEngine::speakersStream(ComPtr<IMFStreamSink>& stream) {
    if (!speakers_) {
        const HRESULT result = MFCreateAudioRenderer(nullptr, &speakers_);
        if (FAILED(result)) {
            return result;
        }
    }
    return speakers_->GetStreamSinkByIndex(0, &stream);
}

void MfEngine::drainEvents() {
    ComPtr<IMFMediaEvent> event;
    while (session_ && SUCCEEDED(session_->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event))) {
        takeEvent(*event.Get());
        event.Reset();
    }
}

void MfEngine::commanded(int mode) {
    ++unanswered_;
    mode_ = mode;
}

std::uint32_t MfEngine::setWindow(std::uintptr_t display) {
    frames_.setWindow(ToHwnd(display));
    if (session_) {
        markWindows();
    }
    return 0;
}

// While a file is open, the windows it is drawn into keep their picture when uncovered (see
// video_panel.h): the last clip's, until this one's first frame.
void MfEngine::markWindows() {
    marks_.resize(frames_.windows());
    for (std::size_t window = 0; window < marks_.size(); ++window) {
        marks_[window].drawInto(frames_.window(window));
    }
}

bool MfEngine::addMirror(std::uintptr_t display) {
    if (session_) {
        return false;
    }
    frames_.addMirror(ToHwnd(display));
    return true;
}

std::uint32_t MfEngine::put(media::VideoRect rect) {
    return putInto(0, rect);
}

std::uint32_t MfEngine::putMirror(std::size_t mirror, media::VideoRect rect) {
    return putInto(mirror + 1, rect);
}

std::uint32_t MfEngine::putInto(std::size_t window, media::VideoRect rect) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    if (window >= frames_.windows()) {
        return static_cast<std::uint32_t>(E_INVALIDARG);
    }
    if (rect.right == 0 && rect.bottom == 0) {
        // Its own size, turned as asked.
        const bool sideways = rect.rotation == 90 || rect.rotation == 270;
        rect.right = sideways ? shape_.height : shape_.width;
        rect.bottom = sideways ? shape_.width : shape_.height;
    }
    frames_.setDestination(window, rect);
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
    rect = frames_.destination(0);
    return 0;
}

std::uint32_t MfEngine::describe(media::VideoShape& shape) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    shape = hasVideo_ ? shape_ : media::VideoShape{0, 0, 1, 1, 0};
    return 0;
}

std::uint32_t MfEngine::play() {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    PROPVARIANT from;
    PropVariantInit(&from);  // empty: from the current position
    if (startAt_) {
        from.vt = VT_I8;
        from.hVal.QuadPart = *startAt_;
    }
    const HRESULT result = session_->Start(&GUID_NULL, &from);
    if (SUCCEEDED(result)) {
        startAt_.reset();
        commanded(media::kPlaying);  // the session says so a moment later; callers poll at once
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MfEngine::stop(bool wait) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    HRESULT result = session_->Stop();
    if (SUCCEEDED(result)) {
        commanded(media::kStopped);
    }
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
        commanded(media::kPaused);
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
    shutDown();
    return 0;
}

// In the order Media Foundation asks for: the session closed (until then the grabber may
// still deliver a frame), then the source, the session and the sinks it activated shut down.
// Each holds threads and buffers that releasing alone would leave behind.
void MfEngine::shutDown() {
    {
        const std::lock_guard lock(volumeMutex_);
        streamVolume_.Reset();
    }
    if (session_ && SUCCEEDED(session_->Close())) {
        waitForEvent(MESessionClosed);
    }
    if (source_) {
        source_->Shutdown();
    }
    if (session_) {
        session_->Shutdown();
    }
    for (const ComPtr<IMFActivate>& sink : sinks_) {
        sink->ShutdownObject();
    }
    sinks_.clear();
    marks_.clear();
    frames_.endFile();
    source_.Reset();
    session_.Reset();
    hasVideo_ = false;
    playsSound_ = false;
    shape_ = media::VideoShape{};
    duration_ = 0;
    startAt_.reset();
    volume_ = 100;
    mode_ = media::kNotReady;
    unanswered_ = 0;
}

std::uint32_t MfEngine::mode(int& mode) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    drainEvents();
    applyVolume();  // a fade's sound moves on with the polls too, also in a clip without video
    mode = mode_;
    return 0;
}

}  // namespace morvel::win32
