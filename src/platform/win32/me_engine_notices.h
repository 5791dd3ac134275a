// What the Media Engine tells the program, kept for polling, and the weight of a fade over
// time.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/win32/mf_media_engine_api.h"

namespace morvel::win32 {

// A fade's weight over time: from `from` to `to` over `durationMs` from its start.
struct FadeRamp {
    double from = 1.0;
    double to = 1.0;
    std::uint32_t durationMs = 0;
    ULONGLONG startMs = 0;
    double at(ULONGLONG nowMs) const;
};

// Hears the Media Engine's notices and keeps what the program polls for. It lives as long
// as its engine, which shuts the Media Engine down before it goes: its reference count is
// therefore nominal.
class EngineNotices final : public mediaengine::IMFMediaEngineNotify {
  public:
    EngineNotices();
    ~EngineNotices();
    EngineNotices(const EngineNotices&) = delete;
    EngineNotices& operator=(const EngineNotices&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR param1, DWORD param2) override;

    void reset();
    // Set once the clip's length and size are known, or it failed to load; for waiting on.
    HANDLE answered() const { return answered_; }
    bool loaded() const { return loaded_; }
    bool failed() const { return failed_; }
    bool ended() const { return ended_; }
    // The engine's thread on which the last notice came (for the report of where they come).
    DWORD noticeThread() const { return noticeThread_; }

  private:
    HANDLE answered_;
    std::atomic<bool> loaded_ = false;
    std::atomic<bool> failed_ = false;
    std::atomic<bool> ended_ = false;
    std::atomic<DWORD> noticeThread_ = 0;
};

}  // namespace morvel::win32
