// The part of Media Foundation's Media Engine the program uses, declared here because the
// cross compiler's headers have none. The declarations follow the platform's documented
// interfaces (the Media Engine's reference on Microsoft Learn): the same methods in the same
// order, the documented identifiers and values. Only what the program calls is named; the
// interfaces it receives but never calls through are left incomplete.
#pragma once

#include <windows.h>

#include <evr.h>
#include <mfidl.h>
#include <mfobjects.h>
#include <oleauto.h>
#include <unknwn.h>

// The system headers make GetCurrentTime a macro for GetTickCount; the engine has a method of
// that name.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

namespace morvel::win32::mediaengine {

// The Media Engine's notices (IMFMediaEngineNotify::EventNotify), as documented.
enum Event : DWORD {
    kEventLoadStart = 1,
    kEventProgress = 2,
    kEventSuspend = 3,
    kEventAbort = 4,
    kEventError = 5,
    kEventEmptied = 6,
    kEventStalled = 7,
    kEventPlay = 8,
    kEventPause = 9,
    kEventLoadedMetadata = 10,
    kEventLoadedData = 11,
    kEventWaiting = 12,
    kEventPlaying = 13,
    kEventCanPlay = 14,
    kEventCanPlayThrough = 15,
    kEventSeeking = 16,
    kEventSeeked = 17,
    kEventTimeUpdate = 18,
    kEventEnded = 19,
    kEventRateChange = 20,
    kEventDurationChange = 21,
    kEventVolumeChange = 22,
    kEventFormatChange = 1000,
    kEventFirstFrameReady = 1009,
};

// MF_MEDIA_ENGINE_ERR: what IMFMediaError::GetErrorCode says.
enum ErrorCode : USHORT {
    kErrorNone = 0,
    kErrorAborted = 1,
    kErrorNetwork = 2,
    kErrorDecode = 3,
    kErrorSourceNotSupported = 4,
    kErrorEncrypted = 5,
};

// MF_MEDIA_ENGINE_PRELOAD and MF_MEDIA_ENGINE_CANPLAY, which appear in the method list.
enum Preload : DWORD {
    kPreloadMissing = 0,
    kPreloadEmpty,
    kPreloadNone,
    kPreloadMetadata,
    kPreloadAutomatic
};
enum CanPlay : DWORD { kCanPlayNotSupported = 0, kCanPlayMaybe, kCanPlayProbably };

// MF_MEDIA_ENGINE_CREATEFLAGS.
enum CreateFlags : DWORD {
    kCreateAudioOnly = 0x1,
    kCreateWaitForStableState = 0x2,
    kCreateForceMute = 0x4,
    kCreateRealTimeMode = 0x8,
    kCreateDisableLocalPlugins = 0x10,
};

// Interfaces the engine hands out that the program never calls through.
struct IMFMediaTimeRange;
struct IMFMediaEngineSrcElements;

// {FC0E10D2-AB2A-4501-A951-06BB1075184C}
struct IMFMediaError : public IUnknown {
    virtual USHORT STDMETHODCALLTYPE GetErrorCode() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetExtendedErrorCode() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetErrorCode(ErrorCode error) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetExtendedErrorCode(HRESULT error) = 0;
};

// {98A1B0BB-03EB-4935-AE7C-93C1FA0E1C93}
struct IMFMediaEngine : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetError(IMFMediaError** error) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetErrorCode(ErrorCode error) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourceElements(IMFMediaEngineSrcElements* elements) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(BSTR url) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentSource(BSTR* url) = 0;
    virtual USHORT STDMETHODCALLTYPE GetNetworkState() = 0;
    virtual Preload STDMETHODCALLTYPE GetPreload() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPreload(Preload preload) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBuffered(IMFMediaTimeRange** buffered) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load() = 0;
    virtual HRESULT STDMETHODCALLTYPE CanPlayType(BSTR type, CanPlay* answer) = 0;
    virtual USHORT STDMETHODCALLTYPE GetReadyState() = 0;
    virtual BOOL STDMETHODCALLTYPE IsSeeking() = 0;
    virtual double STDMETHODCALLTYPE GetCurrentTime() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentTime(double seconds) = 0;
    virtual double STDMETHODCALLTYPE GetStartTime() = 0;
    virtual double STDMETHODCALLTYPE GetDuration() = 0;
    virtual BOOL STDMETHODCALLTYPE IsPaused() = 0;
    virtual double STDMETHODCALLTYPE GetDefaultPlaybackRate() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultPlaybackRate(double rate) = 0;
    virtual double STDMETHODCALLTYPE GetPlaybackRate() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPlaybackRate(double rate) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayed(IMFMediaTimeRange** played) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSeekable(IMFMediaTimeRange** seekable) = 0;
    virtual BOOL STDMETHODCALLTYPE IsEnded() = 0;
    virtual BOOL STDMETHODCALLTYPE GetAutoPlay() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAutoPlay(BOOL autoPlay) = 0;
    virtual BOOL STDMETHODCALLTYPE GetLoop() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLoop(BOOL loop) = 0;
    virtual HRESULT STDMETHODCALLTYPE Play() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual BOOL STDMETHODCALLTYPE GetMuted() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMuted(BOOL muted) = 0;
    virtual double STDMETHODCALLTYPE GetVolume() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVolume(double volume) = 0;
    virtual BOOL STDMETHODCALLTYPE HasVideo() = 0;
    virtual BOOL STDMETHODCALLTYPE HasAudio() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNativeVideoSize(DWORD* width, DWORD* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVideoAspectRatio(DWORD* width, DWORD* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
    virtual HRESULT STDMETHODCALLTYPE TransferVideoFrame(IUnknown* surface,
                                                         const MFVideoNormalizedRect* source,
                                                         const RECT* destination,
                                                         const MFARGB* border) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnVideoStreamTick(LONGLONG* presentationTime) = 0;
};

// {FEE7C112-E776-42B5-9BBF-0048524E2BD5}: what the program implements to hear the engine.
struct IMFMediaEngineNotify : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR param1, DWORD param2) = 0;
};

