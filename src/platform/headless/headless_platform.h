// The headless backend: the operating system simulated in memory, a null driver for the tests.
//
// It is a simulator, not a stub. Time is virtual: it moves towards a target the driver sets,
// and timers fire as it passes, also inside modal boxes. Input is a queue of Win32 message
// identifiers the driver fills. Message boxes, file and folder dialogs and the password
// dialogs are recorded as prompts and answered by the driver. Media are scripted per file.
// The registry, the mixer, the password components, the screens and the window list are fakes
// the driver sets up and reads back. Calls out of order are recorded as misuse, so that a
// test fails on them; an unknown handle also throws std::invalid_argument, as the seam says.
//
// The backend does not start the program and does not know who drives it: whenever its loop
// has nothing left to do it hands control to its `Driver` (the test harness) and waits.
//
// Files by service: headless_loop.cpp (the loop, input, timers), headless_windows.cpp
// (windows, controls, focus), headless_lists.cpp (list boxes, scroll bars),
// headless_dialogs.cpp (prompts), headless_system.cpp (screens, host, system, mixer),
// headless_media.cpp (the scripted media engine).
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/media_engine.h"

#include "platform/platform.h"

namespace morvel::headless {

using platform::Handle;

// Whoever drives the simulated machine. The backend calls it on the program's thread when
// its loop is idle: no message queued, no timer due before the target time. It returns when
// there is something to do again (input queued, the target time moved, a prompt answered);
// it may throw to unwind the program, with an exception of its own that is no
// std::exception, so that no handler catches it.
class Driver {
  public:
    virtual ~Driver() = default;
    virtual void waitForTurn() = 0;
};

// How one media file behaves when it is opened and played.
struct MediaScript {
    int lengthMs = 10'000;
    int width = 320;
    int height = 240;
    int pixelAspectNum = 1;  // the shape of its pixels, width over height
    int pixelAspectDen = 1;
    int rotation = 0;  // the turn its file asks for, degrees clockwise
    bool hasVideo = true;
    std::uint32_t openError = 0;  // non-zero: open fails with this code
    std::string openErrorText;    // its text; empty: the engine's own table
    std::uint32_t playError = 0;  // non-zero: play fails (kept in the result code only)
    bool canFade = true;          // its pictures can be blended (false: drawn straight)
    bool tellsLength = true;      // false: its length reads as 0, as an unknown one does
};

// One Play request that reached a media engine.
struct PlayRecord {
    std::string file;
    Handle display = 0;
    int destinationWidth = 0;  // the device's display rectangle at the time
    int destinationHeight = 0;
    media::VideoRect picture;  // the whole of it: the size, corner and turn of the picture
    platform::Rect panel;      // bounds of the display window at the time (empty without one)
    bool onScreen = false;     // the display window's form was shown at the time
    bool mirrored = false;     // drawn by a device whose own display is another
    std::int64_t atMs = 0;
};

struct OpenRecord {
    std::string file;
    bool wait = true;
    std::int64_t atMs = 0;
    std::uintptr_t expectedWindow = 0;  // the window told before the open
};

// A modal box or dialog the program showed; the driver answers it.
struct Prompt {
    enum class Kind { MessageBox, OpenFile, Folder, Password, PasswordChange };
    Kind kind = Kind::MessageBox;
    platform::MessageBoxKind boxKind = platform::MessageBoxKind::Plain;
    Handle owner = 0;
    std::string caption;
    std::string text;
    platform::OpenFileRequest request;  // also the start folder of a folder dialog
    std::int64_t atMs = 0;

