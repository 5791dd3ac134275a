// The loop, the input queue, the delivery of input to windows and controls, and the timers.
#include <algorithm>
#include <stdexcept>

#include "platform/headless/headless_platform.h"

namespace morvel::headless {

using platform::Message;
namespace msg = platform::msg;

namespace {

constexpr std::uintptr_t kTabKey = 0x09;
constexpr std::uintptr_t kF4Key = 0x73;

int MouseButtonOf(std::uint32_t id) {
    return id == msg::kLButtonDown ? 0 : id == msg::kRButtonDown ? 1 : 2;
}

}  // namespace

HeadlessPlatform::HeadlessPlatform(Driver& driver) : driver_(driver) {}

HeadlessPlatform::~HeadlessPlatform() = default;

void HeadlessPlatform::enqueue(const Message& message) {
    queue_.push_back({message, nullptr});
}

void HeadlessPlatform::enqueueAction(std::function<void()> action) {
    queue_.push_back({Message{}, std::move(action)});
}

void HeadlessPlatform::requestEnd() {
    if (endRequestHandler_) {
        const std::function<void()> handler = endRequestHandler_;
        platform::invokeHandler(*this, handler);
    }
    quit();
}

void HeadlessPlatform::setOnBattery(bool onBattery) {
    battery = onBattery;
    enqueueAction([this] {
        if (powerHandler_) {
            const std::function<void()> handler = powerHandler_;
            platform::invokeHandler(*this, handler);
        }
    });
}

void HeadlessPlatform::runLoop(const std::function<bool()>& done) {
    while (!done()) {
        if (dispatchOne() || fireDueTimer(targetMs_)) {
            continue;
        }
        nowMs_ = std::max(nowMs_, targetMs_);
        driver_.waitForTurn();
    }
}

void HeadlessPlatform::runMessageLoop() {
    runLoop([this] { return quitRequested_; });
}

void HeadlessPlatform::processMessages() {
    while (dispatchOne() || fireDueTimer(nowMs_)) {
    }
}

void HeadlessPlatform::endProcessWithReport(const std::string& message) {
    fatalReport = message;
    throw ProcessEnded{};
}

// The application-wide handler sees every message first; one it swallows goes no further.
bool HeadlessPlatform::dispatchOne() {
    if (queue_.empty()) {
        return false;
    }
    QueueItem item = std::move(queue_.front());
    queue_.pop_front();
    if (item.action) {
        platform::invokeHandler(*this, item.action);
        return true;
    }
    bool handled = false;
    platform::invokeMessageHandler(*this, handler_, item.message, handled);
    if (!handled) {
        deliver(item.message);
    }
    return true;
}

// A message addressed to a control also reaches its form's key and mouse events, as the
// forms preview their controls' input. A window disabled by a modal one gets nothing.
void HeadlessPlatform::deliver(const Message& message) {
    const ControlState* control = controlByHandle(message.window);
    const Handle window = control != nullptr ? control->window : message.window;
    const WindowState* target = windowByHandle(window);
    if (target == nullptr) {
        delivered.push_back(message);  // nobody's: the queue still handed it out
        return;
    }
    if (!target->enabled) {
        return;
    }
    delivered.push_back(message);
    deliverToWindow(window, message);
    if (control != nullptr) {
        deliverToControl(message.window, message);
    }
}

void HeadlessPlatform::deliverToWindow(Handle window, const Message& message) {
    const platform::WindowSpec& design = windowRef(window).design;
    switch (message.id) {
        case msg::kKeyDown:
        case msg::kSysKeyDown:
            if (auto onKeyDown = design.onKeyDown) {
                const int key = static_cast<int>(message.wParam);
                platform::invokeHandler(*this, [&] { onKeyDown(key); });
            }
            // The dialog manager's part, after the form has seen the key.
            if (message.id == msg::kKeyDown && message.wParam == kTabKey &&
                windowByHandle(window) != nullptr) {
                moveFocusToNext(window);
            }
            // Alt+F4 asks the window to close, as the system's close box does.
            if (message.id == msg::kSysKeyDown && message.wParam == kF4Key &&
                windowByHandle(window) != nullptr) {
                systemClose(window);
            }
            break;
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            if (auto onMouseDown = design.onMouseDown) {
                const int button = MouseButtonOf(message.id);
                const int x = static_cast<int>(message.lParam & 0xFFFF);
                const int y = static_cast<int>((message.lParam >> 16) & 0xFFFF);
                platform::invokeHandler(*this, [&] { onMouseDown(button, x, y); });
            }
            break;
        default:
            break;
    }
}

// A button goes down and comes up on the same control: that is a click.
void HeadlessPlatform::deliverToControl(Handle control, const Message& message) {
    if (message.id == msg::kLButtonDown) {
        pressed_ = takesInput(control) ? control : 0;
    } else if (message.id == msg::kLButtonUp) {
        const bool click = pressed_ == control && takesInput(control);
        pressed_ = 0;
        if (click) {
            pressControl(control);
        }
    }
}

void HeadlessPlatform::pressControl(Handle handle) {
    const ControlState& control = controlRef(handle);
    const platform::ControlKind kind = control.design.kind;
    if (kind == platform::ControlKind::RadioButton) {
        setChecked(handle, true);
    } else if (kind == platform::ControlKind::CheckBox) {
        setChecked(handle, !control.checked);
    }
    // Labels, groups, panels and overlays never take the focus.
    if (kind != platform::ControlKind::Label && kind != platform::ControlKind::GroupBox &&
        kind != platform::ControlKind::Panel && kind != platform::ControlKind::Overlay) {
        setFocus(handle);
    }
    platform::invokeHandler(*this, controlRef(handle).design.onClick);
}

// --- Timers ------------------------------------------------------------------------------

void HeadlessPlatform::startTimer(Handle window, int timerId, int intervalMs,
                                  std::function<void()> callback) {
    windowRef(window);
    stopTimer(window, timerId);
    timers_.push_back({window, timerId, intervalMs, nowMs_ + intervalMs, std::move(callback)});
}

void HeadlessPlatform::stopTimer(Handle window, int timerId) {
    std::erase_if(timers_, [&](const Timer& t) { return t.window == window && t.id == timerId; });
}

bool HeadlessPlatform::timerRunning(Handle window, int id) const {
    return std::any_of(timers_.begin(), timers_.end(),
                       [&](const Timer& t) { return t.window == window && t.id == id; });
}

bool HeadlessPlatform::fireDueTimer(std::int64_t limitMs) {
    auto due = std::min_element(timers_.begin(), timers_.end(),
                                [](const Timer& a, const Timer& b) { return a.dueMs < b.dueMs; });
    if (due == timers_.end() || due->dueMs > limitMs) {
        return false;
    }
    nowMs_ = std::max(nowMs_, due->dueMs);
    due->dueMs += due->intervalMs;
    // The callback may stop or restart its own timer: call a copy.
    auto callback = due->callback;
    platform::invokeHandler(*this, callback);
    return true;
}

}  // namespace morvel::headless
