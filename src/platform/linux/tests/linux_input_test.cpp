// GDK events to the Win32 messages the core reads: the saver ends on these, the forms read
// the virtual keys, so a wrong id or code is a saver that never ends or a key that is lost.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include "platform/linux/linux_input.h"

namespace morvel::linux_backend {
namespace {

namespace msg = platform::msg;

TEST(LinuxInput, KeysBecomeWin32VirtualKeysAndMessages) {
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_a), 'A');
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Q), 'Q');
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_7), '7');
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Escape), 0x1B);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Return), 0x0D);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_F1), 0x70);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_F12), 0x7B);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_KP_5), 0x65);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Left), 0x25);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Shift_R), 0x10);

    // X key code 9 is Escape, PC scan code 1.
    const platform::Message down = KeyMessage(GDK_KEY_Escape, 9, GdkModifierType{}, true);
    EXPECT_EQ(down.id, msg::kKeyDown);
    EXPECT_EQ(down.wParam, 0x1Bu);
    EXPECT_EQ(down.lParam, 0x00010001);
    const platform::Message up = KeyMessage(GDK_KEY_Escape, 9, GdkModifierType{}, false);
    EXPECT_EQ(up.id, msg::kKeyUp);
    EXPECT_EQ(static_cast<std::uint32_t>(up.lParam), 0xC0010001u);

    // Alt, F10 and keys held with Alt are system keys; Alt's own release too.
    EXPECT_EQ(KeyMessage(GDK_KEY_Alt_L, 64, GdkModifierType{}, true).id, msg::kSysKeyDown);
    EXPECT_EQ(KeyMessage(GDK_KEY_Alt_L, 64, GDK_MOD1_MASK, false).id, msg::kSysKeyUp);
    EXPECT_EQ(KeyMessage(GDK_KEY_F10, 76, GdkModifierType{}, true).id, msg::kSysKeyDown);
    const platform::Message altX = KeyMessage(GDK_KEY_x, 53, GDK_MOD1_MASK, true);
    EXPECT_EQ(altX.id, msg::kSysKeyDown);
    EXPECT_EQ(altX.wParam, static_cast<std::uintptr_t>('X'));
    EXPECT_NE(altX.lParam & (1 << 29), 0);
}

TEST(LinuxInput, ButtonsBecomeMouseMessagesWithClientPointAndKeys) {
    const auto left = ButtonMessage(GDK_BUTTON_PRESS, 1, 10, 20, GDK_SHIFT_MASK);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->id, msg::kLButtonDown);
    EXPECT_EQ(left->lParam, (20 << 16) | 10);
    EXPECT_EQ(left->wParam, 0x0004u);  // MK_SHIFT

    // GDK numbers the middle button 2 and the right one 3.
    EXPECT_EQ(ButtonMessage(GDK_BUTTON_PRESS, 3, 0, 0, GdkModifierType{})->id, msg::kRButtonDown);
    EXPECT_EQ(ButtonMessage(GDK_BUTTON_PRESS, 2, 0, 0, GdkModifierType{})->id, msg::kMButtonDown);
    EXPECT_EQ(ButtonMessage(GDK_BUTTON_RELEASE, 1, 0, 0, GdkModifierType{})->id, msg::kLButtonUp);
    EXPECT_EQ(ButtonMessage(GDK_2BUTTON_PRESS, 1, 0, 0, GdkModifierType{})->id,
              msg::kLButtonDblClk);
    EXPECT_FALSE(ButtonMessage(GDK_2BUTTON_PRESS, 3, 0, 0, GdkModifierType{}));
    EXPECT_FALSE(ButtonMessage(GDK_BUTTON_PRESS, 8, 0, 0, GdkModifierType{}));

    // Negative client coordinates (a drag off the window's corner) keep their 16-bit form.
    const auto outside = ButtonMessage(GDK_BUTTON_RELEASE, 1, -1, -2, GdkModifierType{});
    EXPECT_EQ(static_cast<std::uint32_t>(outside->lParam), 0xFFFEFFFFu);
}

}  // namespace
}  // namespace morvel::linux_backend