    bool answered = false;
    bool seen = false;  // the test has looked at it
    std::optional<std::string> chosenPath;
    bool passwordAccepted = false;
};

struct ControlState {
    Handle handle = 0;
    Handle window = 0;
    platform::ControlSpec design;
    platform::Rect bounds;
    std::string caption;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    bool focused = false;
    std::vector<std::string> items;
    int selected = -1;
    int scrollMin = 0;
    int scrollMax = 100;
    int scrollPos = 0;
};

struct WindowState {
    Handle handle = 0;
    platform::WindowSpec design;
    platform::Color color;
    bool visible = false;
    bool modal = false;
    // False while a modal window it owns runs: it takes no input and its controls no clicks.
    bool enabled = true;
    std::vector<Handle> controls;  // in creation order
};

struct MixerFake {
    std::uint32_t lineResult = 0;
    std::uint32_t controlResult = 0;
    std::uint32_t setResult = 0;
    std::uint32_t lineId = 7;
    std::uint32_t controlId = 11;
    std::vector<bool> muteValues;  // every value set, in order
    int queries = 0;               // line queries made
};

struct LibraryFake {
    std::set<std::string> entryPoints;
};

struct ShellRecord {
    Handle parent = 0;
    std::string target;
    platform::ShowCommand show = platform::ShowCommand::Normal;
};

// Thrown on the program's thread when the program ends itself with a report.
struct ProcessEnded {};

class HeadlessPlatform final : public platform::Platform {
  public:
    explicit HeadlessPlatform(Driver& driver);
    ~HeadlessPlatform() override;

    // --- Set-up and observation, for the driver ---------------------------------------------
    // The monitors, the primary first; they may differ in size and lie at negative positions.
    std::vector<platform::Rect> screens{{0, 0, 1024, 768}};
    // Where the first of `screens` lies among every monitor: a locker's window on another.
    int firstMonitor = 0;
    // The window system's limit, as Win32 has it.
    platform::Size largestWindow{32767, 32767};
    int platformIdValue = 2;
    std::string windowsDir;
    std::string localAppDataDir;  // empty: no copy of the settings per user
    std::string stateDir;         // the saver's own state; empty: none can be had
    std::string systemDir;
    std::uint32_t clockBaseMs = 12 * 3600 * 1000;         // the virtual day starts at noon
    std::string dateText = "Thursday, 10 December 2026";  // the local date, as the user writes it
    std::map<std::string, MediaScript> media;             // by full path
    // The engines draw one decoding into several windows (MediaEngine::addMirror); each
    // window's play is recorded, a mirror's marked so.
    bool mediaMirrors = false;
    MixerFake mixer;
    // The power source; a test changes it with setOnBattery, which tells the program.
    bool battery = false;
    int keepAwakeReleases = 0;  // releaseKeepAwake calls
    // Registry keys under the current user: key path -> value name -> integer (nothing: a
    // value of another type).
    std::map<std::string, std::map<std::string, std::optional<std::uint32_t>>> registry;
    std::map<std::string, LibraryFake> libraries;  // by the path they load from
    std::vector<std::string> libraryLoads;
    int librariesLoaded = 0;                                          // loaded and not yet released
    std::vector<std::pair<std::string, std::string>> foreignWindows;  // class, caption
    std::intptr_t shellResult = 42;
    std::vector<ShellRecord> shellOpens;

    int cursorCount = 0;
    bool screenSaverRunning = false;
    std::vector<bool> screenSaverRunningCalls;
    std::vector<PlayRecord> plays;
    std::vector<OpenRecord> opens;
    int mediaCloses = 0;
    // Every play, pause, resume, stop and close that reached an open engine, in order, as
    // "<request> <file>"; also "audible", "silent", "seek <ms>", "volume <percent>",
    // "fade <from>-<to> <ms>" (weights in hundredths) before the file.
    std::vector<std::string> mediaRequests;
    int enginesAlive = 0;
    std::vector<platform::Renderer> rendererChoices;  // every preferRenderer, in order
    std::vector<platform::Message> delivered;         // messages dispatched to their window
    std::deque<Prompt> prompts;
    std::optional<std::string> fatalReport;
    // Calls made out of order, on unknown handles, with pictures the program does not have.
    // Recorded also where the call throws, so that a test fails even when a handler caught it.
    mutable std::vector<std::string> misuse;

