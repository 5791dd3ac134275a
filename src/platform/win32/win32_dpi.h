// The saver's windows are drawn in each monitor's own pixels: per-monitor DPI aware (version
// 2, or version 1 where the system refuses it, as Wine 8 does), set for the user-interface
// thread in saver mode, before the monitors are asked where they lie. Every other window
// (the settings dialog, the preview, the about box) and every box, also in saver mode (a
// clip that cannot play, the password dialog), keeps the look the program always had: not
// aware, scaled by the system. The manifest says so for the program; the thread says it too,
// for Wine, which takes every program for aware at the system's DPI. The functions come from
// user32 at run time: a system before them has no per-monitor DPI, and the saver runs there
// as it always did.
#pragma once

#include <windows.h>

namespace morvel::win32 {

// The thread's DPI awareness for as long as this lives; the one before comes back after.
class ThreadDpi {
  public:
    enum class Awareness { PerMonitor, Unaware };
    explicit ThreadDpi(Awareness awareness);
    ~ThreadDpi();
    ThreadDpi(const ThreadDpi&) = delete;
    ThreadDpi& operator=(const ThreadDpi&) = delete;
    // Whether the system took it.
    bool taken() const { return previous_ != nullptr; }

  private:
    HANDLE previous_ = nullptr;
};

// The DPI the window is drawn at (96 where the system cannot say).
UINT WindowDpi(HWND window);

}  // namespace morvel::win32
