// The seam between the program and the operating system.
//
// Everything the program asks of the operating system goes through `Platform`. The forms in
// saver/ and settings/ create their windows and controls here with the positions, captions,
// fonts and colours they need; a backend never knows which form it is drawing. Backends live
// in platform/<name>/ and are the only code that includes an operating-system header.
//
// Ownership: handles returned here are owned by the caller, who gives them back with the
// matching destroy call (the RAII wrappers in window.h do that). Callbacks handed in are owned
// by the backend and called on the one user-interface thread, always through
// `invokeHandler`, so that an exception leaving them becomes the standard error report.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/media_engine.h"

namespace morvel::platform {

// Win32 message identifiers. Every backend translates its native input into these.
namespace msg {
inline constexpr std::uint32_t kKeyDown = 0x0100;
inline constexpr std::uint32_t kKeyUp = 0x0101;
inline constexpr std::uint32_t kChar = 0x0102;
inline constexpr std::uint32_t kSysKeyDown = 0x0104;
inline constexpr std::uint32_t kSysKeyUp = 0x0105;
inline constexpr std::uint32_t kMouseMove = 0x0200;
inline constexpr std::uint32_t kLButtonDown = 0x0201;
inline constexpr std::uint32_t kLButtonUp = 0x0202;
inline constexpr std::uint32_t kLButtonDblClk = 0x0203;
inline constexpr std::uint32_t kRButtonDown = 0x0204;
inline constexpr std::uint32_t kRButtonUp = 0x0205;
inline constexpr std::uint32_t kMButtonDown = 0x0207;
inline constexpr std::uint32_t kMButtonUp = 0x0208;
inline constexpr std::uint32_t kMouseWheel = 0x020A;
}  // namespace msg

// An opaque window or control handle; 0 is "none". On Win32 it is the HWND's value.
using Handle = std::uintptr_t;

struct Message {
    Handle window = 0;
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    // The system's window-text colour, whatever it is on this desktop; red/green/blue unused.
    bool systemWindowText = false;
    friend bool operator==(const Color&, const Color&) = default;

    static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return Color{r, g, b, false};
    }
    static constexpr Color windowText() { return Color{0, 0, 0, true}; }
};

struct Font {
    std::string face = "Arial";
    // Exactly one of the two sizes is given: a pixel height of the characters, or points.
    int pixelHeight = 0;
    int points = 8;
    bool bold = false;
    Color color = Color::windowText();
    friend bool operator==(const Font&, const Font&) = default;
};

enum class WindowStyle {
    // No border, no title bar, topmost, covering the primary screen; while it lives the
    // backend blacks out every other screen with windows of its own.
    FullScreenTopmost,
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

enum class ControlKind {
    Label,
    Panel,
    Button,
    RadioButton,
    GroupBox,
    ListBox,
    Edit,
    ScrollBar,
};

enum class Bevel { None, Lowered };

struct ControlSpec {
    ControlKind kind = ControlKind::Label;
    std::string name;   // the control's name in its form: "lblinfo", "Button2", ...
    Handle parent = 0;  // a group or panel of the same window; 0 for the window itself
    Rect bounds;        // within the parent's client area; width/height 0 = natural size
    std::string caption;
    Font font;
    std::optional<Color> background;  // none: the parent's colour
    std::string hint;                 // tooltip; empty for none
    // Buttons: the name of one of the program's own small pictures, shown beside the caption
    // ("add", "folder", "clear", "remove", "sound", "preview", "support", "web", "ok",
    // "play", "pause", "stop"); empty for none.
    std::string image;
    bool visible = true;
    bool enabled = true;
    bool wordWrap = false;
    Bevel bevel = Bevel::None;
    bool defaultButton = false;  // Enter presses it
    int listRowHeight = 0;       // list boxes: 0 for the font's height
    // The control's place in the keyboard focus order among the controls of its parent,
    // from 0; -1: after those that have a place, in creation order.
    int tabOrder = -1;
    // Scroll bars: the step of an arrow click and of a click beside the thumb.
    int smallChange = 1;
    int largeChange = 1;