    std::int64_t now() const { return nowMs_; }
    const WindowState* window(const std::string& className) const;
    const ControlState* control(const std::string& name) const;
    // The control of this name in the newest window of this class (forms may share names).
    const ControlState* control(const std::string& className, const std::string& name) const;
    const ControlState* controlByHandle(Handle handle) const;
    const WindowState* windowByHandle(Handle handle) const;
    bool timerRunning(Handle window, int id) const;
    // The window that takes input now: the newest visible window that is not disabled.
    Handle activeWindow() const;
    // The control that has the keyboard focus in this window, or none.
    const ControlState* focusedControl(Handle window) const;
    // The area of a window's client in screen pixels: the primary screen for a full-screen
    // window; else its client size at the origin (a fixed frame taken off an outer size).
    platform::Rect clientArea(Handle window) const;
    // A control's bounds in its window's client coordinates (its parents' offsets added).
    platform::Rect boundsInWindow(Handle control) const;
    // The control a click at this point of the window's client lands on: the innermost
    // visible one there, the first created on top, as Win32 stacks a dialog's controls.
    const ControlState* controlAt(Handle window, int x, int y) const;
    // Whether the user can reach the control now: it and its parents shown and enabled, its
    // window not disabled by a modal window.
    bool takesInput(Handle control) const;

    // --- Platform --------------------------------------------------------------------------
    void setApplicationTitle(const std::string& title) override { title_ = title; }
    std::string applicationTitle() const override { return title_; }
    void setMessageHandler(MessageHandler handler) override { handler_ = std::move(handler); }
    void setEndRequestHandler(std::function<void()> handler) override {
        endRequestHandler_ = std::move(handler);
    }
    void runMessageLoop() override;
    void processMessages() override;
    void quit() override { quitRequested_ = true; }
    [[noreturn]] void endProcessWithReport(const std::string& message) override;

    Handle createWindow(const platform::WindowSpec& design) override;
    void destroyWindow(Handle window) override;
    void showWindow(Handle window, bool visible) override;
    void showModal(Handle window) override;
    bool closeWindow(Handle window) override;
    void setWindowColor(Handle window, platform::Color color) override;

    Handle createControl(Handle window, const platform::ControlSpec& design) override;
    void setBounds(Handle control, platform::Rect bounds) override;
    platform::Rect bounds(Handle control) const override;
    void setCaption(Handle control, const std::string& caption) override;
    std::string caption(Handle control) const override;
    void setVisible(Handle control, bool visible) override;
    bool isVisible(Handle control) const override;
    void setEnabled(Handle control, bool enabled) override;
    bool isEnabled(Handle control) const override;
    void setFocus(Handle control) override;
    void setChecked(Handle control, bool checked) override;
    bool isChecked(Handle control) const override;
    void addItem(Handle list, const std::string& text) override;
    void deleteItem(Handle list, int index) override;
    void clearItems(Handle list) override;
    int itemCount(Handle list) const override;
    std::string itemText(Handle list, int index) const override;
    int selectedIndex(Handle list) const override;
    void setSelectedIndex(Handle list, int index) override;
    void setScrollRange(Handle bar, int minimum, int maximum) override;
    void setScrollPosition(Handle bar, int position) override;
    int scrollPosition(Handle bar) const override;

    void startTimer(Handle window, int timerId, int intervalMs,
                    std::function<void()> callback) override;
    void stopTimer(Handle window, int timerId) override;

    void messageBox(Handle owner, const std::string& caption, const std::string& text,
                    platform::MessageBoxKind kind) override;
    std::optional<std::string> openFileDialog(Handle owner,
                                              const platform::OpenFileRequest& request) override;
    std::optional<std::string> folderDialog(Handle owner, const std::string& title,
                                            const std::string& initialDirectory) override;
    std::vector<std::string> filesInFolder(const std::string& folder) override;

