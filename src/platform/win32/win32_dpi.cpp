#include "platform/win32/win32_dpi.h"

namespace morvel::win32 {

namespace {

// The awareness contexts, as the system numbers them.
const HANDLE kUnaware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1));
const HANDLE kPerMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
const HANDLE kPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
constexpr UINT kDefaultDpi = 96;

template <typename Function>
Function User32(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

HANDLE SetContext(HANDLE context) {
    using Set = HANDLE(WINAPI*)(HANDLE);
    using IsValid = BOOL(WINAPI*)(HANDLE);
    static const auto set = User32<Set>("SetThreadDpiAwarenessContext");
    static const auto isValid = User32<IsValid>("IsValidDpiAwarenessContext");
    if (set == nullptr || (isValid != nullptr && !isValid(context))) {
        return nullptr;
    }
    return set(context);
}

}  // namespace

ThreadDpi::ThreadDpi(Awareness awareness) {
    if (awareness == Awareness::Unaware) {
        previous_ = SetContext(kUnaware);
        return;
    }
    previous_ = SetContext(kPerMonitorV2);
    if (previous_ == nullptr) {
        previous_ = SetContext(kPerMonitor);
    }
}

ThreadDpi::~ThreadDpi() {
    if (previous_ != nullptr) {
        SetContext(previous_);
    }
}

UINT WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto get = User32<GetDpi>("GetDpiForWindow");
    const UINT dpi = get != nullptr ? get(window) : 0;
    return dpi != 0 ? dpi : kDefaultDpi;
}

}  // namespace morvel::win32
