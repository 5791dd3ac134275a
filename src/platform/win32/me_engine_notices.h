// What the Media Engine tells the program, kept for polling. The engine gives its notices on
// threads of its own (under Wine, never the one that made it).
#pragma once

#include <windows.h>

#include <atomic>

#include "platform/win32/mf_media_engine_api.h"

namespace morvel::win32 {

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

  private:
    HANDLE answered_;
    std::atomic<bool> loaded_ = false;
    std::atomic<bool> failed_ = false;
    std::atomic<bool> ended_ = false;
};

}  // namespace morvel::win32