    std::function<void()> onClick;
    std::function<void()> onDoubleClick;
    std::function<void()> onScroll;  // scroll bars: after each scroll action
};

enum class MessageBoxKind { Plain, Information, Warning, Error, Confirmation };

struct FileFilter {
    std::string label;     // "MPEG AVI MOV WMV"
    std::string patterns;  // "*.mpg;*.avi"
};

struct OpenFileRequest {
    std::string title;
    std::vector<FileFilter> filters;  // the first one is in force when the dialog opens
    std::string initialDirectory;
};

enum class ShowCommand { Normal, Maximized };

// The mixer's published numbers the core passes on unchanged.
namespace mixer {
inline constexpr std::uint32_t kComponentTypeDstSpeakers = 4;
inline constexpr std::uint32_t kControlTypeMute = 0x20010002;
}  // namespace mixer

// A registry key opened read-only; closed when destroyed.
class RegistryKey {
  public:
    virtual ~RegistryKey() = default;
    virtual bool hasValue(std::string_view name) = 0;
    // The value as a 32-bit integer; empty when it is missing or of another type.
    virtual std::optional<std::uint32_t> readInteger(std::string_view name) = 0;
};

// A library loaded at run time by full path; released when destroyed. The two entry points
// the program calls are typed here so that no operating-system type leaks into the core.
class Library {
  public:
    virtual ~Library() = default;
    virtual bool hasEntryPoint(std::string_view name) = 0;
    // "VerifyScreenSavePwd": shows the platform's password dialog owned by `owner`; true when
    // the right password was given. Only call it when hasEntryPoint said so.
    virtual bool verifyScreenSavePassword(Handle owner) = 0;
    // "PwdChangePasswordA": shows the platform's password-change dialog for `provider`.
    virtual void changePassword(const std::string& provider, Handle owner) = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // --- Application ---------------------------------------------------------------------
    virtual void setApplicationTitle(const std::string& title) = 0;
    virtual std::string applicationTitle() const = 0;
    // The application-wide handler sees every message the thread takes from its queue, also
    // inside nested modal loops, before it is dispatched. It may set `handled` to swallow it.
    // An exception that leaves it ends the process with a report (see endProcessWithReport).
    using MessageHandler = std::function<void(const Message&, bool& handled)>;
    virtual void setMessageHandler(MessageHandler handler) = 0;
    // Runs the message loop until quit() is called.
    virtual void runMessageLoop() = 0;
    // Processes the messages now waiting in the queue, then returns.
    virtual void processMessages() = 0;
    virtual void quit() = 0;
    // Shows the report of an exception that left the application-wide handler and ends the
    // process. It does not return to its caller.
    [[noreturn]] virtual void endProcessWithReport(const std::string& message) = 0;

    // --- Windows and controls ------------------------------------------------------------
    virtual Handle createWindow(const WindowSpec& design) = 0;
    virtual void destroyWindow(Handle window) = 0;
    virtual void showWindow(Handle window, bool visible) = 0;
    // Shows the window modally and runs a nested loop until it is closed.
    virtual void showModal(Handle window) = 0;
    // Runs the close query; when it allows, hides the window (ending its modal loop) and
    // returns true. The caller decides whether the application ends with it.
    virtual bool closeWindow(Handle window) = 0;
    virtual void setWindowColor(Handle window, Color color) = 0;

    virtual Handle createControl(Handle window, const ControlSpec& design) = 0;
    virtual void setBounds(Handle control, Rect bounds) = 0;
    virtual Rect bounds(Handle control) const = 0;
    virtual void setCaption(Handle control, const std::string& caption) = 0;
    virtual std::string caption(Handle control) const = 0;
    virtual void setVisible(Handle control, bool visible) = 0;
    virtual bool isVisible(Handle control) const = 0;
    virtual void setEnabled(Handle control, bool enabled) = 0;
    virtual bool isEnabled(Handle control) const = 0;
    virtual void setFocus(Handle control) = 0;
    // Radio buttons: checking one unchecks the others of its parent.
    virtual void setChecked(Handle control, bool checked) = 0;
    virtual bool isChecked(Handle control) const = 0;
    // List boxes.
    virtual void addItem(Handle list, const std::string& text) = 0;
    virtual void deleteItem(Handle list, int index) = 0;
    virtual void clearItems(Handle list) = 0;
    virtual int itemCount(Handle list) const = 0;
    virtual std::string itemText(Handle list, int index) const = 0;
    virtual int selectedIndex(Handle list) const = 0;  // -1 for none
    virtual void setSelectedIndex(Handle list, int index) = 0;
    // Scroll bars.
    virtual void setScrollRange(Handle bar, int minimum, int maximum) = 0;
    virtual void setScrollPosition(Handle bar, int position) = 0;
    virtual int scrollPosition(Handle bar) const = 0;

