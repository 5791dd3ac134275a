// The backend's lists against the seam's contract, on an X display (skipped without one):
// a bad index or handle is refused as the other backends refuse it, and a refused change
// does not leave the program's quiet in force, which would make every later click of the
// user run no handler. And the services the saver's options lean on: the slider, the number
// entry, the state folder and UPower's power source.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

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

// --- The options' controls -------------------------------------------------------------------

// The volume slider: a scale that draws no number, whose keys take the design's steps and
// run its handler, while the program's own moves run none.
TEST_F(LinuxPlatformTest, ASliderStepsByTheDesignsChangesAndOnlyTheUserRunsItsHandler) {
    LinuxPlatform& platform = *platform_;
    int scrolls = 0;
    platform::ControlSpec design;
    design.kind = ControlKind::Slider;
    design.bounds = {0, 0, 240, 24};
    design.smallChange = 1;
    design.largeChange = 10;
    design.onScroll = [&] { ++scrolls; };
    const Handle slider = platform.createControl(window_, design);
    platform.setScrollRange(slider, 0, 100);
    platform.setScrollPosition(slider, 100);
    auto* scale = reinterpret_cast<GtkWidget*>(slider);
    ASSERT_TRUE(GTK_IS_SCALE(scale));
    EXPECT_FALSE(gtk_scale_get_draw_value(GTK_SCALE(scale)));
    EXPECT_EQ(scrolls, 0);

    const std::pair<GtkScrollType, int> moves[] = {
        {GTK_SCROLL_STEP_LEFT, 99}, {GTK_SCROLL_PAGE_LEFT, 89}, {GTK_SCROLL_END, 100}};
    for (const auto& [move, expected] : moves) {
        g_signal_emit_by_name(scale, "move-slider", move);
        EXPECT_EQ(platform.scrollPosition(slider), expected);
    }
    EXPECT_EQ(scrolls, 3);
}

// Typing into edits: one that only shows text takes none, a number edit takes digits and
// refuses a typed or pasted text with anything else in it whole.
TEST_F(LinuxPlatformTest, ANumberEditTakesDigitsOnlyAndAShowingEditTakesNothing) {
    LinuxPlatform& platform = *platform_;
    const auto edit = [&](bool editable, bool digitsOnly) {
        platform::ControlSpec design;
        design.kind = ControlKind::Edit;
        design.bounds = {0, 0, 50, 19};
        design.editable = editable;
        design.digitsOnly = digitsOnly;
        return platform.createControl(window_, design);
    };
    const auto type = [](Handle control, const char* text) {
        auto* entry = GTK_EDITABLE(reinterpret_cast<GtkWidget*>(control));
        gint at = gtk_editable_get_position(entry);
        gtk_editable_insert_text(entry, text, -1, &at);
        gtk_editable_set_position(entry, at);
    };
    const Handle minutes = edit(true, true);
    for (const char* typed : {"1", "5", "x", "2a", " 3", "-1", "0"}) {
        type(minutes, typed);
    }
    EXPECT_EQ(platform.caption(minutes), "150");

    const Handle free = edit(true, false);
    type(free, "C:\\Sounds");
    EXPECT_EQ(platform.caption(free), "C:\\Sounds");
    EXPECT_TRUE(gtk_editable_get_editable(GTK_EDITABLE(reinterpret_cast<GtkWidget*>(free))));
    EXPECT_FALSE(
        gtk_editable_get_editable(GTK_EDITABLE(reinterpret_cast<GtkWidget*>(edit(false, false)))));
}

// --- The state folder ------------------------------------------------------------------------

// Puts an environment variable back as it was when the scope ends.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// $XDG_STATE_HOME/morvel where it is absolute, else ~/.local/state/morvel, made with its
// missing parents, each new one the user's alone; a home that cannot hold it costs nothing
// but the folder.
TEST_F(LinuxPlatformTest, TheStateFolderFollowsXdgStateHomeAndIsMadeTheUsersAlone) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("morvel-state-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "home");
    const ScopedVariable home("HOME", (root / "home").c_str());
    const std::string xdg = (root / "xdg state").string();
    const std::pair<const char*, fs::path> cases[] = {
        {xdg.c_str(), root / "xdg state" / "morvel"},
        {nullptr, root / "home" / ".local" / "state" / "morvel"},
        {"relative/state", root / "home" / ".local" / "state" / "morvel"},
    };
    for (const auto& [variable, expected] : cases) {
        const ScopedVariable state("XDG_STATE_HOME", variable);
        EXPECT_EQ(platform_->stateDirectory(), expected.string());
        struct stat made {};
        ASSERT_EQ(stat(expected.c_str(), &made), 0) << expected;
        EXPECT_EQ(made.st_mode & 0777, 0700u) << expected;
        EXPECT_EQ(stat((expected.parent_path()).c_str(), &made), 0);
        EXPECT_EQ(made.st_mode & 0777, 0700u) << expected.parent_path();
    }
    fs::remove_all(root);
}

