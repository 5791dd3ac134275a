#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "app/startup.h"
#include "common/ascii.h"

namespace morvel::headless {

using platform::Message;
using platform::Rect;

namespace {

// A program that does not wait for input within this real time is taken to be hung.
constexpr auto kHangLimit = std::chrono::seconds(60);

constexpr std::uintptr_t kF4Key = 0x73;

// Result codes and texts of the scripted media engine, numbered like the real ones.
constexpr std::uint32_t kInvalidDeviceId = 257;
constexpr std::uint32_t kUnsupportedFunction = 274;
constexpr std::uint32_t kFileNotFound = 275;

std::optional<std::string> BuiltInErrorText(std::uint32_t code) {
    switch (code) {
        case kInvalidDeviceId:
            return "Invalid device ID. Use the ID given to the device when the device was "
                   "opened.";
        case kUnsupportedFunction:
            return "The MCI device the system is using does not support the specified "
                   "command.";
        case kFileNotFound:
            return "Cannot find the specified file. Make sure the path and filename are "
                   "correct.";
        default:
            return std::nullopt;
    }
}

class FakeRegistryKey final : public platform::RegistryKey {
  public:
    explicit FakeRegistryKey(std::map<std::string, std::optional<std::uint32_t>> values)
        : values_(std::move(values)) {}
    bool hasValue(std::string_view name) override { return find(name) != values_.end(); }
    std::optional<std::uint32_t> readInteger(std::string_view name) override {
        auto it = find(name);
        return it == values_.end() ? std::nullopt : it->second;
    }

  private:
    std::map<std::string, std::optional<std::uint32_t>>::iterator find(std::string_view name) {
        return std::find_if(values_.begin(), values_.end(), [&](const auto& entry) {
            return ascii::equalsIgnoringCase(entry.first, name);
        });
    }
    std::map<std::string, std::optional<std::uint32_t>> values_;
};

class FakeLibrary final : public platform::Library {
  public:
    FakeLibrary(HeadlessPlatform& platform, LibraryFake fake)
        : platform_(platform), fake_(std::move(fake)) {
        ++platform_.librariesLoaded;
    }
    ~FakeLibrary() override { --platform_.librariesLoaded; }

    bool hasEntryPoint(std::string_view name) override {
        return fake_.entryPoints.count(std::string(name)) > 0;
    }
    bool verifyScreenSavePassword(Handle owner) override {
        require("VerifyScreenSavePwd");
        Prompt prompt;
        prompt.kind = Prompt::Kind::Password;
        prompt.owner = owner;
        return platform_.runPrompt(std::move(prompt)).passwordAccepted;
    }
    void changePassword(const std::string& provider, Handle owner) override {
        require("PwdChangePasswordA");
        Prompt prompt;
        prompt.kind = Prompt::Kind::PasswordChange;
        prompt.owner = owner;
        prompt.text = provider;
        platform_.runPrompt(std::move(prompt));
    }

  private:
    void require(const std::string& entry) {
        if (!fake_.entryPoints.count(entry)) {
            platform_.misuse.push_back("called missing entry point " + entry);
        }
    }
    HeadlessPlatform& platform_;
    LibraryFake fake_;
};

// One scripted playback device. Plays in virtual time; never parses a file.
class ScriptedEngine final : public media::MediaEngine {
  public:
    explicit ScriptedEngine(HeadlessPlatform& platform) : platform_(platform) {
        ++platform_.enginesAlive;
    }
    ~ScriptedEngine() override {
        if (open_) {
            platform_.misuse.push_back("media engine destroyed while open: " + file_);
        }
        --platform_.enginesAlive;
    }