    // Window timers: `callback` runs every `intervalMs` until the timer is stopped.
    virtual void startTimer(Handle window, int timerId, int intervalMs,
                            std::function<void()> callback) = 0;
    virtual void stopTimer(Handle window, int timerId) = 0;

    // --- Modal boxes and dialogs ---------------------------------------------------------
    // A modal box with one OK button; returns when the user has closed it.
    virtual void messageBox(Handle owner, const std::string& caption, const std::string& text,
                            MessageBoxKind kind) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<std::string> openFileDialog(Handle owner,
                                                      const OpenFileRequest& request) = 0;
    // The chosen folder's full path, or nothing when the user cancelled; the picker opens at
    // `initialDirectory` when it is given and exists.
    virtual std::optional<std::string> folderDialog(Handle owner, const std::string& title,
                                                    const std::string& initialDirectory) = 0;
    // The names (not paths) of the regular files directly in `folder`.
    virtual std::vector<std::string> filesInFolder(const std::string& folder) = 0;

    // --- Screen and system ---------------------------------------------------------------
    virtual Size screenSize() const = 0;
    // Raises (true) or lowers (false) the cursor display count; returns the new count.
    virtual int showCursor(bool show) = 0;
    virtual void setScreenSaverRunning(bool running) = 0;
    // The directory that holds the settings file; empty when it cannot be had.
    virtual std::string windowsDirectory() = 0;
    // The user's Local AppData folder, which holds the user's own copy of the settings file
    // where the Windows directory is not the user's to write; empty where the platform keeps
    // no copy per user or the folder cannot be had.
    virtual std::string localAppDataDirectory() = 0;
    // The directory of the password components; empty when it cannot be had.
    virtual std::string systemDirectory() = 0;
    virtual char pathSeparator() const = 0;
    // The platform id of the version record: 2 for the NT family.
    virtual int platformId() = 0;
    virtual bool fileExists(const std::string& path) = 0;  // a file, not a directory
    // The milliseconds since midnight, universal time.
    virtual std::uint32_t millisecondsSinceMidnight() = 0;

    // Opens an existing key under the current user's root, or nothing.
    virtual std::unique_ptr<RegistryKey> openCurrentUserKey(const std::string& path) = 0;
    // Loads a library by full path (or bare name), or nothing.
    virtual std::unique_ptr<Library> loadLibrary(const std::string& path) = 0;
    // A top-level window with this class name and caption exists.
    virtual bool findWindow(const std::string& className, const std::string& caption) = 0;
    // The shell's "open" verb; returns the shell's value (below 32: failure).
    virtual std::intptr_t shellOpen(Handle parent, const std::string& target, ShowCommand show) = 0;

    // --- Mixer, addressed by device identifier; each returns the platform's result code ---
    virtual std::uint32_t mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                        std::uint32_t& lineId) = 0;
    virtual std::uint32_t mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                           std::uint32_t controlType, std::uint32_t& controlId) = 0;
    virtual std::uint32_t mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                          bool value) = 0;

    // --- Media -----------------------------------------------------------------------------
    virtual std::unique_ptr<media::MediaEngine> createMediaEngine() = 0;
};

// Runs an event handler; an exception that leaves it is shown as the standard error report.
void invokeHandler(Platform& platform, const std::function<void()>& handler);

// The standard error report: a box captioned with the application title, with the error
// icon, showing the message with a full stop appended when its last character sorts after ".".
void showErrorReport(Platform& platform, const std::string& message);
std::string errorReportText(const std::string& message);

// Runs the application-wide handler; an exception that leaves it ends the process with a
// report (Platform::endProcessWithReport). Backends call the handler only through this.
void invokeMessageHandler(Platform& platform, const Platform::MessageHandler& handler,
                          const Message& message, bool& handled);

}  // namespace morvel::platform
