// The message loop, the application-wide handler, timers and the end of the program.
//
// Thread: everything here is called on the one user-interface thread, the one that runs
// main(). Callbacks handed in are owned by the backend and run on that thread, always through
// `invokeHandler` (timers, end requests) or `invokeMessageHandler` (the application-wide
// handler), so that an exception leaving them becomes the standard error report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace morvel::platform {

class EventLoop {
  public:
    virtual ~EventLoop() = default;

    // The caption of every error report and message box title the program leaves empty.
    // Set once at start by the program, before any window exists.
    virtual void setApplicationTitle(const std::string& title) = 0;
    virtual std::string applicationTitle() const = 0;

    // The application-wide handler sees every message the thread takes from its queue, also
    // inside nested modal loops (boxes, dialogs, modal windows), before it is dispatched. It
    // may set `handled` to swallow it: a swallowed click does not reach the control. An
    // exception that leaves it ends the process with a report (endProcessWithReport). The
    // saver sets it for its life; nullptr removes it.
    using MessageHandler = std::function<void(const Message&, bool& handled)>;
    virtual void setMessageHandler(MessageHandler handler) = 0;

    // Runs the message loop until quit() is called. Called once, by the program's start.
    virtual void runMessageLoop() = 0;
    // Nested loop of its own: processes the messages waiting in the queue (input, timers that
    // are due, repaints), then returns. Called by handlers that must let the screen catch up.
    virtual void processMessages() = 0;
    // Ends runMessageLoop and every nested loop now running (boxes, dialogs, modal windows)
    // once the current handler returns; a loop started later ends at once.
    virtual void quit() = 0;
    // Shows the report of an exception that left the application-wide handler and ends the
    // process. It does not return to its caller.
    [[noreturn]] virtual void endProcessWithReport(const std::string& message) = 0;

    // The host asks the program to end: a screen locker's signal, the window it lent us
    // gone. The saver sets it for its life; the backend calls it once, on the
    // user-interface thread, through invokeHandler. Without a handler the backend quits.
    // Backends whose host never asks (Win32's screen-saver host ends us by input) keep it
    // and never call it.
    virtual void setEndRequestHandler(std::function<void()> handler) = 0;

    // Window timers: `callback` runs every `intervalMs` on the user-interface thread until
    // the timer is stopped or its window destroyed; they keep firing inside every nested
    // loop. Starting a running timer (same window and id) restarts it with the new callback.
    // Starting one on an unknown window: std::invalid_argument. Stopping one that does not
    // run, or one whose window is gone, does nothing.
    virtual void startTimer(Handle window, int timerId, int intervalMs,
                            std::function<void()> callback) = 0;
    virtual void stopTimer(Handle window, int timerId) = 0;
};

}  // namespace morvel::platform
