#include "platform/linux/linux_input.h"

#include <gdk/gdkkeysyms.h>

namespace morvel::linux_backend {

namespace msg = platform::msg;

namespace {

// Win32's mouse-key flags, carried in wParam of pointer messages.
constexpr std::uintptr_t kMkLButton = 0x0001;
constexpr std::uintptr_t kMkRButton = 0x0002;
constexpr std::uintptr_t kMkShift = 0x0004;
constexpr std::uintptr_t kMkControl = 0x0008;
constexpr std::uintptr_t kMkMButton = 0x0010;
constexpr int kWheelDelta = 120;

// X key codes are the PC scan codes plus 8.
constexpr guint16 kXKeycodeOffset = 8;

struct KeyPair {
    guint keyval;
    int virtualKey;
};

constexpr KeyPair kNamedKeys[] = {
    {GDK_KEY_BackSpace, 0x08}, {GDK_KEY_Tab, 0x09},         {GDK_KEY_ISO_Left_Tab, 0x09},
    {GDK_KEY_Return, 0x0D},    {GDK_KEY_KP_Enter, 0x0D},    {GDK_KEY_Shift_L, 0x10},
    {GDK_KEY_Shift_R, 0x10},   {GDK_KEY_Control_L, 0x11},   {GDK_KEY_Control_R, 0x11},
    {GDK_KEY_Alt_L, 0x12},     {GDK_KEY_Alt_R, 0x12},       {GDK_KEY_Pause, 0x13},
    {GDK_KEY_Caps_Lock, 0x14}, {GDK_KEY_Escape, 0x1B},      {GDK_KEY_space, 0x20},
    {GDK_KEY_Page_Up, 0x21},   {GDK_KEY_Page_Down, 0x22},   {GDK_KEY_End, 0x23},
    {GDK_KEY_Home, 0x24},      {GDK_KEY_Left, 0x25},        {GDK_KEY_Up, 0x26},
    {GDK_KEY_Right, 0x27},     {GDK_KEY_Down, 0x28},        {GDK_KEY_Print, 0x2C},
    {GDK_KEY_Insert, 0x2D},    {GDK_KEY_Delete, 0x2E},      {GDK_KEY_Super_L, 0x5B},
    {GDK_KEY_Super_R, 0x5C},   {GDK_KEY_Menu, 0x5D},        {GDK_KEY_KP_Multiply, 0x6A},
    {GDK_KEY_KP_Add, 0x6B},    {GDK_KEY_KP_Subtract, 0x6D}, {GDK_KEY_KP_Decimal, 0x6E},
    {GDK_KEY_KP_Divide, 0x6F}, {GDK_KEY_Num_Lock, 0x90},    {GDK_KEY_Scroll_Lock, 0x91},
};

std::uintptr_t MouseKeys(GdkModifierType state) {
    std::uintptr_t keys = 0;
    keys |= (state & GDK_BUTTON1_MASK) != 0 ? kMkLButton : 0;
    keys |= (state & GDK_BUTTON3_MASK) != 0 ? kMkRButton : 0;
    keys |= (state & GDK_BUTTON2_MASK) != 0 ? kMkMButton : 0;
    keys |= (state & GDK_SHIFT_MASK) != 0 ? kMkShift : 0;
    keys |= (state & GDK_CONTROL_MASK) != 0 ? kMkControl : 0;
    return keys;
}

// Client coordinates packed as Win32 does: x in the low word, y in the high word.
std::intptr_t PointParameter(int x, int y) {
    const auto low = static_cast<std::uint32_t>(static_cast<std::uint16_t>(x));
    const auto high = static_cast<std::uint32_t>(static_cast<std::uint16_t>(y));
    return static_cast<std::intptr_t>(static_cast<std::int32_t>(low | (high << 16)));
}

}  // namespace

int VirtualKeyOf(guint keyval) {
    const guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= GDK_KEY_A && upper <= GDK_KEY_Z) || (upper >= GDK_KEY_0 && upper <= GDK_KEY_9)) {
        return static_cast<int>(upper);  // letters and digits are their own upper-case codes
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) {
        return 0x70 + static_cast<int>(keyval - GDK_KEY_F1);
    }
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) {
        return 0x60 + static_cast<int>(keyval - GDK_KEY_KP_0);
    }
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.keyval == keyval) {
            return pair.virtualKey;
        }
    }
    return 0;
}

