#include "harness/simulation.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "app/startup.h"

namespace morvel::harness {

using platform::Message;
namespace msg = platform::msg;

namespace {

// A program that does not wait for input within this real time is taken to be hung.
constexpr auto kHangLimit = std::chrono::seconds(60);

// Thrown on the program's thread when the simulation ends while the program still runs.
struct SimulationShutdown {};

std::filesystem::path FreshFolder() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("morvel-sim-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

Simulation::Simulation() : folder_(FreshFolder()), platform_(*this) {
    platform_.windowsDir = folder_.string();
    platform_.systemDir = (folder_ / "system").string();
}

Simulation::~Simulation() {
    if (program_.joinable()) {
        if (!ended_) {
            shutdown_ = true;
            resumeProgram();
        }
        program_.join();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

// --- The lock-step ---------------------------------------------------------------------------

void Simulation::start(const std::string& commandLine) {
    std::vector<std::string> arguments = app::SplitCommandLine(commandLine);
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    program_ = std::thread([this, arguments] { runProgram(arguments); });
    resumeProgram();
}

void Simulation::runProgram(const std::vector<std::string>& arguments) {
    {
        std::unique_lock lock(mutex_);
        turnChanged_.wait(lock, [this] { return programTurn_; });
    }
    int code = 0;
    try {
        code = app::RunProgram(platform_, arguments);
    } catch (const headless::ProcessEnded&) {
        code = 3;
    } catch (const SimulationShutdown&) {
        code = -1;
    } catch (const std::exception& error) {
        platform_.fatalReport = std::string("uncaught: ") + error.what();
        code = 255;
    }
    std::lock_guard lock(mutex_);
    exitCode_ = code;
    ended_ = true;
    programTurn_ = false;
    turnChanged_.notify_all();
}

void Simulation::resumeProgram() {
    std::unique_lock lock(mutex_);
    if (ended_) {
        return;
    }
    programTurn_ = true;
    turnChanged_.notify_all();
    if (!turnChanged_.wait_for(lock, kHangLimit, [this] { return !programTurn_; })) {
        std::fprintf(stderr, "harness: the program did not wait for input within %lld s\n",
                     static_cast<long long>(kHangLimit.count()));
        std::abort();
    }
}

void Simulation::waitForTurn() {
    std::unique_lock lock(mutex_);
    programTurn_ = false;
    turnChanged_.notify_all();
    turnChanged_.wait(lock, [this] { return programTurn_; });
    if (shutdown_) {
        throw SimulationShutdown{};
    }
}

// --- Time and input --------------------------------------------------------------------------

void Simulation::advance(std::int64_t ms) {
    platform_.setTarget(platform_.target() + ms);
    if (!program_.joinable()) {
        platform_.jumpToTarget();
        return;
    }
    resumeProgram();
}

void Simulation::post(std::uint32_t messageId, std::uintptr_t wParam) {
    platform_.enqueue(Message{platform_.activeWindow(), messageId, wParam, 0});
    resumeProgram();
}

void Simulation::pressKey(std::uintptr_t virtualKey) {
    const Handle active = platform_.activeWindow();
    platform_.enqueue(Message{active, msg::kKeyDown, virtualKey, 0});
    platform_.enqueue(Message{active, msg::kKeyUp, virtualKey, 0});
    resumeProgram();
}

void Simulation::requestEnd() {
    runOnProgramThread([this] { platform_.requestEnd(); });
}

void Simulation::runOnProgramThread(std::function<void()> action) {
    platform_.enqueueAction(std::move(action));
    resumeProgram();
}

Handle Simulation::namedControl(const std::string& name) const {
    const headless::ControlState* target = platform_.control(name);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + name);
    }
    return target->handle;
}

void Simulation::click(const std::string& controlName) {
    clickHandle(namedControl(controlName));
}

void Simulation::click(const std::string& className, const std::string& controlName) {
    const headless::ControlState* target = platform_.control(className, controlName);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + controlName + " in " + className);
    }
    clickHandle(target->handle);
}

const headless::ControlState* Simulation::clickAt(const std::string& className, int x, int y) {
    const headless::WindowState* form = platform_.window(className);
    if (form == nullptr) {
        throw std::invalid_argument("no window of class " + className);
    }
    const headless::ControlState* target = platform_.controlAt(form->handle, x, y);
    const std::intptr_t where = (static_cast<std::intptr_t>(y) << 16) | (x & 0xFFFF);
    const Handle receiver = target != nullptr ? target->handle : form->handle;
    platform_.enqueue(Message{receiver, msg::kLButtonDown, 1, where});
    platform_.enqueue(Message{receiver, msg::kLButtonUp, 0, where});
    resumeProgram();
    return target != nullptr ? platform_.controlByHandle(receiver) : nullptr;
}

void Simulation::clickHandle(Handle handle) {
    platform_.enqueue(Message{handle, msg::kLButtonDown, 1, 0});
    platform_.enqueue(Message{handle, msg::kLButtonUp, 0, 0});
    resumeProgram();
}

void Simulation::doubleClick(const std::string& controlName) {
    const Handle handle = namedControl(controlName);
    runOnProgramThread([this, handle] {
        const headless::ControlState* control = platform_.controlByHandle(handle);
        if (control != nullptr && platform_.takesInput(handle)) {
            if (auto onDoubleClick = control->design.onDoubleClick) {
                onDoubleClick();
            }
        }
    });
}

void Simulation::selectItem(const std::string& listName, int index) {
    const Handle handle = namedControl(listName);
    runOnProgramThread([this, handle, index] {
        if (!platform_.takesInput(handle)) {
            return;
        }
        platform_.setSelectedIndex(handle, index);
        if (auto onClick = platform_.controlByHandle(handle)->design.onClick) {
            onClick();
        }
    });
}

void Simulation::scrollTo(const std::string& barName, int position) {
    const Handle handle = namedControl(barName);
    runOnProgramThread([this, handle, position] {
        if (!platform_.takesInput(handle)) {
            return;
        }
        platform_.setScrollPosition(handle, position);
        if (auto onScroll = platform_.controlByHandle(handle)->design.onScroll) {
            onScroll();
        }
    });
}

// --- Prompts ---------------------------------------------------------------------------------

headless::Prompt* Simulation::openPrompt() {
    for (auto it = platform_.prompts.rbegin(); it != platform_.prompts.rend(); ++it) {
        if (!it->answered) {
            return &*it;
        }
    }
    return nullptr;
}

void Simulation::answer() {
    headless::Prompt* prompt = openPrompt();
    if (prompt == nullptr) {
        throw std::logic_error("no prompt is open");
    }
    prompt->answered = true;
    prompt->seen = true;
    resumeProgram();
}

void Simulation::answerPath(std::optional<std::string> path) {
    headless::Prompt* prompt = openPrompt();
    if (prompt == nullptr) {
        throw std::logic_error("no prompt is open");
    }
    prompt->chosenPath = std::move(path);
    answer();
}

void Simulation::answerPassword(bool accepted) {
    headless::Prompt* prompt = openPrompt();
    if (prompt == nullptr) {
        throw std::logic_error("no prompt is open");
    }
    prompt->passwordAccepted = accepted;
    answer();
}

std::vector<std::string> Simulation::unexpected() const {
    std::vector<std::string> problems;
    for (const headless::Prompt& prompt : platform_.prompts) {
        if (!prompt.seen) {
            problems.push_back("unexpected prompt \"" + prompt.caption + "\": " + prompt.text);
        }
    }
    if (platform_.fatalReport) {
        problems.push_back("unexpected process-ending report: " + *platform_.fatalReport);
    }
    for (const std::string& misuse : platform_.misuse) {
        problems.push_back("misuse: " + misuse);
    }
    return problems;
}

}  // namespace morvel::harness
