// Owning wrappers the forms use for what they create through the seam.
#pragma once

#include <functional>
#include <utility>

#include "platform/platform.h"

namespace morvel::platform {

// A top-level window, destroyed with its controls when the wrapper goes.
class UniqueWindow {
  public:
    UniqueWindow(Platform& platform, const WindowSpec& design)
        : platform_(&platform), handle_(platform.createWindow(design)) {}
    ~UniqueWindow() {
        if (handle_ != 0) {
            platform_->destroyWindow(handle_);
        }
    }
    UniqueWindow(const UniqueWindow&) = delete;
    UniqueWindow& operator=(const UniqueWindow&) = delete;

    Handle get() const { return handle_; }

  private:
    Platform* platform_;
    Handle handle_;
};

// A window timer that can be switched on and off, like a timer component on a form.
class WindowTimer {
  public:
    WindowTimer(Platform& platform, Handle window, int id, int intervalMs,
                std::function<void()> onTimer)
        : platform_(platform),
          window_(window),
          id_(id),
          intervalMs_(intervalMs),
          onTimer_(std::move(onTimer)) {}
    ~WindowTimer() { setEnabled(false); }
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        if (enabled == enabled_) {
            return;
        }
        enabled_ = enabled;
        if (enabled) {
            platform_.startTimer(window_, id_, intervalMs_, onTimer_);
        } else {
            platform_.stopTimer(window_, id_);
        }
    }

  private:
    Platform& platform_;
    Handle window_;
    int id_;
    int intervalMs_;
    std::function<void()> onTimer_;
    bool enabled_ = false;
};

}  // namespace morvel::platform