// {4D645ACE-26AA-4688-9BE1-DF3516990B93}
struct IMFMediaEngineClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(DWORD flags, IMFAttributes* attributes,
                                                     IMFMediaEngine** engine) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTimeRange(IMFMediaTimeRange** range) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateError(IMFMediaError** error) = 0;
};

inline constexpr GUID kClassFactoryClass = {
    0xb44392da, 0x499b, 0x446b, {0xa4, 0xcb, 0x00, 0x5f, 0xea, 0xd0, 0xe6, 0xd5}};
inline constexpr GUID kClassFactoryInterface = {
    0x4d645ace, 0x26aa, 0x4688, {0x9b, 0xe1, 0xdf, 0x35, 0x16, 0x99, 0x0b, 0x93}};
inline constexpr GUID kEngineInterface = {
    0x98a1b0bb, 0x03eb, 0x4935, {0xae, 0x7c, 0x93, 0xc1, 0xfa, 0x0e, 0x1c, 0x93}};
inline constexpr GUID kNotifyInterface = {
    0xfee7c112, 0xe776, 0x42b5, {0x9b, 0xbf, 0x00, 0x48, 0x52, 0x4e, 0x2b, 0xd5}};

// Attributes of CreateInstance: the notice sink (IUnknown), the DXGI device manager
// (IUnknown) and the format of the frames it transfers (a DXGI_FORMAT as UINT32).
inline constexpr GUID kCallbackAttribute = {
    0xc60381b8, 0x83a4, 0x41f8, {0xa3, 0xd0, 0xde, 0x05, 0x07, 0x68, 0x49, 0xa9}};
inline constexpr GUID kDxgiManagerAttribute = {
    0x065702da, 0x1094, 0x486d, {0x86, 0x17, 0xee, 0x7c, 0xc4, 0xee, 0x46, 0x48}};
inline constexpr GUID kVideoOutputFormatAttribute = {
    0x5066893c, 0x8cf9, 0x42bc, {0x8b, 0x8a, 0x47, 0x22, 0x12, 0xe5, 0x27, 0x26}};

}  // namespace morvel::win32::mediaengine