    std::uint32_t open(const std::string& file, bool wait) override {
        platform_.opens.push_back({file, wait, platform_.now()});
        if (open_) {
            platform_.misuse.push_back("open on an open engine: " + file);
        }
        auto scripted = platform_.media.find(file);
        if (scripted == platform_.media.end()) {
            if (!platform_.fileExists(file)) {
                return kFileNotFound;
            }
            script_ = MediaScript{};
        } else {
            script_ = scripted->second;
        }
        if (script_.openError != 0) {
            openErrorText_ = script_.openErrorText;
            return script_.openError;
        }
        open_ = true;
        file_ = file;
        positionMs_ = 0;
        playing_ = false;
        paused_ = false;
        display_ = 0;
        destination_ = own();
        return 0;
    }
    bool hasVideo() const override { return open_ && script_.hasVideo; }
    std::uint32_t setWindow(std::uintptr_t display) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        display_ = display;
        return 0;
    }
    std::uint32_t put(media::VideoRect rect) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        destination_ = rect.right == 0 && rect.bottom == 0 ? own() : rect;
        return 0;
    }
    std::uint32_t where(media::VideoRect& rect) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        rect = destination_;
        return 0;
    }
    std::uint32_t play() override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (script_.playError != 0) {
            return script_.playError;
        }
        settle();
        playing_ = true;
        paused_ = false;
        startedAtMs_ = platform_.now();
        note("play");
        PlayRecord record{file_,  display_, destination_.right, destination_.bottom,
                          Rect{}, false,    platform_.now()};
        if (const ControlState* panel = platform_.controlByHandle(display_)) {
            record.panel = panel->bounds;
            const WindowState* form = platform_.windowByHandle(panel->window);
            record.onScreen = form != nullptr && form->visible;
        }
        platform_.plays.push_back(record);
        return 0;
    }
    std::uint32_t stop(bool /*wait*/) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        playing_ = false;
        paused_ = false;
        note("stop");
        return 0;
    }
    std::uint32_t pause() override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        if (playing_) {
            playing_ = false;
            paused_ = true;
        }
        note("pause");
        return 0;
    }
    std::uint32_t resume() override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        if (!paused_) {
            return kUnsupportedFunction;
        }
        paused_ = false;
        playing_ = true;
        startedAtMs_ = platform_.now();
        note("resume");
        return 0;
    }
    std::uint32_t close(bool /*wait*/) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        open_ = false;
        ++platform_.mediaCloses;
        note("close");
        return 0;
    }
    std::uint32_t mode(int& mode) override {
        if (!open_) {
            return kInvalidDeviceId;
        }
        settle();
        mode = playing_ ? media::kPlaying : paused_ ? media::kPaused : media::kStopped;
        return 0;
    }
    std::optional<std::string> errorText(std::uint32_t code) override {
        if (!openErrorText_.empty() && code == script_.openError) {
            return openErrorText_;
        }
        return BuiltInErrorText(code);
    }

  private:
    void note(const char* request) { platform_.mediaRequests.push_back(request + (" " + file_)); }
    media::VideoRect own() const {
        return script_.hasVideo ? media::VideoRect{script_.width, script_.height}
                                : media::VideoRect{};
    }
    // Brings the position up to the virtual clock; a file played to its end stops.
    void settle() {
        if (!playing_) {
            return;
        }
        positionMs_ += platform_.now() - startedAtMs_;
        startedAtMs_ = platform_.now();
        if (positionMs_ >= script_.lengthMs) {
            positionMs_ = script_.lengthMs;
            playing_ = false;
        }
    }

    HeadlessPlatform& platform_;
    MediaScript script_;
    std::string openErrorText_;
    std::string file_;
    bool open_ = false;
    bool playing_ = false;
    bool paused_ = false;
    std::int64_t positionMs_ = 0;
    std::int64_t startedAtMs_ = 0;
    std::uintptr_t display_ = 0;
    media::VideoRect destination_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// HeadlessPlatform

HeadlessPlatform::HeadlessPlatform(Simulation& simulation) : simulation_(simulation) {}

HeadlessPlatform::~HeadlessPlatform() = default;

const WindowState* HeadlessPlatform::window(const std::string& className) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if (it->second.design.className == className) {
            return &it->second;
        }
    }
    return nullptr;
}

const ControlState* HeadlessPlatform::control(const std::string& name) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if (it->second.design.name == name) {
            return &it->second;
        }
    }
    return nullptr;
}

const ControlState* HeadlessPlatform::control(const std::string& className,
                                              const std::string& name) const {
    const WindowState* form = window(className);
    if (form == nullptr) {
        return nullptr;
    }
    for (Handle handle : form->controls) {
        const ControlState& candidate = controls_.at(handle);
        if (candidate.design.name == name) {
            return &candidate;
        }
    }
    return nullptr;
}

const ControlState* HeadlessPlatform::controlByHandle(Handle handle) const {
    auto it = controls_.find(handle);
    return it == controls_.end() ? nullptr : &it->second;
}

const WindowState* HeadlessPlatform::windowByHandle(Handle handle) const {
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : &it->second;
}

