// The controls of a form (platform/control_service.h): standard child windows of their form,
// and the panel, a window class of our own. Their creation, placement, colour and
// properties; list boxes, scroll bars and sliders are in win32_lists.cpp, the panel's window
// procedure in win32_windows.cpp and the group box's in win32_group_box.cpp.
#include "platform/win32/win32_platform.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <stdexcept>

#include "common/ascii.h"
#include "platform/win32/video_panel.h"
#include "platform/win32/win32_overlay.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

using platform::ControlKind;

namespace {

constexpr int kTooltipWidth = 400;
constexpr int kImageSize = 16;
constexpr UINT_PTR kGroupBoxSubclass = 1;

struct ClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ClassAndStyle ControlClass(const platform::ControlSpec& design) {
    // Every control clips its siblings, so a group box never paints over what it holds.
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
    const DWORD edge = design.bevel == platform::Bevel::Lowered ? WS_EX_CLIENTEDGE : 0;
    switch (design.kind) {
        case ControlKind::Overlay:
            return {kOverlayClass, child, 0};
        case ControlKind::Label: {
            const DWORD notify = design.onClick || design.onDoubleClick ? SS_NOTIFY : 0;
            const DWORD wrap = design.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
            // No prefix: a file name with '&' in it is shown as it is.
            return {L"STATIC", child | wrap | SS_NOPREFIX | notify,
                    design.bevel == platform::Bevel::Lowered ? WS_EX_STATICEDGE : 0u};
        }
        case ControlKind::Panel:
            return {kPanelClass, child, edge};
        case ControlKind::Button:
            return {L"BUTTON",
                    child | WS_TABSTOP | (design.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                    0};
        case ControlKind::RadioButton:
            return {L"BUTTON", child | WS_TABSTOP | BS_RADIOBUTTON, 0};
        case ControlKind::CheckBox:
            return {L"BUTTON", child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::GroupBox:
            return {L"BUTTON", child | BS_GROUPBOX, 0};
        case ControlKind::ListBox:
            return {L"LISTBOX",
                    child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        LBS_HASSTRINGS,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Edit: {
            const DWORD typing = (design.editable ? 0u : static_cast<DWORD>(ES_READONLY)) |
                                 (design.digitsOnly ? static_cast<DWORD>(ES_NUMBER) : 0u);
            return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL | typing, WS_EX_CLIENTEDGE};
        }
        case ControlKind::Slider:
            return {TRACKBAR_CLASSW, child | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, 0};
        case ControlKind::ScrollBar:
            return {L"SCROLLBAR", child | WS_TABSTOP | SBS_HORZ, 0};
    }
    return {L"STATIC", child, 0};
}

}  // namespace

// --- The panel's window class ---------------------------------------------------------------

void Win32Platform::registerPanelClass() {
    WNDCLASSEXW panel{};
    panel.cbSize = sizeof(panel);
    panel.style = CS_DBLCLKS;
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = instance_;
    panel.hCursor = LoadCursor(nullptr, IDC_ARROW);
    panel.lpszClassName = kPanelClass;
    RegisterClassExW(&panel);
}

const Win32Platform::ControlData* Win32Platform::colorSource(const ControlData& control) const {
    const ControlData* source = &control;
    while (source != nullptr && !source->design.background) {
        source = source->design.parent == 0 ? nullptr : findControl(ToHwnd(source->design.parent));
    }
    return source;
}

HBRUSH Win32Platform::backgroundBrush(const ControlData& control) const {
    const ControlData* source = colorSource(control);
    return source != nullptr ? source->brush.get()
                             : windowData(ToHandle(control.window)).brush.get();
}

COLORREF Win32Platform::backgroundColor(const ControlData& control) const {
    const ControlData* source = colorSource(control);
    return source != nullptr ? ToColorRef(*source->design.background)
                             : windowData(ToHandle(control.window)).color;
}

// --- Creation and placement ----------------------------------------------------------------

Handle Win32Platform::createControl(Handle window, const platform::ControlSpec& design) {
    const HWND form = ToHwnd(window);
    WindowData& formData = windowData(window);
    if (design.parent != 0 && findControl(ToHwnd(design.parent)) == nullptr) {
        throw std::invalid_argument("Control " + design.name + " placed in an unknown parent");
    }
    auto data = std::make_unique<ControlData>();
    data->design = design;
    data->window = form;
    data->bounds = design.bounds;
    data->visible = design.visible;
    data->enabled = design.enabled;
    data->naturalWidth = design.bounds.width == 0;
    data->naturalHeight = design.bounds.height == 0;
    data->sequence = nextSequence_++;
    if (design.background) {
        data->brush.reset(CreateSolidBrush(ToColorRef(*design.background)));
    }
    const HWND control = createControlWindow(form, design);
    ControlData& stored = *(controls_[control] = std::move(data));

    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font(design.font)), FALSE);
    if (design.kind == ControlKind::GroupBox) {
        SetWindowSubclass(control, GroupBoxProc, kGroupBoxSubclass,
                          reinterpret_cast<DWORD_PTR>(this));
    }
    if (design.kind == ControlKind::RadioButton && !design.font.color.systemWindowText) {
        // A visual style draws the caption in its own colour; this one has a colour of its own.
        SetWindowTheme(control, L"", L"");
    }
    if (design.kind == ControlKind::ListBox && design.listRowHeight > 0) {
        SendMessageW(control, LB_SETITEMHEIGHT, 0, design.listRowHeight);
    }
    if (design.kind == ControlKind::ScrollBar || design.kind == ControlKind::Slider) {
        setScrollRange(ToHandle(control), stored.scrollMin, stored.scrollMax);
    }
    if (design.kind == ControlKind::Slider) {
        // The arrow keys' step, and that of Page Up, Page Down and a click beside the thumb.
        SendMessageW(control, TBM_SETLINESIZE, 0, design.smallChange);
        SendMessageW(control, TBM_SETPAGESIZE, 0, design.largeChange);
    }
    applyImage(control, stored);
    fitNaturalSize(control, stored);
    placeControl(control);
    if (design.parent != 0) {
        // Above the group or panel it sits in, which was created before it.
        SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    raiseOverlays(form);
    EnableWindow(control, effectiveEnabled(stored));
    applyVisibility(control);
    if (!design.hint.empty()) {
        addTooltip(formData, form, control, design.hint);
    }
    return ToHandle(control);
}

HWND Win32Platform::createControlWindow(HWND form, const platform::ControlSpec& design) {
    static int nextId = 100;
    const ClassAndStyle kind = ControlClass(design);
    // The panel's procedure needs the platform from its very first message.
    void* createParameter = design.kind == ControlKind::Panel ? this : nullptr;
    const HWND control = CreateWindowExW(
        kind.exStyle, kind.className, Widen(design.caption).c_str(), kind.style, 0, 0, 0, 0, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)), instance_, createParameter);
    if (control == nullptr) {
        throw std::runtime_error("Unable to create control " + design.name);
    }
    return control;
}

