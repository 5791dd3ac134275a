// The event loop (platform/event_loop.h): the message pump, the hook that shows every removed
// message to the application-wide handler, the end of the process with a report, and the
// forms' timers.
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// The platform whose hook runs on this thread. A hook procedure has no context argument.
Win32Platform* gHookOwner = nullptr;

}  // namespace

void Win32Platform::installMessageHook() {
    gHookOwner = this;
    hook_.reset(SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId()));
}

void Win32Platform::removeMessageHook() {
    hook_.reset();
    gHookOwner = nullptr;
}

void Win32Platform::setMessageHandler(MessageHandler handler) {
    handler_ = std::move(handler);
}

LRESULT CALLBACK Win32Platform::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    // Only messages taken off the queue count; a look with PM_NOREMOVE is not a message seen.
    if (code == HC_ACTION && wParam == PM_REMOVE && gHookOwner != nullptr) {
        gHookOwner->seeRemovedMessage(*reinterpret_cast<MSG*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Win32Platform::seeRemovedMessage(MSG& message) {
    if (!handler_ || ending_) {
        return;
    }
    const platform::Message seen{ToHandle(message.hwnd), message.message, message.wParam,
                                 message.lParam};
    bool handled = false;
    // A copy: the handler may replace or clear itself while it runs.
    const MessageHandler handler = handler_;
    reportingExceptions([&] { platform::invokeMessageHandler(*this, handler, seen, handled); });
    if (handled) {
        message.message = WM_NULL;
    }
}

void Win32Platform::dispatch(MSG& message) {
    if (message.message == WM_NULL) {
        return;  // swallowed by the application-wide handler, or a wake-up call
    }
    previewKey(message);
    if (handleDialogKeys(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Win32Platform::runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        dispatch(message);
    }
}

void Win32Platform::processMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The quit belongs to the loop that called us: hand it back.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

void Win32Platform::quit() {
    PostQuitMessage(0);
}

void Win32Platform::endProcessWithReport(const std::string& message) {
    ending_ = true;
    // The report's own loop must not reach the failing handler again.
    hook_.reset();
    while (ShowCursor(TRUE) < 0) {
    }
    const ThreadDpi unaware(ThreadDpi::Awareness::Unaware);  // a box like every other
    MessageBoxW(nullptr, Widen(message).c_str(), Widen(title_).c_str(),
                MB_ICONERROR | MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
    ExitProcess(1);
}

// --- Timers ------------------------------------------------------------------------------------

void Win32Platform::startTimer(Handle window, int timerId, int intervalMs,
                               std::function<void()> callback) {
    WindowData& data = windowData(window);
    data.timers[timerId] = std::move(callback);
    SetTimer(ToHwnd(window), static_cast<UINT_PTR>(timerId), static_cast<UINT>(intervalMs),
             nullptr);
}

void Win32Platform::stopTimer(Handle window, int timerId) {
    auto found = windows_.find(ToHwnd(window));
    if (found == windows_.end()) {
        return;  // the window and its timers are gone already
    }
    KillTimer(ToHwnd(window), static_cast<UINT_PTR>(timerId));
    found->second->timers.erase(timerId);
}

// A form's WM_TIMER: the callback of the timer, if it still runs.
void Win32Platform::onTimer(WindowData& data, int timerId) {
    auto found = data.timers.find(timerId);
    if (found == data.timers.end()) {
        return;
    }
    // A copy: the callback may stop or restart its own timer.
    const auto callback = found->second;
    platform::invokeHandler(*this, callback);
}

}  // namespace morvel::win32