    platform::Size screenSize() const override;
    std::vector<platform::Rect> monitors() const override;
    int firstMonitorIndex() const override { return firstMonitor; }
    platform::Size largestWindowSize() const override { return largestWindow; }
    int showCursor(bool show) override;
    void setScreenSaverRunning(bool running) override;
    std::string windowsDirectory() override { return windowsDir; }
    std::string localAppDataDirectory() override { return localAppDataDir; }
    std::string stateDirectory() override { return stateDir; }
    std::string systemDirectory() override { return systemDir; }
    char pathSeparator() const override;
    int platformId() override { return platformIdValue; }
    bool fileExists(const std::string& path) override;
    std::uint32_t millisecondsSinceMidnight() override;
    // The virtual clock as hours and minutes ("13:05"); the date as dateText gives it.
    std::string localTimeText() override;
    std::string localDateText() override { return dateText; }
    std::unique_ptr<platform::RegistryKey> openCurrentUserKey(const std::string& path) override;
    std::unique_ptr<platform::Library> loadLibrary(const std::string& path) override;
    bool findWindow(const std::string& className, const std::string& caption) override;
    std::string codePageToUtf8(std::string_view text) override;
    std::intptr_t shellOpen(Handle parent, const std::string& target,
                            platform::ShowCommand show) override;

    std::uint32_t mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                std::uint32_t& lineId) override;
    std::uint32_t mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                   std::uint32_t controlType, std::uint32_t& controlId) override;
    std::uint32_t mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                  bool value) override;

    std::unique_ptr<media::MediaEngine> createMediaEngine() override;
    void preferRenderer(platform::Renderer renderer) override {
        rendererChoices.push_back(renderer);
    }

    bool onBattery() override { return battery; }
    void setPowerSourceHandler(std::function<void()> handler) override {
        powerHandler_ = std::move(handler);
    }
    void releaseKeepAwake() override { ++keepAwakeReleases; }
    // The power source changes; the program hears of it as its next message.
    void setOnBattery(bool onBattery);

    // --- Used by the driver and the fakes ---------------------------------------------------
    // Queues a message, or an action that runs on the program's thread like a message.
    void enqueue(const platform::Message& message);
    void enqueueAction(std::function<void()> action);
    // The host asks the program to end, as a locker does with its signal.
    void requestEnd();
    void setTarget(std::int64_t targetMs) { targetMs_ = std::max(targetMs_, targetMs); }
    std::int64_t target() const { return targetMs_; }
    // Without a running program nothing waits for time: the clock moves on at once.
    void jumpToTarget() { nowMs_ = std::max(nowMs_, targetMs_); }
    // Shows a prompt and runs a nested loop until the driver answers it (or the program
    // quits).
    Prompt& runPrompt(Prompt prompt);

  private:
    struct Timer {
        Handle window = 0;
        int id = 0;
        int intervalMs = 1000;
        std::int64_t dueMs = 0;
        std::function<void()> callback;
    };
    struct QueueItem {
        platform::Message message;
        std::function<void()> action;
    };

    // Runs the loop until `done` holds; hands over to the driver whenever nothing is left.
    void runLoop(const std::function<bool()>& done);
    bool dispatchOne();
    bool fireDueTimer(std::int64_t limitMs);
    void deliver(const platform::Message& message);
    void deliverToWindow(Handle window, const platform::Message& message);
    void deliverToControl(Handle control, const platform::Message& message);
    void systemClose(Handle window);
    void pressControl(Handle control);
    void moveFocusToNext(Handle window);
    std::vector<Handle> focusOrder(Handle window) const;
    void appendFocusStops(const WindowState& window, Handle parent,
                          std::vector<Handle>& stops) const;
    const ControlState* controlAtIn(const WindowState& window, Handle parent, int x, int y) const;
    WindowState& windowRef(Handle handle);
    const WindowState& windowRef(Handle handle) const;
    ControlState& controlRef(Handle handle);
    const ControlState& controlRef(Handle handle) const;
    Handle newHandle() { return nextHandle_ += 4; }

    Driver& driver_;
    std::string title_;
    MessageHandler handler_;
    std::function<void()> endRequestHandler_;
    std::function<void()> powerHandler_;
    bool quitRequested_ = false;
    std::int64_t nowMs_ = 0;
    std::int64_t targetMs_ = 0;
    Handle nextHandle_ = 0x1000;
    // The control a left button went down on: the button's up on it makes a click.
    Handle pressed_ = 0;
    std::map<Handle, WindowState> windows_;
    std::map<Handle, ControlState> controls_;
    std::vector<Timer> timers_;
    std::deque<QueueItem> queue_;
};

}  // namespace morvel::headless