// The form's overlays stay above every other control, also one made after them.
void Win32Platform::raiseOverlays(HWND form) {
    for (const auto& [handle, control] : controls_) {
        if (control->window == form && control->design.kind == ControlKind::Overlay) {
            SetWindowPos(handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

std::vector<HWND> Win32Platform::childrenOf(HWND parent) const {
    std::vector<HWND> children;
    for (const auto& [handle, control] : controls_) {
        if (control->design.parent == ToHandle(parent)) {
            children.push_back(handle);
        }
    }
    return children;
}

POINT Win32Platform::parentOrigin(const ControlData& control) const {
    POINT origin{0, 0};
    for (Handle parent = control.design.parent; parent != 0;) {
        const ControlData* above = findControl(ToHwnd(parent));
        if (above == nullptr) {
            break;
        }
        origin.x += above->bounds.left;
        origin.y += above->bounds.top;
        parent = above->design.parent;
    }
    return origin;
}

void Win32Platform::placeControl(HWND control) {
    const ControlData& data = controlData(ToHandle(control));
    const POINT origin = parentOrigin(data);
    MoveWindow(control, origin.x + data.bounds.left, origin.y + data.bounds.top, data.bounds.width,
               data.bounds.height, TRUE);
    for (HWND child : childrenOf(control)) {
        placeControl(child);
    }
}

bool Win32Platform::effectiveVisible(const ControlData& control) const {
    const ControlData* parent =
        control.design.parent == 0 ? nullptr : findControl(ToHwnd(control.design.parent));
    return control.visible && (parent == nullptr || effectiveVisible(*parent));
}

bool Win32Platform::effectiveEnabled(const ControlData& control) const {
    const ControlData* parent =
        control.design.parent == 0 ? nullptr : findControl(ToHwnd(control.design.parent));
    return control.enabled && (parent == nullptr || effectiveEnabled(*parent));
}

void Win32Platform::applyVisibility(HWND control) {
    ShowWindow(control, effectiveVisible(controlData(ToHandle(control))) ? SW_SHOWNA : SW_HIDE);
    for (HWND child : childrenOf(control)) {
        applyVisibility(child);
    }
}

// A label or button without a width or height takes the size of its caption.
void Win32Platform::fitNaturalSize(HWND control, ControlData& data) {
    if (!data.naturalWidth && !data.naturalHeight) {
        return;
    }
    const std::string text = caption(ToHandle(control));
    WindowDc dc(control);
    dc.selectFont(font(data.design.font));
    RECT extent{0, 0, data.naturalWidth ? 0 : data.bounds.width, 0};
    const UINT wrap = data.design.wordWrap && !data.naturalWidth ? DT_WORDBREAK : DT_SINGLELINE;
    DrawTextW(dc.get(), text.empty() ? L" " : Widen(text).c_str(), -1, &extent,
              DT_CALCRECT | DT_NOPREFIX | wrap);
    // Room for a button's frame, or for a radio button's circle and focus rectangle: a radio
    // button no taller than its text keeps off the frame of the group it sits in.
    const bool button = data.design.kind == ControlKind::Button;
    const bool radio =
        data.design.kind == ControlKind::RadioButton || data.design.kind == ControlKind::CheckBox;
    if (data.naturalWidth) {
        data.bounds.width = extent.right + (button || radio ? 24 : 0);
    }
    if (data.naturalHeight) {
        data.bounds.height = extent.bottom + (button ? 8 : radio ? 2 : 0);
    }
}

// The pictures are icon resources named "BUTTON_" and the picture's name (morvel.rc). A
// program built without them (the backend's tests) shows its buttons with captions only.
void Win32Platform::applyImage(HWND control, ControlData& data) {
    if (data.design.image.empty() || data.design.kind != ControlKind::Button) {
        return;
    }
    const std::string resource = ascii::upper("BUTTON_" + data.design.image);
    data.image.reset(static_cast<HICON>(
        LoadImageA(instance_, resource.c_str(), IMAGE_ICON, kImageSize, kImageSize, 0)));
    if (data.image) {
        // With version 6 of the common controls a push button shows both its picture and
        // its caption, the picture on the left.
        SendMessageW(control, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(data.image.get()));
    }
}

void Win32Platform::addTooltip(WindowData& form, HWND formWindow, HWND control,
                               const std::string& text) {
    if (form.tooltip == nullptr) {
        form.tooltip =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, formWindow, nullptr, instance_, nullptr);
        if (form.tooltip == nullptr) {
            return;  // a missing tooltip is no reason to fail the form
        }
        SendMessageW(form.tooltip, TTM_SETMAXTIPWIDTH, 0, kTooltipWidth);
    }
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = formWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    std::wstring copy = Widen(text);  // the tooltip keeps its own copy of the text
    tool.lpszText = copy.data();
    SendMessageW(form.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

HFONT Win32Platform::font(const platform::Font& font) {
    int height = -font.pixelHeight;
    if (font.pixelHeight == 0) {
        WindowDc screen(nullptr);
        height = -MulDiv(font.points, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    }
    const FontKey key{font.face, height, font.bold};
    auto found = fonts_.find(key);
    if (found == fonts_.end()) {
        OwnedFont created(CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                                      FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, Widen(font.face).c_str()));
        found = fonts_.emplace(key, std::move(created)).first;
    }
    return found->second.get();
}

Win32Platform::ControlData* Win32Platform::findControl(HWND control) const {
    auto found = controls_.find(control);
    return found == controls_.end() ? nullptr : found->second.get();
}

Win32Platform::ControlData& Win32Platform::controlData(Handle control) const {
    ControlData* data = findControl(ToHwnd(control));
    if (data == nullptr) {
        throw std::invalid_argument("No control with handle " + std::to_string(control));
    }
    return *data;
}

// --- Properties ------------------------------------------------------------------------------

void Win32Platform::setBounds(Handle control, platform::Rect bounds) {
    ControlData& data = controlData(control);
    data.bounds = bounds;
    data.naturalWidth = false;
    data.naturalHeight = false;
    placeControl(ToHwnd(control));
}

platform::Rect Win32Platform::bounds(Handle control) const {
    return controlData(control).bounds;
}

void Win32Platform::setCaption(Handle control, const std::string& caption) {
    ControlData& data = controlData(control);
    SetWindowTextW(ToHwnd(control), Widen(caption).c_str());
    data.design.caption = caption;
    if (data.naturalWidth || data.naturalHeight) {
        fitNaturalSize(ToHwnd(control), data);
        placeControl(ToHwnd(control));
    }
    if (data.design.kind == ControlKind::Panel) {
        InvalidateRect(ToHwnd(control), nullptr, TRUE);
    }
}

std::string Win32Platform::caption(Handle control) const {
    const HWND window = ToHwnd(control);
    controlData(control);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return Narrow(text);
}

void Win32Platform::setVisible(Handle control, bool visible) {
    controlData(control).visible = visible;
    applyVisibility(ToHwnd(control));
}

bool Win32Platform::isVisible(Handle control) const {
    return controlData(control).visible;
}

void Win32Platform::setEnabled(Handle control, bool enabled) {
    controlData(control).enabled = enabled;
    std::vector<HWND> pending{ToHwnd(control)};
    while (!pending.empty()) {
        const HWND next = pending.back();
        pending.pop_back();
        EnableWindow(next, effectiveEnabled(controlData(ToHandle(next))));
        const std::vector<HWND> children = childrenOf(next);
        pending.insert(pending.end(), children.begin(), children.end());
    }
}

bool Win32Platform::isEnabled(Handle control) const {
    return controlData(control).enabled;
}

// The form keeps the control for when it is next activated; an active form moves it now.
void Win32Platform::setFocus(Handle control) {
    const HWND form = controlData(control).window;
    windowData(ToHandle(form)).focus = ToHwnd(control);
    if (GetActiveWindow() == form) {
        SetFocus(ToHwnd(control));
    }
}

// Radio buttons are checked by hand: one checked unchecks the others of its parent.
void Win32Platform::setChecked(Handle control, bool checked) {
    const ControlData& data = controlData(control);
    if (checked && data.design.kind == ControlKind::RadioButton) {
        for (const auto& [handle, other] : controls_) {
            if (ToHandle(handle) != control && other->window == data.window &&
                other->design.parent == data.design.parent &&
                other->design.kind == ControlKind::RadioButton) {
                SendMessageW(handle, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
    }
    SendMessageW(ToHwnd(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Platform::isChecked(Handle control) const {
    controlData(control);
    return SendMessageW(ToHwnd(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace morvel::win32
