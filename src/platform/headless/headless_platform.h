// The headless backend: the operating system simulated in memory, for the tests.
//
// It is a simulator, not a stub. Time is virtual: the test advances it and timers fire as it
// passes, also inside modal boxes. Input is a queue of Win32 message identifiers the test
// fills. Message boxes, file and folder dialogs and the password dialogs are recorded and
// answered by the test. Media are scripted per file. The registry, the mixer, the password
// components, the screen and the window list are fakes the test sets up and reads back.
//
// The program runs on a thread of its own, in lock-step with the test: only one of the two
// runs at any time. `Simulation` hands control to the program and gets it back when the
// program waits for input (or has ended), so the test reads a quiet, consistent state.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace morvel::headless {

using platform::Handle;

// How one media file behaves when it is opened and played.
struct MediaScript {
    int lengthMs = 10'000;
    int width = 320;
    int height = 240;
    bool hasVideo = true;
    std::uint32_t openError = 0;  // non-zero: open fails with this code
    std::string openErrorText;    // its text; empty: the engine's own table
    std::uint32_t playError = 0;  // non-zero: play fails (kept in the result code only)
};

// One Play request that reached a media engine.
struct PlayRecord {
    std::string file;
    Handle display = 0;
    int destinationWidth = 0;  // the device's display rectangle at the time
    int destinationHeight = 0;
    platform::Rect panel;   // bounds of the display window at the time (empty without one)
    bool onScreen = false;  // the display window's form was shown at the time
    std::int64_t atMs = 0;
};

struct OpenRecord {
    std::string file;
    bool wait = true;
    std::int64_t atMs = 0;
};

// A modal box or dialog the program showed; the test answers it.
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

// Thrown on the program's thread when the simulation ends while the program still runs.
struct SimulationShutdown {};
// Thrown on the program's thread when the program ends itself with a report.
struct ProcessEnded {};

class Simulation;

class HeadlessPlatform final : public platform::Platform {
  public:
    explicit HeadlessPlatform(Simulation& simulation);
    ~HeadlessPlatform() override;

    // --- Set-up and observation, for the test -------------------------------------------
    platform::Size screen{1024, 768};
    int platformIdValue = 2;
    std::string windowsDir;
    std::string localAppDataDir;  // empty: no copy of the settings per user
    std::string systemDir;
    std::uint32_t clockBaseMs = 12 * 3600 * 1000;  // the virtual day starts at noon
    std::map<std::string, MediaScript> media;      // by full path
    MixerFake mixer;
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
    // "<request> <file>".
    std::vector<std::string> mediaRequests;
    int enginesAlive = 0;
    std::vector<platform::Message> delivered;  // messages dispatched to their window
    std::deque<Prompt> prompts;
    std::optional<std::string> fatalReport;
    std::vector<std::string> misuse;  // calls made out of order, on unknown handles

    std::int64_t now() const { return nowMs_; }
    const WindowState* window(const std::string& className) const;
    const ControlState* control(const std::string& name) const;
    // The control of this name in the newest window of this class (forms may share names).
    const ControlState* control(const std::string& className, const std::string& name) const;
    const ControlState* controlByHandle(Handle handle) const;
    const WindowState* windowByHandle(Handle handle) const;
    bool timerRunning(Handle window, int id) const;
    // The window that takes input now: the newest visible window.
    Handle activeWindow() const;

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

    platform::Size screenSize() const override { return screen; }
    int showCursor(bool show) override;
    void setScreenSaverRunning(bool running) override;
    std::string windowsDirectory() override { return windowsDir; }
    std::string localAppDataDirectory() override { return localAppDataDir; }
    std::string systemDirectory() override { return systemDir; }
    char pathSeparator() const override;
    int platformId() override { return platformIdValue; }
    bool fileExists(const std::string& path) override;
    std::uint32_t millisecondsSinceMidnight() override;
    std::unique_ptr<platform::RegistryKey> openCurrentUserKey(const std::string& path) override;
    std::unique_ptr<platform::Library> loadLibrary(const std::string& path) override;
    bool findWindow(const std::string& className, const std::string& caption) override;
    std::intptr_t shellOpen(Handle parent, const std::string& target,
                            platform::ShowCommand show) override;

