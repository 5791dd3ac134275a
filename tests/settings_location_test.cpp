// Where the settings live: the shared file in the Windows directory, and each user's own
// copy under Local AppData where the Windows directory is not the user's to write. The
// settings dialog and the saver find them the same way.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "settings_fixture.h"
#include "store/ini_file.h"

namespace morvel::testing {
namespace {

namespace fs = std::filesystem;
using platform::MessageBoxKind;

constexpr const char* kTitle = "Morvel Screensaver";
constexpr std::uintptr_t kEscape = 0x1B;
constexpr std::uintptr_t kF4 = 0x73;

class StoreLocationTest : public SettingsTest {
  protected:
    void SetUp() override {
        SettingsTest::SetUp();
        os.localAppDataDir = (sim.folder() / "local").string();
    }
    void TearDown() override {
        fs::permissions(windowsFolder(), fs::perms::owner_all, fs::perm_options::add);
        SettingsTest::TearDown();
    }

    std::string userCopy() const {
        return store::storeLocation(os.windowsDir, os.localAppDataDir, os.pathSeparator()).userCopy;
    }
    static std::string text(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Nothing can be made in the Windows directory: a plain file stands in its place.
    void blockTheWindowsFolder() {
        fs::remove_all(windowsFolder());
        std::ofstream(windowsFolder()) << "not a folder";
    }
    // The Windows directory as ordinary users have it: readable, not writable. False where
    // this user may write there all the same (root ignores the permissions).
    bool makeTheWindowsFolderReadOnly() {
        fs::permissions(windowsFolder(),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        const fs::path probe = windowsFolder() / "probe";
        if (!std::ofstream(probe)) {
            return true;
        }
        fs::remove(probe);
        return false;
    }
    // The file the saver plays first when it starts on this machine.
    std::string firstPlayedBySaver() {
        CheckedSimulation saver{"the saver"};
        saver.platform().windowsDir = os.windowsDir;
        saver.platform().localAppDataDir = os.localAppDataDir;
        saver.platform().media = os.media;
        saver.start("morvel.scr /S");
        return saver.platform().plays.empty() ? "" : saver.platform().plays.front().file;
    }
};

TEST_F(StoreLocationTest, AWindowsFolderNobodyMayWriteGivesTheUserACopyThatTheSaverReads) {
    blockTheWindowsFolder();
    const std::string a = makeMedia("a.avi");
    startSettings();  // no box: the complete new file went to the user's copy
    EXPECT_EQ(text(userCopy()), slotsText());
    addVideo(a);
    click("radpicm");
    pressOk();
    ASSERT_TRUE(sim.ended());
    const store::IniFile mine(userCopy());
    EXPECT_EQ(mine.readString("VidConfig", "Name1", ""), a);
    EXPECT_EQ(mine.readInteger("Options", "Picdis", 0), 2);
    EXPECT_EQ(firstPlayedBySaver(), a);
}

TEST_F(StoreLocationTest, TheFirstWriteCopiesTheSharedFileAndLeavesItAsItWas) {
    const std::string a = video("a.avi");
    const std::string b = video("b.avi");
    writeStore(slotsText({a, b}) + "[Options]\r\nPicdis=2\r\n");
    const std::string shared = storeText();
    if (!makeTheWindowsFolderReadOnly()) {
        GTEST_SKIP() << "this user may write into a read-only folder";
    }
    startSettings();
    EXPECT_EQ(listed(), (std::vector<std::string>{a, b}));
    EXPECT_TRUE(checked("radpicm"));
    EXPECT_FALSE(fs::exists(userCopy()));  // reading copies nothing

    sim.selectItem("ListBox1", 1);
    click("Button3");
    EXPECT_EQ(text(userCopy()), slotsText({a}) + "[Options]\r\nPicdis=2\r\n");
    EXPECT_EQ(storeText(), shared);
    pressOk();
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(storeText(), shared);
}

TEST_F(StoreLocationTest, TheUsersCopyWinsOverTheSharedFileInTheDialogAndTheSaver) {
    const std::string a = makeMedia("a.avi");
    const std::string b = makeMedia("b.avi");
    writeStore(slotsText({a}));
    const std::string shared = storeText();
    fs::create_directories(fs::path(userCopy()).parent_path());
    std::ofstream(userCopy(), std::ios::binary) << slotsText({b});

    startSettings();
    EXPECT_EQ(listed(), (std::vector<std::string>{b}));
    addVideo(a);  // the Windows directory is writable, yet the user's copy takes the change
    EXPECT_EQ(store::IniFile(userCopy()).readString("VidConfig", "Name2", ""), a);
    pressOk();
    EXPECT_EQ(storeText(), shared);
    EXPECT_EQ(firstPlayedBySaver(), b);
}

TEST_F(StoreLocationTest, OkIsTheOneWayOutUntilAWriteIsRefused) {
    writeStore(slotsText({video("a.avi")}));
    startSettings();
    sim.post(platform::msg::kKeyDown, kEscape);
    sim.post(platform::msg::kSysKeyDown, kF4);
    ASSERT_TRUE(dialogOpen());

    // Neither place can take the options now.
    fs::rename(windowsFolder(), sim.folder() / "kept");
    std::ofstream(windowsFolder()) << "not a folder";
    std::ofstream(os.localAppDataDir) << "not a folder either";
    click("radpicl");
    pressOk();
    expectBox(MessageBoxKind::Error, kTitle, "Unable to write to " + userCopy() + ".");
    ASSERT_TRUE(dialogOpen());
    sim.post(platform::msg::kSysKeyDown, kF4);
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST_F(StoreLocationTest, WithoutLocalAppDataARefusedWriteNamesTheSharedFileAndEscLeaves) {
    os.localAppDataDir.clear();
    blockTheWindowsFolder();
    sim.start("morvel.scr /C");
    expectBox(MessageBoxKind::Error, kTitle, "Unable to write to " + storeFile() + ".");
    ASSERT_TRUE(dialogOpen());
    sim.post(platform::msg::kKeyDown, kEscape);
    EXPECT_TRUE(sim.ended());
    EXPECT_TRUE(fs::is_regular_file(windowsFolder()));
}

}  // namespace
}  // namespace morvel::testing
