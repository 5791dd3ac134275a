// Windows and controls: the in-memory tree a test reads and clicks, the keyboard focus and
// where a click lands.
#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "platform/headless/headless_platform.h"

namespace morvel::headless {

using platform::ControlKind;
using platform::Rect;

namespace {

// The frame a fixed dialog's outer size includes: borders and the title bar, as on Win32.
constexpr int kFrameWidth = 2 * 3;
constexpr int kFrameHeight = 2 * 3 + 19;

// The pictures the program has for its buttons; a backend shows no other.
constexpr std::array<std::string_view, 12> kButtonPictures = {
    "add",     "folder", "clear", "remove", "sound", "preview",
    "support", "web",    "ok",    "play",   "pause", "stop"};

bool Contains(Rect area, int x, int y) {
    return x >= area.left && x < area.left + area.width && y >= area.top &&
           y < area.top + area.height;
}

bool IsContainer(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::Panel;
}

}  // namespace

// --- Lookups ---------------------------------------------------------------------------------

WindowState& HeadlessPlatform::windowRef(Handle handle) {
    return const_cast<WindowState&>(std::as_const(*this).windowRef(handle));
}

const WindowState& HeadlessPlatform::windowRef(Handle handle) const {
    auto it = windows_.find(handle);
    if (it == windows_.end()) {
        misuse.push_back("no window with handle " + std::to_string(handle));
        throw std::invalid_argument("No window with handle " + std::to_string(handle));
    }
    return it->second;
}

ControlState& HeadlessPlatform::controlRef(Handle handle) {
    return const_cast<ControlState&>(std::as_const(*this).controlRef(handle));
}

const ControlState& HeadlessPlatform::controlRef(Handle handle) const {
    auto it = controls_.find(handle);
    if (it == controls_.end()) {
        misuse.push_back("no control with handle " + std::to_string(handle));
        throw std::invalid_argument("No control with handle " + std::to_string(handle));
    }
    return it->second;
}

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

Handle HeadlessPlatform::activeWindow() const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if (it->second.visible && it->second.enabled) {
            return it->first;
        }
    }
    return 0;
}

// --- Windows ---------------------------------------------------------------------------------

Handle HeadlessPlatform::createWindow(const platform::WindowSpec& design) {
    const Handle handle = newHandle();
    WindowState& window = windows_[handle];
    window.handle = handle;
    window.design = design;
    window.color = design.background;
    return handle;
}

void HeadlessPlatform::destroyWindow(Handle handle) {
    const WindowState& window = windowRef(handle);
    for (Handle control : window.controls) {
        controls_.erase(control);
    }
    std::erase_if(timers_, [&](const Timer& t) { return t.window == handle; });
    windows_.erase(handle);
}

void HeadlessPlatform::showWindow(Handle handle, bool visible) {
    windowRef(handle).visible = visible;
}