    std::uint32_t mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                std::uint32_t& lineId) override;
    std::uint32_t mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                   std::uint32_t controlType, std::uint32_t& controlId) override;
    std::uint32_t mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                  bool value) override;

    std::unique_ptr<media::MediaEngine> createMediaEngine() override;

    // --- Used by the simulation and the fakes ----------------------------------------------
    // Queues a message, or an action that runs on the program's thread like a message.
    void enqueue(const platform::Message& message);
    void enqueueAction(std::function<void()> action);
    // The host asks the program to end, as a locker does with its signal.
    void requestEnd();
    void setTarget(std::int64_t targetMs) { targetMs_ = std::max(targetMs_, targetMs); }
    std::int64_t target() const { return targetMs_; }
    // Without a running program nothing waits for time: the clock moves on at once.
    void jumpToTarget() { nowMs_ = std::max(nowMs_, targetMs_); }
    // Shows a prompt and runs a nested loop until the test answers it (or the program quits).
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

    // Runs the loop until `done` holds; waits for the test whenever nothing is left to do.
    void runLoop(const std::function<bool()>& done);
    bool dispatchOne();
    bool fireDueTimer(std::int64_t limitMs);
    void deliver(const platform::Message& message);
    void systemClose(Handle window);
    WindowState& windowRef(Handle handle);
    ControlState& controlRef(Handle handle);
    const ControlState& controlRef(Handle handle) const;
    Handle newHandle() { return nextHandle_ += 4; }

    Simulation& simulation_;
    std::string title_;
    MessageHandler handler_;
    std::function<void()> endRequestHandler_;
    bool quitRequested_ = false;
    std::int64_t nowMs_ = 0;
    std::int64_t targetMs_ = 0;
    Handle nextHandle_ = 0x1000;
    std::map<Handle, WindowState> windows_;
    std::map<Handle, ControlState> controls_;
    std::vector<Timer> timers_;
    std::deque<QueueItem> queue_;
    ControlState nowhere_;
};

// Runs the program on its own thread, in lock-step with the test.
class Simulation {
  public:
    Simulation();
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    HeadlessPlatform& platform() { return platform_; }
    // A fresh folder that stands in for the Windows directory.
    const std::filesystem::path& folder() const { return folder_; }

    // Starts the program with this command line (the program's name first) and returns when
    // it waits for input or has ended.
    void start(const std::string& commandLine);
    bool ended() const { return ended_; }
    int exitCode() const { return exitCode_; }

    // Lets virtual time pass; timers fire, also inside modal boxes.
    void advance(std::int64_t ms);
    // Input through the queue, addressed to the active window.
    void post(std::uint32_t messageId, std::uintptr_t wParam = 0);
    // A click on a named control: the button messages, then its click handler.
    void click(const std::string& controlName);
    // A click on the control of this name in the newest window of this class.
    void click(const std::string& className, const std::string& controlName);
    void doubleClick(const std::string& controlName);
    void selectItem(const std::string& listName, int index);
    void scrollTo(const std::string& barName, int position);
    // Runs `action` on the program's thread as if it came from the message loop.
    void runOnProgramThread(std::function<void()> action);
    // The host (a screen locker) asks the program to end.
    void requestEnd();

    // The innermost prompt still open, or none.
    Prompt* openPrompt();
    // Answers the innermost open prompt: OK for a box, a path (or cancel) for a dialog, a
    // verdict for the password dialog.
    void answer();
    void answerPath(std::optional<std::string> path);
    void answerPassword(bool accepted);

    // Prompts and reports the test has not looked at.
    std::vector<std::string> unexpected() const;

    // Used by the platform, on the program's thread.
    void waitForTest();

  private:
    void resumeProgram();
    void clickHandle(Handle handle);

    std::filesystem::path folder_;
    HeadlessPlatform platform_;
    std::mutex mutex_;
    std::condition_variable turnChanged_;
    bool programTurn_ = false;
    bool shutdown_ = false;
    bool ended_ = false;
    int exitCode_ = 0;
    std::thread program_;
};

}  // namespace morvel::headless