// --- The power source --------------------------------------------------------------------------

// A process of the test's, ended with it.
class Child {
  public:
    explicit Child(const std::vector<const char*>& argv) {
        std::vector<const char*> terminated = argv;
        terminated.push_back(nullptr);
        process_ =
            g_subprocess_newv(terminated.data(),
                              static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                                            G_SUBPROCESS_FLAGS_STDERR_SILENCE),
                              nullptr);
    }
    ~Child() {
        if (process_ != nullptr) {
            g_subprocess_force_exit(process_);
            g_subprocess_wait(process_, nullptr, nullptr);
            g_object_unref(process_);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool running() const { return process_ != nullptr; }

  private:
    GSubprocess* process_ = nullptr;
};

bool RunsQuietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// UPower's OnBattery from the system bus, followed through its changes, which run the handler
// once each; with no bus at all the machine is on mains. The stand-in is python3-dbusmock's
// UPower on a bus of the test's own.
TEST_F(LinuxPlatformTest, OnBatteryIsUPowersWordAndEachChangeRunsTheHandler) {
    {
        const ScopedVariable nowhere("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        EXPECT_FALSE(LinuxPlatform(std::make_unique<OwnScreenHost>()).onBattery());
    }
    if (!RunsQuietly("/usr/bin/python3 -c 'import dbusmock'") ||
        !RunsQuietly("command -v dbus-daemon")) {
        GTEST_SKIP() << "no dbus-daemon or python3-dbusmock";
    }
    namespace fs = std::filesystem;
    const fs::path socket = fs::temp_directory_path() / ("morvel-bus-" + std::to_string(getpid()));
    fs::remove(socket);
    const std::string address = "unix:path=" + socket.string();
    const std::string listen = "--address=" + address;
    const Child bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", listen.c_str()});
    const ScopedVariable system("DBUS_SYSTEM_BUS_ADDRESS", address.c_str());
    for (int wait = 0; wait < 200 && !fs::exists(socket); ++wait) {
        g_usleep(50'000);
    }
    const Child upower({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "upower",
                        "--parameters", "{\"OnBattery\": true}"});
    const std::string call = "gdbus call --address '" + address +
                             "' --dest org.freedesktop.UPower --object-path /org/freedesktop/UPower"
                             " --method ";
    bool up = false;
    for (int wait = 0; wait < 150 && !up; ++wait) {
        up = RunsQuietly(call +
                         "org.freedesktop.DBus.Properties.Get org.freedesktop.UPower "
                         "OnBattery");
        g_usleep(up ? 0 : 100'000);
    }
    ASSERT_TRUE(up) << "the UPower stand-in did not come up";

    LinuxPlatform& platform = *platform_;
    int changes = 0;
    platform.setPowerSourceHandler([&] { ++changes; });
    EXPECT_TRUE(platform.onBattery());
    const auto setOnBattery = [&](const char* value) {
        ASSERT_TRUE(RunsQuietly(call +
                                "org.freedesktop.DBus.Mock.UpdateProperties "
                                "org.freedesktop.UPower \"{'OnBattery': <" +
                                value + ">}\""));
        const gint64 deadline = g_get_monotonic_time() + 5 * G_TIME_SPAN_SECOND;
        const int before = changes;
        while (changes == before && g_get_monotonic_time() < deadline) {
            g_main_context_iteration(nullptr, FALSE);
            g_usleep(10'000);
        }
    };
    setOnBattery("false");
    EXPECT_FALSE(platform.onBattery());
    EXPECT_EQ(changes, 1);
    setOnBattery("true");
    EXPECT_TRUE(platform.onBattery());
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace morvel::linux_backend