bool HeadlessPlatform::timerRunning(Handle window, int id) const {
    return std::any_of(timers_.begin(), timers_.end(),
                       [&](const Timer& t) { return t.window == window && t.id == id; });
}

Handle HeadlessPlatform::activeWindow() const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if (it->second.visible) {
            return it->first;
        }
    }
    return 0;
}

// --- The loop ------------------------------------------------------------------------------

void HeadlessPlatform::enqueue(const Message& message) {
    queue_.push_back({message, nullptr});
}

void HeadlessPlatform::enqueueAction(std::function<void()> action) {
    queue_.push_back({Message{}, std::move(action)});
}

void HeadlessPlatform::requestEnd() {
    if (endRequestHandler_) {
        const std::function<void()> handler = endRequestHandler_;
        platform::invokeHandler(*this, handler);
    }
    quit();
}

void HeadlessPlatform::runLoop(const std::function<bool()>& done) {
    while (!done()) {
        if (dispatchOne() || fireDueTimer(targetMs_)) {
            continue;
        }
        nowMs_ = std::max(nowMs_, targetMs_);
        simulation_.waitForTest();
    }
}

void HeadlessPlatform::runMessageLoop() {
    runLoop([this] { return quitRequested_; });
}

void HeadlessPlatform::processMessages() {
    while (dispatchOne() || fireDueTimer(nowMs_)) {
    }
}

bool HeadlessPlatform::dispatchOne() {
    if (queue_.empty()) {
        return false;
    }
    QueueItem item = std::move(queue_.front());
    queue_.pop_front();
    if (item.action) {
        platform::invokeHandler(*this, item.action);
        return true;
    }
    bool handled = false;
    platform::invokeMessageHandler(*this, handler_, item.message, handled);
    if (!handled) {
        deliver(item.message);
    }
    return true;
}

void HeadlessPlatform::deliver(const Message& message) {
    delivered.push_back(message);
    auto target = windows_.find(message.window);
    if (target == windows_.end()) {
        if (const ControlState* control = controlByHandle(message.window)) {
            target = windows_.find(control->window);
        }
    }
    if (target == windows_.end()) {
        return;
    }
    const Handle window = target->first;
    const platform::WindowSpec& design = target->second.design;
    namespace msg = platform::msg;
    switch (message.id) {
        case msg::kKeyDown:
        case msg::kSysKeyDown:
            if (design.onKeyDown) {
                const int key = static_cast<int>(message.wParam);
                auto onKeyDown = design.onKeyDown;
                platform::invokeHandler(*this, [&] { onKeyDown(key); });
            }
            // Alt+F4 asks the window to close, as the system's close box does.
            if (message.id == msg::kSysKeyDown && message.wParam == kF4Key &&
                windows_.count(window) != 0) {
                systemClose(window);
            }
            break;
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            if (design.onMouseDown) {
                const int button = message.id == msg::kLButtonDown   ? 0
                                   : message.id == msg::kRButtonDown ? 1
                                                                     : 2;
                const int x = static_cast<int>(message.lParam & 0xFFFF);
                const int y = static_cast<int>((message.lParam >> 16) & 0xFFFF);
                auto onMouseDown = design.onMouseDown;
                platform::invokeHandler(*this, [&] { onMouseDown(button, x, y); });
            }
            break;
        default:
            break;
    }
}

bool HeadlessPlatform::fireDueTimer(std::int64_t limitMs) {
    auto due = std::min_element(timers_.begin(), timers_.end(),
                                [](const Timer& a, const Timer& b) { return a.dueMs < b.dueMs; });
    if (due == timers_.end() || due->dueMs > limitMs) {
        return false;
    }
    nowMs_ = std::max(nowMs_, due->dueMs);
    due->dueMs += due->intervalMs;
    // The callback may stop or restart its own timer: call a copy.
    auto callback = due->callback;
    platform::invokeHandler(*this, callback);
    return true;
}

void HeadlessPlatform::endProcessWithReport(const std::string& message) {
    fatalReport = message;
    throw ProcessEnded{};
}

Prompt& HeadlessPlatform::runPrompt(Prompt prompt) {
    prompt.atMs = nowMs_;
    prompts.push_back(std::move(prompt));
    Prompt& shown = prompts.back();  // a deque keeps references stable
    runLoop([&] { return shown.answered || quitRequested_; });
    return shown;
}

