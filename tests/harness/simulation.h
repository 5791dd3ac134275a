// The test harness: runs the program on the headless backend, in lock-step with the test.
//
// The program runs on a thread of its own; only one of the two runs at any time. The
// harness hands control to the program and gets it back when the program waits for input
// (or has ended), so the test reads a quiet, consistent state. It starts the program with a
// command line, lets virtual time pass, injects input and answers prompts.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless_platform.h"

namespace morvel::harness {

using headless::HeadlessPlatform;
using platform::Handle;

class Simulation : private headless::Driver {
  public:
    Simulation();
    ~Simulation() override;
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    HeadlessPlatform& platform() { return platform_; }
    const HeadlessPlatform& platform() const { return platform_; }
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
    // A key pressed and released in the active window.
    void pressKey(std::uintptr_t virtualKey);
    // A click on a named control: the left button goes down and up on it; the control acts
    // on it when nothing swallowed them and the user can reach it.
    void click(const std::string& controlName);
    // A click on the control of this name in the newest window of this class.
    void click(const std::string& className, const std::string& controlName);
    // A click at a point of the client of the newest window of this class: it lands on the
    // control there, or on the window. Returns the control it landed on, or none.
    const headless::ControlState* clickAt(const std::string& className, int x, int y);
    void doubleClick(const std::string& controlName);
    void selectItem(const std::string& listName, int index);
    void scrollTo(const std::string& barName, int position);
    // Runs `action` on the program's thread as if it came from the message loop.
    void runOnProgramThread(std::function<void()> action);
    // The host (a screen locker) asks the program to end.
    void requestEnd();

    // The innermost prompt still open, or none.
    headless::Prompt* openPrompt();
    // Answers the innermost open prompt: OK for a box, a path (or cancel) for a dialog, a
    // verdict for the password dialog.
    void answer();
    void answerPath(std::optional<std::string> path);
    void answerPassword(bool accepted);

    // Prompts and reports the test has not looked at, and the backend's misuse records.
    std::vector<std::string> unexpected() const;

  private:
    void waitForTurn() override;
    void resumeProgram();
    void runProgram(const std::vector<std::string>& arguments);
    void clickHandle(Handle handle);
    Handle namedControl(const std::string& name) const;

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

}  // namespace morvel::harness
