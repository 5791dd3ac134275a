// The backend's lists against the seam's contract, on an X display (skipped without one):
// a bad index or handle is refused as the other backends refuse it, and a refused change
// does not leave the program's quiet in force, which would make every later click of the
// user run no handler.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <utility>

#include "platform/linux/linux_platform.h"

namespace {
// Reads of a folder left before the C library's readdir fails as a failing disk or a share
// gone away makes it fail; -1: it never fails. The test's thread only: GTK's own threads
// read folders too.
thread_local int readsBeforeFolderFails = -1;
}  // namespace

// Stands in for the C library's own, which it calls.
extern "C" dirent* readdir(DIR* folder) {
    using Readdir = dirent* (*)(DIR*);
    static const auto real = reinterpret_cast<Readdir>(dlsym(RTLD_NEXT, "readdir"));
    if (readsBeforeFolderFails == 0) {
        errno = EIO;
        return nullptr;
    }
    if (readsBeforeFolderFails > 0) {
        --readsBeforeFolderFails;
    }
    return real(folder);
}

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

// Add Entire Folder takes what the folder lists; a folder that fails part-way lists what it
// could, and nothing escapes the listing.
TEST_F(LinuxPlatformTest, AFolderThatFailsPartWayListsWhatItCould) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("morvel-list-" + std::to_string(getpid()));
    fs::create_directories(folder / "a folder");
    const std::vector<std::string> clips = {"one.mp4", "two.mp4", "three.mp4"};
    for (const std::string& clip : clips) {
        std::ofstream(folder / clip) << "clip";
    }
    std::vector<std::string> whole = platform_->filesInFolder(folder.string());
    std::sort(whole.begin(), whole.end());
    EXPECT_EQ(whole, (std::vector<std::string>{"one.mp4", "three.mp4", "two.mp4"}));

    // ".", ".." and three of the four names, in the order the folder keeps them.
    readsBeforeFolderFails = 4;
    std::vector<std::string> part;
    EXPECT_NO_THROW(part = platform_->filesInFolder(folder.string()));
    readsBeforeFolderFails = -1;
    EXPECT_LE(part.size(), clips.size());
    for (const std::string& name : part) {
        EXPECT_NE(std::find(clips.begin(), clips.end(), name), clips.end()) << name;
    }
    fs::remove_all(folder);
}

// A timer's handler that shows a box or a modal window stops neither that timer nor another
// while it is up, as on the other platform: the saver's clips move on behind its boxes.
TEST_F(LinuxPlatformTest, TimersFireInsideTheNestedLoopOfABoxOrModalWindowOneOfThemShows) {
    LinuxPlatform& platform = *platform_;
    platform::WindowSpec modal;
    modal.className = "TFormModal";
    modal.clientSize = {200, 100};
    modal.owner = window_;
    const Handle modalWindow = platform.createWindow(modal);
    const std::pair<const char*, std::function<void()>> nestedLoops[] = {
        {"box",
         [&] { platform.messageBox(window_, "Error", "Up", platform::MessageBoxKind::Error); }},
        {"modal window", [&] { platform.showModal(modalWindow); }},
    };
    for (const auto& [what, showNested] : nestedLoops) {
        bool up = false;
        int ownTicksWhileUp = 0;
        int otherTicksWhileUp = 0;
        platform.startTimer(window_, 1, 20, [&] {
            if (up) {
                ++ownTicksWhileUp;
            } else if (ownTicksWhileUp == 0) {
                up = true;
                showNested();
                up = false;
            }
        });
        platform.startTimer(window_, 2, 20, [&] {
            otherTicksWhileUp += up ? 1 : 0;
            if (ownTicksWhileUp >= 3 && otherTicksWhileUp >= 3) {
                platform.quit();  // answers the box, ends the modal loop and the program's
            }
        });
        // Outside the platform's timers: the loops end even where none of them fires.
        const guint guard = g_timeout_add(
            2000,
            +[](gpointer self) -> gboolean {
                static_cast<LinuxPlatform*>(self)->quit();
                return G_SOURCE_CONTINUE;
            },
            &platform);
        platform.runMessageLoop();
        g_source_remove(guard);
        platform.stopTimer(window_, 1);
        platform.stopTimer(window_, 2);
        EXPECT_GE(ownTicksWhileUp, 3) << "the timer that showed the " << what;
        EXPECT_GE(otherTicksWhileUp, 3) << "another timer, while the " << what << " was up";
    }
}

}  // namespace
}  // namespace morvel::linux_backend