// --- Windows and controls ----------------------------------------------------------------

WindowState& HeadlessPlatform::windowRef(Handle handle) {
    auto it = windows_.find(handle);
    if (it == windows_.end()) {
        throw std::logic_error("headless: no window with handle " + std::to_string(handle));
    }
    return it->second;
}

ControlState& HeadlessPlatform::controlRef(Handle handle) {
    auto it = controls_.find(handle);
    if (it == controls_.end()) {
        misuse.push_back("no control with handle " + std::to_string(handle));
        return nowhere_;
    }
    return it->second;
}

const ControlState& HeadlessPlatform::controlRef(Handle handle) const {
    auto it = controls_.find(handle);
    return it == controls_.end() ? nowhere_ : it->second;
}

Handle HeadlessPlatform::createWindow(const platform::WindowSpec& design) {
    const Handle handle = newHandle();
    WindowState& window = windows_[handle];
    window.handle = handle;
    window.design = design;
    window.color = design.background;
    return handle;
}

void HeadlessPlatform::destroyWindow(Handle handle) {
    auto it = windows_.find(handle);
    if (it == windows_.end()) {
        misuse.push_back("destroy of unknown window");
        return;
    }
    for (Handle control : it->second.controls) {
        controls_.erase(control);
    }
    std::erase_if(timers_, [&](const Timer& t) { return t.window == handle; });
    windows_.erase(it);
}

void HeadlessPlatform::showWindow(Handle handle, bool visible) {
    windowRef(handle).visible = visible;
}

void HeadlessPlatform::showModal(Handle handle) {
    WindowState& window = windowRef(handle);
    window.visible = true;
    window.modal = true;
    runLoop([this, handle] {
        auto it = windows_.find(handle);
        return quitRequested_ || it == windows_.end() || !it->second.visible;
    });
    if (auto it = windows_.find(handle); it != windows_.end()) {
        it->second.modal = false;
    }
}

// Closing the program's first window ends the program, as on the desktop.
void HeadlessPlatform::systemClose(Handle handle) {
    const bool main = windows_.begin()->first == handle && !windows_.begin()->second.modal;
    if (closeWindow(handle) && main) {
        quit();
    }
}

bool HeadlessPlatform::closeWindow(Handle handle) {
    auto query = windowRef(handle).design.onCloseQuery;
    bool canClose = true;
    if (query) {
        canClose = false;
        platform::invokeHandler(*this, [&] { canClose = query(); });
    }
    if (canClose) {
        if (auto it = windows_.find(handle); it != windows_.end()) {
            it->second.visible = false;
        }
    }
    return canClose;
}

void HeadlessPlatform::setWindowColor(Handle handle, platform::Color color) {
    windowRef(handle).color = color;
}

Handle HeadlessPlatform::createControl(Handle window, const platform::ControlSpec& design) {
    WindowState& owner = windowRef(window);
    if (design.parent != 0 && !controls_.count(design.parent)) {
        misuse.push_back("control " + design.name + " placed in an unknown parent");
    }
    const Handle handle = newHandle();
    ControlState& control = controls_[handle];
    control.handle = handle;
    control.window = window;
    control.design = design;
    control.bounds = design.bounds;
    control.caption = design.caption;
    control.visible = design.visible;
    control.enabled = design.enabled;
    owner.controls.push_back(handle);
    return handle;
}

void HeadlessPlatform::setBounds(Handle control, Rect bounds) {
    controlRef(control).bounds = bounds;
}
Rect HeadlessPlatform::bounds(Handle control) const {
    return controlRef(control).bounds;
}
void HeadlessPlatform::setCaption(Handle control, const std::string& caption) {
    controlRef(control).caption = caption;
}
std::string HeadlessPlatform::caption(Handle control) const {
    return controlRef(control).caption;
}
void HeadlessPlatform::setVisible(Handle control, bool visible) {
    controlRef(control).visible = visible;
}
bool HeadlessPlatform::isVisible(Handle control) const {
    return controlRef(control).visible;
}
void HeadlessPlatform::setEnabled(Handle control, bool enabled) {
    controlRef(control).enabled = enabled;
}
bool HeadlessPlatform::isEnabled(Handle control) const {
    return controlRef(control).enabled;
}

void HeadlessPlatform::setFocus(Handle control) {
    ControlState& target = controlRef(control);
    for (Handle sibling : windowRef(target.window).controls) {
        controls_[sibling].focused = false;
    }
    target.focused = true;
}

