// The backend's lists against the seam's contract, on an X display (skipped without one):
// a bad index or handle is refused as the other backends refuse it, and a refused change
// does not leave the program's quiet in force, which would make every later click of the
// user run no handler.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "platform/linux/linux_platform.h"

namespace morvel::linux_backend {
namespace {

using platform::ControlKind;

constexpr Handle kUnknown = 12345;

class LinuxPlatformTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gdk_set_allowed_backends("x11");
        hasDisplay_ = gtk_init_check(nullptr, nullptr);
    }

    void SetUp() override {
        if (!hasDisplay_) {
            GTEST_SKIP() << "no X display";
        }
        platform_ = std::make_unique<LinuxPlatform>(std::make_unique<OwnScreenHost>());
        platform::WindowSpec design;
        design.className = "TFormTest";
        design.clientSize = {300, 200};
        window_ = platform_->createWindow(design);
    }

    Handle control(ControlKind kind, std::function<void()> onClick = {}) {
        platform::ControlSpec design;
        design.kind = kind;
        design.bounds = {0, 0, 200, 100};
        design.onClick = std::move(onClick);
        return platform_->createControl(window_, design);
    }

    // What the user does: a click on a button, a row picked in a list.
    static void userClicks(Handle button) {
        gtk_button_clicked(GTK_BUTTON(reinterpret_cast<GtkWidget*>(button)));
    }
    static void userPicksRow(Handle list, int row) {
        GtkWidget* view = gtk_bin_get_child(GTK_BIN(reinterpret_cast<GtkWidget*>(list)));
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), path);
        gtk_tree_path_free(path);
    }

    static bool hasDisplay_;
    std::unique_ptr<LinuxPlatform> platform_;
    Handle window_ = 0;
};

bool LinuxPlatformTest::hasDisplay_ = false;

TEST_F(LinuxPlatformTest, AListRefusesABadIndexOrHandleAsEveryBackendDoes) {
    LinuxPlatform& platform = *platform_;
    const Handle list = control(ControlKind::ListBox);
    platform.addItem(list, "/clips/one.mp4");
    platform.addItem(list, "/clips/two.mp4");

    try {
        platform.itemText(list, 2);
        ADD_FAILURE() << "itemText past the end returned";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (2)");
    }
    EXPECT_THROW(platform.itemText(list, -1), std::out_of_range);

    platform.deleteItem(list, 2);
    platform.deleteItem(list, -1);
    ASSERT_EQ(platform.itemCount(list), 2);
    EXPECT_EQ(platform.itemText(list, 1), "/clips/two.mp4");

    platform.setSelectedIndex(list, 1);
    platform.setSelectedIndex(list, 9);
    EXPECT_EQ(platform.selectedIndex(list), -1);

    EXPECT_THROW(platform.itemText(kUnknown, 0), std::invalid_argument);
    EXPECT_THROW(platform.addItem(kUnknown, "x"), std::invalid_argument);
    EXPECT_THROW(platform.setSelectedIndex(kUnknown, 0), std::invalid_argument);
}

TEST_F(LinuxPlatformTest, AFailedChangeOfTheProgramLeavesTheUsersActionsRunningHandlers) {
    LinuxPlatform& platform = *platform_;
    int picks = 0;
    int clicks = 0;
    const Handle list = control(ControlKind::ListBox, [&] { ++picks; });
    const Handle button = control(ControlKind::Button, [&] { ++clicks; });
    const Handle bar = control(ControlKind::ScrollBar);
    platform.addItem(list, "/clips/one.mp4");
    platform.addItem(list, "/clips/two.mp4");

    // The program's own changes run no handler.
    platform.setSelectedIndex(list, 1);
    platform.deleteItem(list, 1);
    platform.setScrollRange(bar, 0, 10);
    EXPECT_EQ(picks, 0);

    // Changes refused half-way, while the program's changes are quiet.
    EXPECT_THROW(platform.deleteItem(kUnknown, 0), std::invalid_argument);
    EXPECT_THROW(platform.clearItems(kUnknown), std::invalid_argument);
    EXPECT_THROW(platform.setScrollPosition(kUnknown, 3), std::invalid_argument);
    EXPECT_THROW(platform.setScrollRange(kUnknown, 0, 3), std::invalid_argument);
    EXPECT_THROW(platform.setChecked(kUnknown, true), std::invalid_argument);

    userClicks(button);
    userPicksRow(list, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(picks, 1);
}

}  // namespace
}  // namespace morvel::linux_backend
