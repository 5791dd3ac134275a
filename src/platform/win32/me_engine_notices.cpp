#include "platform/win32/me_engine_notices.h"

namespace morvel::win32 {

// --- EngineNotices ---------------------------------------------------------------------------

EngineNotices::EngineNotices() : answered_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

EngineNotices::~EngineNotices() {
    CloseHandle(answered_);
}

HRESULT EngineNotices::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == mediaengine::kNotifyInterface) {
        *object = static_cast<mediaengine::IMFMediaEngineNotify*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT EngineNotices::EventNotify(DWORD event, DWORD_PTR, DWORD) {
    switch (event) {
        case mediaengine::kEventLoadedMetadata:
        case mediaengine::kEventCanPlay:
            loaded_ = true;
            SetEvent(answered_);
            break;
        case mediaengine::kEventError:
            failed_ = true;
            SetEvent(answered_);
            break;
        case mediaengine::kEventEnded:
            ended_ = true;
            break;
        default:
            break;
    }
    return S_OK;
}

void EngineNotices::reset() {
    ResetEvent(answered_);
    loaded_ = false;
    failed_ = false;
    ended_ = false;
}

}  // namespace morvel::win32