void HeadlessPlatform::setChecked(Handle control, bool checked) {
    ControlState& target = controlRef(control);
    if (checked && target.design.kind == platform::ControlKind::RadioButton) {
        for (auto& [handle, other] : controls_) {
            if (other.window == target.window && other.design.parent == target.design.parent &&
                other.design.kind == platform::ControlKind::RadioButton) {
                other.checked = false;
            }
        }
    }
    target.checked = checked;
}
bool HeadlessPlatform::isChecked(Handle control) const {
    return controlRef(control).checked;
}

void HeadlessPlatform::addItem(Handle list, const std::string& text) {
    controlRef(list).items.push_back(text);
}

void HeadlessPlatform::deleteItem(Handle list, int index) {
    ControlState& target = controlRef(list);
    if (index < 0 || index >= static_cast<int>(target.items.size())) {
        misuse.push_back("delete of list item " + std::to_string(index) + " out of range");
        return;
    }
    target.items.erase(target.items.begin() + index);
    if (target.selected >= static_cast<int>(target.items.size()) || target.selected == index) {
        target.selected = -1;
    } else if (target.selected > index) {
        --target.selected;
    }
}

void HeadlessPlatform::clearItems(Handle list) {
    ControlState& target = controlRef(list);
    target.items.clear();
    target.selected = -1;
}
int HeadlessPlatform::itemCount(Handle list) const {
    return static_cast<int>(controlRef(list).items.size());
}
std::string HeadlessPlatform::itemText(Handle list, int index) const {
    const ControlState& target = controlRef(list);
    if (index < 0 || index >= static_cast<int>(target.items.size())) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return target.items[static_cast<std::size_t>(index)];
}
int HeadlessPlatform::selectedIndex(Handle list) const {
    return controlRef(list).selected;
}
void HeadlessPlatform::setSelectedIndex(Handle list, int index) {
    ControlState& target = controlRef(list);
    target.selected = index >= 0 && index < static_cast<int>(target.items.size()) ? index : -1;
}
void HeadlessPlatform::setScrollRange(Handle bar, int minimum, int maximum) {
    ControlState& target = controlRef(bar);
    target.scrollMin = minimum;
    target.scrollMax = maximum;
    target.scrollPos = std::clamp(target.scrollPos, minimum, std::max(minimum, maximum));
}
void HeadlessPlatform::setScrollPosition(Handle bar, int position) {
    ControlState& target = controlRef(bar);
    target.scrollPos =
        std::clamp(position, target.scrollMin, std::max(target.scrollMin, target.scrollMax));
}
int HeadlessPlatform::scrollPosition(Handle bar) const {
    return controlRef(bar).scrollPos;
}

// --- Timers ------------------------------------------------------------------------------

void HeadlessPlatform::startTimer(Handle window, int timerId, int intervalMs,
                                  std::function<void()> callback) {
    windowRef(window);
    stopTimer(window, timerId);
    timers_.push_back({window, timerId, intervalMs, nowMs_ + intervalMs, std::move(callback)});
}

void HeadlessPlatform::stopTimer(Handle window, int timerId) {
    std::erase_if(timers_, [&](const Timer& t) { return t.window == window && t.id == timerId; });
}

// --- Boxes and dialogs ----------------------------------------------------------------------

void HeadlessPlatform::messageBox(Handle owner, const std::string& caption, const std::string& text,
                                  platform::MessageBoxKind kind) {
    Prompt prompt;
    prompt.kind = Prompt::Kind::MessageBox;
    prompt.boxKind = kind;
    prompt.owner = owner;
    prompt.caption = caption;
    prompt.text = text;
    runPrompt(std::move(prompt));
}

std::optional<std::string> HeadlessPlatform::openFileDialog(
    Handle owner, const platform::OpenFileRequest& request) {
    Prompt prompt;
    prompt.kind = Prompt::Kind::OpenFile;
    prompt.owner = owner;
    prompt.caption = request.title;
    prompt.request = request;
    return runPrompt(std::move(prompt)).chosenPath;
}

std::optional<std::string> HeadlessPlatform::folderDialog(Handle owner, const std::string& title,
                                                          const std::string& initialDirectory) {
    Prompt prompt;
    prompt.kind = Prompt::Kind::Folder;
    prompt.owner = owner;
    prompt.caption = title;
    prompt.request.initialDirectory = initialDirectory;
    return runPrompt(std::move(prompt)).chosenPath;
}