platform::Message KeyMessage(guint keyval, guint16 keycode, GdkModifierType state, bool press) {
    const bool altKey = keyval == GDK_KEY_Alt_L || keyval == GDK_KEY_Alt_R;
    // Alt's own release comes with the Alt state still set; F10 is a system key by itself.
    const bool system = (state & GDK_MOD1_MASK) != 0 || (altKey && press) || keyval == GDK_KEY_F10;
    platform::Message message;
    message.id = press ? (system ? msg::kSysKeyDown : msg::kKeyDown)
                       : (system ? msg::kSysKeyUp : msg::kKeyUp);
    message.wParam = static_cast<std::uintptr_t>(VirtualKeyOf(keyval));
    // Repeat count 1, the scan code, the context bit for Alt, and for a release the previous
    // state and transition bits.
    const std::uint32_t scan = keycode >= kXKeycodeOffset ? (keycode - kXKeycodeOffset) & 0xFFu : 0;
    std::uint32_t bits = 1u | (scan << 16);
    bits |= (state & GDK_MOD1_MASK) != 0 ? (1u << 29) : 0;
    bits |= press ? 0 : (3u << 30);
    message.lParam = static_cast<std::intptr_t>(static_cast<std::int32_t>(bits));
    return message;
}

std::optional<platform::Message> ButtonMessage(GdkEventType type, guint button, int x, int y,
                                               GdkModifierType state) {
    platform::Message message;
    const bool press = type == GDK_BUTTON_PRESS;
    const bool doubleClick = type == GDK_2BUTTON_PRESS;
    if (!press && !doubleClick && type != GDK_BUTTON_RELEASE) {
        return std::nullopt;
    }
    switch (button) {
        case 1:
            message.id = doubleClick ? msg::kLButtonDblClk
                         : press     ? msg::kLButtonDown
                                     : msg::kLButtonUp;
            break;
        case 2:
            message.id = press || doubleClick ? msg::kMButtonDown : msg::kMButtonUp;
            break;
        case 3:
            message.id = press || doubleClick ? msg::kRButtonDown : msg::kRButtonUp;
            break;
        default:
            return std::nullopt;
    }
    if (doubleClick && button != 1) {
        return std::nullopt;  // only the left button's double click has a message of its own
    }
    message.wParam = MouseKeys(state);
    message.lParam = PointParameter(x, y);
    return message;
}

std::optional<platform::Message> TranslateEvent(const GdkEvent& event) {
    switch (event.type) {
        case GDK_KEY_PRESS:
        case GDK_KEY_RELEASE:
            return KeyMessage(event.key.keyval, event.key.hardware_keycode,
                              static_cast<GdkModifierType>(event.key.state),
                              event.type == GDK_KEY_PRESS);
        case GDK_BUTTON_PRESS:
        case GDK_2BUTTON_PRESS:
        case GDK_BUTTON_RELEASE:
            return ButtonMessage(event.type, event.button.button, static_cast<int>(event.button.x),
                                 static_cast<int>(event.button.y),
                                 static_cast<GdkModifierType>(event.button.state));
        case GDK_MOTION_NOTIFY: {
            platform::Message message;
            message.id = msg::kMouseMove;
            message.wParam = MouseKeys(static_cast<GdkModifierType>(event.motion.state));
            message.lParam =
                PointParameter(static_cast<int>(event.motion.x), static_cast<int>(event.motion.y));
            return message;
        }
        case GDK_SCROLL: {
            int delta = 0;
            if (event.scroll.direction == GDK_SCROLL_UP) {
                delta = kWheelDelta;
            } else if (event.scroll.direction == GDK_SCROLL_DOWN) {
                delta = -kWheelDelta;
            } else {
                return std::nullopt;
            }
            platform::Message message;
            message.id = msg::kMouseWheel;
            message.wParam = MouseKeys(static_cast<GdkModifierType>(event.scroll.state)) |
                             (static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16);
            message.lParam = PointParameter(static_cast<int>(event.scroll.x_root),
                                            static_cast<int>(event.scroll.y_root));
            return message;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace morvel::linux_backend