// As on Win32, the owner takes no input while its modal window runs, and is enabled again
// before the call returns.
void HeadlessPlatform::showModal(Handle handle) {
    WindowState& window = windowRef(handle);
    window.visible = true;
    window.modal = true;
    const Handle owner = window.design.owner;
    auto ownerState = windows_.find(owner);
    const bool disablesOwner = ownerState != windows_.end() && ownerState->second.enabled;
    if (disablesOwner) {
        ownerState->second.enabled = false;
    }
    runLoop([this, handle] {
        auto it = windows_.find(handle);
        return quitRequested_ || it == windows_.end() || !it->second.visible;
    });
    if (auto it = windows_.find(handle); it != windows_.end()) {
        it->second.modal = false;
    }
    if (auto it = windows_.find(owner); disablesOwner && it != windows_.end()) {
        it->second.enabled = true;
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

Rect HeadlessPlatform::clientArea(Handle handle) const {
    const WindowState& window = windowRef(handle);
    if (window.design.style == platform::WindowStyle::FullScreenTopmost) {
        const platform::Size primary = screenSize();
        return Rect{0, 0, primary.width, primary.height};
    }
    if (window.design.style == platform::WindowStyle::FullScreenEveryMonitor) {
        const Rect desktop = platform::BoundingRect(monitors());
        return Rect{0, 0, desktop.width, desktop.height};
    }
    const platform::Size outer = window.design.outerSize;
    if (outer.width > 0 && outer.height > 0) {
        return Rect{0, 0, outer.width - kFrameWidth, outer.height - kFrameHeight};
    }
    return Rect{0, 0, window.design.clientSize.width, window.design.clientSize.height};
}

// --- Controls --------------------------------------------------------------------------------

Handle HeadlessPlatform::createControl(Handle window, const platform::ControlSpec& design) {
    WindowState& owner = windowRef(window);
    if (design.parent != 0 && !controls_.count(design.parent)) {
        misuse.push_back("control " + design.name + " placed in an unknown parent");
        throw std::invalid_argument("Control " + design.name + " placed in an unknown parent");
    }
    if (!design.image.empty() && std::find(kButtonPictures.begin(), kButtonPictures.end(),
                                           design.image) == kButtonPictures.end()) {
        misuse.push_back("control " + design.name + " shows an unknown picture " + design.image);
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

void HeadlessPlatform::setChecked(Handle control, bool checked) {
    ControlState& target = controlRef(control);
    if (checked && target.design.kind == ControlKind::RadioButton) {
        for (auto& [handle, other] : controls_) {
            if (other.window == target.window && other.design.parent == target.design.parent &&
                other.design.kind == ControlKind::RadioButton) {
                other.checked = false;
            }
        }
    }
    target.checked = checked;
}
bool HeadlessPlatform::isChecked(Handle control) const {
    return controlRef(control).checked;
}

// --- Reaching controls -----------------------------------------------------------------------

bool HeadlessPlatform::takesInput(Handle handle) const {
    const ControlState* control = controlByHandle(handle);
    const WindowState* window = control != nullptr ? windowByHandle(control->window) : nullptr;
    if (window == nullptr || !window->enabled) {
        return false;
    }
    for (; control != nullptr; control = controlByHandle(control->design.parent)) {
        if (!control->visible || !control->enabled) {
            return false;
        }
    }
    return true;
}

Rect HeadlessPlatform::boundsInWindow(Handle handle) const {
    Rect area = controlRef(handle).bounds;
    for (const ControlState* parent = controlByHandle(controlRef(handle).design.parent);
         parent != nullptr; parent = controlByHandle(parent->design.parent)) {
        area.left += parent->bounds.left;
        area.top += parent->bounds.top;
    }
    return area;
}

const ControlState* HeadlessPlatform::controlAt(Handle window, int x, int y) const {
    if (!Contains(clientArea(window), x, y)) {
        return nullptr;
    }
    return controlAtIn(windowRef(window), 0, x, y);
}

const ControlState* HeadlessPlatform::controlAtIn(const WindowState& window, Handle parent, int x,
                                                  int y) const {
    for (Handle handle : window.controls) {
        const ControlState& each = controls_.at(handle);
        // An overlay takes no input: a click on it lands on what lies under it.
        if (each.design.parent != parent || !each.visible ||
            each.design.kind == ControlKind::Overlay || !Contains(boundsInWindow(handle), x, y)) {
            continue;
        }
        const ControlState* inner = controlAtIn(window, handle, x, y);
        return inner != nullptr ? inner : &each;
    }
    return nullptr;
}

// --- Focus -----------------------------------------------------------------------------------

void HeadlessPlatform::setFocus(Handle control) {
    ControlState& target = controlRef(control);
    for (Handle sibling : windowRef(target.window).controls) {
        controls_.at(sibling).focused = false;
    }
    target.focused = true;
}

const ControlState* HeadlessPlatform::focusedControl(Handle window) const {
    for (Handle handle : windowRef(window).controls) {
        if (controls_.at(handle).focused) {
            return &controls_.at(handle);
        }
    }
    return nullptr;
}

// Tab moves to the next stop of the window's focus order, round to the first after the last.
// Focus on a radio button that is no stop itself counts as focus on its group's stop.
void HeadlessPlatform::moveFocusToNext(Handle window) {
    const std::vector<Handle> stops = focusOrder(window);
    if (stops.empty()) {
        return;
    }
    const ControlState* current = focusedControl(window);
    const auto isCurrent = [&](Handle stop) {
        const ControlState& candidate = controls_.at(stop);
        return current != nullptr &&
               (stop == current->handle || (candidate.design.kind == ControlKind::RadioButton &&
                                            current->design.kind == ControlKind::RadioButton &&
                                            candidate.design.parent == current->design.parent));
    };
    const auto at = std::find_if(stops.begin(), stops.end(), isCurrent);
    const auto next =
        at == stops.end() || std::next(at) == stops.end() ? stops.begin() : std::next(at);
    setFocus(*next);
}

std::vector<Handle> HeadlessPlatform::focusOrder(Handle window) const {
    std::vector<Handle> stops;
    appendFocusStops(windowRef(window), 0, stops);
    return stops;
}

// The dialog manager's order: the controls of a parent by their place in the focus order,
// those without one after them in creation order; a group or panel stands for its controls.
// Only shown, enabled controls that take the focus are stops, and a group of radio buttons is
// one stop: its checked button, else its first.
void HeadlessPlatform::appendFocusStops(const WindowState& window, Handle parent,
                                        std::vector<Handle>& stops) const {
    std::vector<const ControlState*> children;
    for (Handle handle : window.controls) {
        const ControlState& each = controls_.at(handle);
        if (each.design.parent == parent && each.visible && each.enabled) {
            children.push_back(&each);
        }
    }
    std::stable_sort(children.begin(), children.end(), [](const auto* a, const auto* b) {
        const auto place = [](const ControlState* c) {
            return c->design.tabOrder >= 0 ? c->design.tabOrder : std::numeric_limits<int>::max();
        };
        return place(a) < place(b);
    });
    const ControlState* radioStop = nullptr;
    for (const ControlState* each : children) {
        const ControlKind kind = each->design.kind;
        if (IsContainer(kind)) {
            appendFocusStops(window, each->handle, stops);
        } else if (kind == ControlKind::RadioButton) {
            if (radioStop == nullptr) {
                radioStop = each;
                stops.push_back(each->handle);
            } else if (each->checked && !radioStop->checked) {
                std::replace(stops.begin(), stops.end(), radioStop->handle, each->handle);
                radioStop = each;
            }
        } else if (kind != ControlKind::Label) {
            stops.push_back(each->handle);
        }
    }
}

}  // namespace morvel::headless
