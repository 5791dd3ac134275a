// MfEngine's clip length, position, seek, volume and fade (see mf_engine.h).
#include <mferror.h>

#include <algorithm>
#include <vector>

#include "platform/win32/mf_engine.h"

namespace morvel::win32 {

namespace {

// Media Foundation counts time in 100 ns units.
constexpr LONGLONG kHundredNsPerMs = 10'000;

}  // namespace

std::uint32_t MfEngine::length(std::uint32_t& ms) {
    ms = static_cast<std::uint32_t>(duration_ / kHundredNsPerMs);
    return session_ ? 0 : static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
}

// The presentation clock's time; before the first play after a seek, where it will start.
std::uint32_t MfEngine::position(std::uint32_t& ms) {
    ms = 0;
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    if (startAt_) {
        ms = static_cast<std::uint32_t>(*startAt_ / kHundredNsPerMs);
        return 0;
    }
    ComPtr<IMFClock> clock;
    ComPtr<IMFPresentationClock> presentation;
    MFTIME time = 0;
    HRESULT result = session_->GetClock(&clock);
    if (SUCCEEDED(result)) {
        result = clock.As(&presentation);
    }
    if (SUCCEEDED(result)) {
        result = presentation->GetTime(&time);
    }
    if (result == MF_E_CLOCK_NO_TIME_SOURCE) {
        return 0;  // not started yet: at the start
    }
    if (SUCCEEDED(result) && time > 0) {
        ms = static_cast<std::uint32_t>(time / kHundredNsPerMs);
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t MfEngine::seek(std::uint32_t ms) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    LONGLONG at = static_cast<LONGLONG>(ms) * kHundredNsPerMs;
    if (duration_ > 0 && at >= duration_) {
        at = duration_ - 1;
    }
    startAt_ = at;
    return 0;
}

std::uint32_t MfEngine::setVolume(int percent) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    volume_ = std::clamp(percent, 0, 100);
    applyVolume();
    return 0;
}

std::uint32_t MfEngine::fade(double from, double to, std::uint32_t durationMs) {
    if (!session_) {
        return static_cast<std::uint32_t>(MF_E_INVALIDREQUEST);
    }
    frames_.fade(from, to, durationMs);
    applyVolume();
    return 0;
}

// The audio renderer's own stream volume: the session's simple volume is the audio session's,
// which every renderer of the program shares, and two clips dissolving are heard at once.
void MfEngine::findStreamVolume() {
    ComPtr<IMFGetService> services;
    ComPtr<IMFAudioStreamVolume> volume;
    if (playsSound_ && SUCCEEDED(session_.As(&services)) &&
        SUCCEEDED(services->GetService(MR_STREAM_VOLUME_SERVICE, IID_PPV_ARGS(&volume)))) {
        const std::lock_guard lock(volumeMutex_);
        streamVolume_ = volume;
    }
}

void MfEngine::applyVolume() {
    const float level = static_cast<float>(volume_ / 100.0 * frames_.weight());
    const std::lock_guard lock(volumeMutex_);
    UINT32 channels = 0;
    if (!streamVolume_ || FAILED(streamVolume_->GetChannelCount(&channels)) || channels == 0) {
        return;
    }
    const std::vector<float> levels(channels, level);
    streamVolume_->SetAllVolumes(channels, levels.data());
}

}  // namespace morvel::win32