std::vector<std::string> HeadlessPlatform::filesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) {
            names.push_back(it->path().filename().string());
        }
    }
    return names;
}

// --- Screen and system ---------------------------------------------------------------------

int HeadlessPlatform::showCursor(bool show) {
    cursorCount += show ? 1 : -1;
    return cursorCount;
}

void HeadlessPlatform::setScreenSaverRunning(bool running) {
    screenSaverRunning = running;
    screenSaverRunningCalls.push_back(running);
}

char HeadlessPlatform::pathSeparator() const {
    return static_cast<char>(std::filesystem::path::preferred_separator);
}

bool HeadlessPlatform::fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::uint32_t HeadlessPlatform::millisecondsSinceMidnight() {
    return static_cast<std::uint32_t>((clockBaseMs + nowMs_) % (24LL * 3600 * 1000));
}

std::unique_ptr<platform::RegistryKey> HeadlessPlatform::openCurrentUserKey(
    const std::string& path) {
    for (const auto& [key, values] : registry) {
        if (ascii::equalsIgnoringCase(key, path)) {
            return std::make_unique<FakeRegistryKey>(values);
        }
    }
    return nullptr;
}

std::unique_ptr<platform::Library> HeadlessPlatform::loadLibrary(const std::string& path) {
    libraryLoads.push_back(path);
    for (const auto& [where, fake] : libraries) {
        if (ascii::equalsIgnoringCase(where, path)) {
            return std::make_unique<FakeLibrary>(*this, fake);
        }
    }
    return nullptr;
}

bool HeadlessPlatform::findWindow(const std::string& className, const std::string& caption) {
    auto matches = [&](const std::string& c, const std::string& t) {
        return ascii::equalsIgnoringCase(c, className) && t == caption;
    };
    return std::any_of(foreignWindows.begin(), foreignWindows.end(),
                       [&](const auto& w) { return matches(w.first, w.second); }) ||
           std::any_of(windows_.begin(), windows_.end(), [&](const auto& w) {
               return matches(w.second.design.className, w.second.design.caption);
           });
}

std::intptr_t HeadlessPlatform::shellOpen(Handle parent, const std::string& target,
                                          platform::ShowCommand show) {
    shellOpens.push_back({parent, target, show});
    return shellResult;
}

// --- Mixer -----------------------------------------------------------------------------------

std::uint32_t HeadlessPlatform::mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                              std::uint32_t& lineId) {
    ++mixer.queries;
    if (mixerId != 0 || componentType != platform::mixer::kComponentTypeDstSpeakers) {
        misuse.push_back("mixer line query for another device or line");
    }
    if (mixer.lineResult == 0) {
        lineId = mixer.lineId;
    }
    return mixer.lineResult;
}

std::uint32_t HeadlessPlatform::mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                                 std::uint32_t controlType,
                                                 std::uint32_t& controlId) {
    if (mixerId != 0 || lineId != mixer.lineId ||
        controlType != platform::mixer::kControlTypeMute) {
        misuse.push_back("mixer control query for another line or control");
    }
    if (mixer.controlResult == 0) {
        controlId = mixer.controlId;
    }
    return mixer.controlResult;
}

std::uint32_t HeadlessPlatform::mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                                bool value) {
    if (mixerId != 0 || controlId != mixer.controlId) {
        misuse.push_back("mixer value set on another control");
    }
    if (mixer.setResult == 0) {
        mixer.muteValues.push_back(value);
    }
    return mixer.setResult;
}

std::unique_ptr<media::MediaEngine> HeadlessPlatform::createMediaEngine() {
    return std::make_unique<ScriptedEngine>(*this);
}

// ---------------------------------------------------------------------------------------
// Simulation

