// Top-level windows: the forms' own windows.
//
// Thread: the user-interface thread only. The handles returned are owned by the caller, who
// gives them back with destroyWindow (UniqueWindow in window.h does that); destroying a
// window destroys its controls and stops its timers. A handle the backend does not know (or
// one already destroyed): std::invalid_argument, in every backend.
#pragma once

#include <functional>
#include <string>

#include "platform/types.h"

namespace morvel::platform {

enum class WindowStyle {
    // No border, no title bar, topmost, covering the primary screen; while it lives the
    // backend blacks out every other screen with windows of its own.
    FullScreenTopmost,
    // No border, no title bar, topmost, covering the rectangle that holds every monitor: its
    // client (0, 0) is that rectangle's top-left corner (monitors() less the smallest left
    // and top). No covers: the form fills every monitor itself. In a locker's window it is
    // FullScreenTopmost.
    FullScreenEveryMonitor,
    // A fixed single border and a title bar without buttons or system menu.
    FixedDialog,
    // A fixed single border and a title bar with a close box only.
    FixedDialogWithClose,
};

struct WindowSpec {
    std::string className;  // the form's class name: "TForm1", "TForm2", ...
    std::string caption;
    WindowStyle style = WindowStyle::FixedDialog;
    Size clientSize;  // ignored for FullScreenTopmost
    // When not empty: the size of the whole window, frame and title bar included, for forms
    // laid out by their outer size; clientSize is then ignored.
    Size outerSize;
    bool centered = true;
    Color background = Color::rgb(0, 0, 0);
    Handle owner = 0;
    // Key events reach the window before its controls.
    bool keyPreview = false;

    // Form-level events. Missing ones do nothing; the close query allows the close.
    std::function<bool()> onCloseQuery;
    std::function<void(int virtualKey)> onKeyDown;
    std::function<void(int button, int x, int y)> onMouseDown;
};

class WindowService {
  public:
    virtual ~WindowService() = default;

    // Creates the window hidden. The form-level events of `design` run on the
    // user-interface thread through invokeHandler.
    virtual Handle createWindow(const WindowSpec& design) = 0;
    virtual void destroyWindow(Handle window) = 0;
    virtual void showWindow(Handle window, bool visible) = 0;
    // Nested loop: shows the window modally, its owner disabled, and returns when it is
    // closed (or the program quits); timers and the application-wide handler keep running.
    virtual void showModal(Handle window) = 0;
    // Runs the close query; when it allows, hides the window (ending its modal loop) and
    // returns true. The caller decides whether the application ends with it.
    virtual bool closeWindow(Handle window) = 0;
    virtual void setWindowColor(Handle window, Color color) = 0;
};

}  // namespace morvel::platform
