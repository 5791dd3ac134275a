// What the Win32 backend's tests share: a platform, a test form and controls on it, and
// where a control's window really lies.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/owned.h"
#include "platform/win32/win32_platform.h"

namespace morvel::win32 {

using platform::ControlKind;
using platform::ControlSpec;
using platform::Handle;
using platform::Rect;

class Win32PlatformTest : public ::testing::Test {
  protected:
    Win32PlatformTest() : platform_(GetModuleHandleA(nullptr)) {}

    Handle form(const std::string& className = "TFormTest") {
        platform::WindowSpec design;
        design.className = className;
        design.caption = "Backend test";
        design.clientSize = {400, 300};
        return platform_.createWindow(design);
    }

    Handle control(Handle window, ControlKind kind, Rect bounds, Handle parent = 0) {
        ControlSpec design;
        design.kind = kind;
        design.bounds = bounds;
        design.parent = parent;
        design.caption = "x";
        return platform_.createControl(window, design);
    }

    // Where the control's window really is, in its form's client coordinates.
    static Rect placed(Handle handle) {
        RECT screen;
        GetWindowRect(ToHwnd(handle), &screen);
        POINT origin{screen.left, screen.top};
        ScreenToClient(GetParent(ToHwnd(handle)), &origin);
        return Rect{origin.x, origin.y, screen.right - screen.left, screen.bottom - screen.top};
    }

    Win32Platform platform_;
};

}  // namespace morvel::win32