namespace {

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

void Simulation::start(const std::string& commandLine) {
    std::vector<std::string> arguments = app::SplitCommandLine(commandLine);
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    program_ = std::thread([this, arguments] {
        {
            std::unique_lock lock(mutex_);
            turnChanged_.wait(lock, [this] { return programTurn_; });
        }
        int code = 0;
        try {
            code = app::RunProgram(platform_, arguments);
        } catch (const ProcessEnded&) {
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
    });
    resumeProgram();
}

void Simulation::resumeProgram() {
    std::unique_lock lock(mutex_);
    if (ended_) {
        return;
    }
    programTurn_ = true;
    turnChanged_.notify_all();
    if (!turnChanged_.wait_for(lock, kHangLimit, [this] { return !programTurn_; })) {
        std::fprintf(stderr, "headless: the program did not wait for input within %lld s\n",
                     static_cast<long long>(kHangLimit.count()));
        std::abort();
    }
}

void Simulation::waitForTest() {
    std::unique_lock lock(mutex_);
    programTurn_ = false;
    turnChanged_.notify_all();
    turnChanged_.wait(lock, [this] { return programTurn_; });
    if (shutdown_) {
        throw SimulationShutdown{};
    }
}

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

void Simulation::requestEnd() {
    runOnProgramThread([this] { platform_.requestEnd(); });
}

void Simulation::runOnProgramThread(std::function<void()> action) {
    platform_.enqueueAction(std::move(action));
    resumeProgram();
}

void Simulation::click(const std::string& controlName) {
    const ControlState* target = platform_.control(controlName);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + controlName);
    }
    clickHandle(target->handle);
}

void Simulation::click(const std::string& className, const std::string& controlName) {
    const ControlState* target = platform_.control(className, controlName);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + controlName + " in " + className);
    }
    clickHandle(target->handle);
}

void Simulation::clickHandle(Handle handle) {
    platform_.enqueue(Message{handle, platform::msg::kLButtonDown, 1, 0});
    platform_.enqueue(Message{handle, platform::msg::kLButtonUp, 0, 0});
    runOnProgramThread([this, handle] {
        const ControlState* control = platform_.controlByHandle(handle);
        if (control == nullptr || !control->enabled || !control->visible) {
            return;
        }
        if (control->design.kind == platform::ControlKind::RadioButton) {
            platform_.setChecked(handle, true);
        }
        if (auto onClick = control->design.onClick) {
            onClick();
        }
    });
}

void Simulation::doubleClick(const std::string& controlName) {
    const ControlState* target = platform_.control(controlName);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + controlName);
    }
    const Handle handle = target->handle;
    runOnProgramThread([this, handle] {
        const ControlState* control = platform_.controlByHandle(handle);
        if (control != nullptr && control->enabled) {
            if (auto onDoubleClick = control->design.onDoubleClick) {
                onDoubleClick();
            }
        }
    });
}

void Simulation::selectItem(const std::string& listName, int index) {
    const ControlState* target = platform_.control(listName);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + listName);
    }
    const Handle handle = target->handle;
    runOnProgramThread([this, handle, index] {
        platform_.setSelectedIndex(handle, index);
        if (auto onClick = platform_.controlByHandle(handle)->design.onClick) {
            onClick();
        }
    });
}

void Simulation::scrollTo(const std::string& barName, int position) {
    const ControlState* target = platform_.control(barName);
    if (target == nullptr) {
        throw std::invalid_argument("no control named " + barName);
    }
    const Handle handle = target->handle;
    runOnProgramThread([this, handle, position] {
        platform_.setScrollPosition(handle, position);
        if (auto onScroll = platform_.controlByHandle(handle)->design.onScroll) {
            onScroll();
        }
    });
}

Prompt* Simulation::openPrompt() {
    for (auto it = platform_.prompts.rbegin(); it != platform_.prompts.rend(); ++it) {
        if (!it->answered) {
            return &*it;
        }
    }
    return nullptr;
}

void Simulation::answer() {
    Prompt* prompt = openPrompt();
    if (prompt == nullptr) {
        throw std::logic_error("no prompt is open");
    }
    prompt->answered = true;
    prompt->seen = true;
    resumeProgram();
}

void Simulation::answerPath(std::optional<std::string> path) {
    Prompt* prompt = openPrompt();
    if (prompt == nullptr) {
        throw std::logic_error("no prompt is open");
    }
    prompt->chosenPath = std::move(path);
    answer();
}

void Simulation::answerPassword(bool accepted) {
    Prompt* prompt = openPrompt();
    if (prompt == nullptr) {
        throw std::logic_error("no prompt is open");
    }
    prompt->passwordAccepted = accepted;
    answer();
}

std::vector<std::string> Simulation::unexpected() const {
    std::vector<std::string> problems;
    for (const Prompt& prompt : platform_.prompts) {
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

}  // namespace morvel::headless
