// The video list of the settings dialog: every change reaches the settings file at once.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_dialog.h"
#include "settings_fixture.h"

namespace morvel::testing {
namespace {

namespace fs = std::filesystem;
using platform::MessageBoxKind;
using Videos = std::vector<std::string>;

constexpr const char* kNoItems =
    "There are no items in the list. Click ADD to add some pictures to the list.";
constexpr const char* kListFull =
    "You have reached the maximum number of entries stored.  Please delete one if you wish to "
    "add another.";

class VideoListTest : public SettingsTest {
  protected:
    std::string lastDirLine() const {
        return "[History]\r\nLast Dir=" + (sim.folder() / "videos").string() + os.pathSeparator() +
               "\r\n";
    }
    // A folder holding these (empty) files.
    fs::path folderWith(const std::string& name, const Videos& files) const {
        const fs::path folder = sim.folder() / name;
        fs::create_directories(folder);
        for (const std::string& file : files) {
            std::ofstream(folder / utf8::toPath(file)) << "x";
        }
        return folder;
    }
    void addFolder(const fs::path& folder) {
        click("CmdAddEntire");
        ASSERT_NE(sim.openPrompt(), nullptr);
        EXPECT_EQ(sim.openPrompt()->kind, headless::Prompt::Kind::Folder);
        pick(utf8::fromPath(folder));
    }
    static Videos numbered(int count) {
        Videos videos;
        for (int n = 1; n <= count; ++n) {
            videos.push_back("C:\\v\\" + std::to_string(n) + ".avi");
        }
        return videos;
    }
};

TEST_F(VideoListTest, ARemovedSlotIsReusedAndTheNextStartShowsSlotOrder) {
    const std::string a = video("a.avi"), b = video("b.avi"), c = video("c.avi");
    const std::string d = video("d.avi");
    writeStore(slotsText({a, b, c}));
    startSettings();
    EXPECT_EQ(listed(), (Videos{a, b, c}));
    EXPECT_EQ(caption("Lblcount"), "Total Videos = 3");
    EXPECT_EQ(caption("LblVidName"), "Video: a.avi");

    sim.selectItem("ListBox1", 1);
    EXPECT_EQ(caption("LblVidName"), "Video: b.avi");
    click("Button3");
    EXPECT_EQ(listed(), (Videos{a, c}));
    EXPECT_EQ(storeText(), slotsText({a, "Null", c}));
    EXPECT_EQ(control("ListBox1").selected, 0);
    EXPECT_EQ(caption("LblVidName"), "Video: a.avi");
    EXPECT_EQ(caption("Lblcount"), "Total Videos = 2");

    addVideo(d);
    EXPECT_EQ(listed(), (Videos{a, c, d}));
    EXPECT_EQ(control("ListBox1").selected, 0);
    EXPECT_EQ(storeText(), slotsText({a, d, c}) + lastDirLine());
    pressOk();

    CheckedSimulation next{"the next start"};
    next.platform().windowsDir = os.windowsDir;
    next.start("morvel.scr /C");
    EXPECT_EQ(next.platform().control("TForm2", "ListBox1")->items, (Videos{a, d, c}));
}

// A list an earlier version wrote in the system's code page (Windows-1252 here) shows in
// UTF-8, and a removal finds its slot; names in other scripts go in as UTF-8; every line not
// changed keeps its bytes.
TEST_F(VideoListTest, AListInTheCodePageChangesWithoutLosingALine) {
    const std::string accented = video("café.avi");
    std::string inCodePage = accented;
    inCodePage.replace(inCodePage.find("é"), std::string_view("é").size(), "\xE9");
    const std::string sound = "[WavConfig]\r\nName1=C:\\Musique\\\xE9t\xE9 \x80.wav\r\n";
    writeStore(slotsText({inCodePage, video("b.avi")}) + sound);
    startSettings();
    EXPECT_EQ(listed(), (Videos{accented, video("b.avi")}));
    EXPECT_EQ(caption("LblVidName"), "Video: café.avi");
    EXPECT_EQ(control("edwav").caption, "C:\\Musique\\été €.wav");

    const fs::path folder = folderWith("клипы", {"видео.avi", "视频.avi", "заметки.txt"});
    addFolder(folder);
    expectBox(MessageBoxKind::Information, "Information", "2 videos were added to your list.");
    const std::string cyrillic = utf8::fromPath(folder / utf8::toPath("видео.avi"));
    const std::string chinese = utf8::fromPath(folder / utf8::toPath("视频.avi"));
    click("Button3");  // the first entry is selected
    EXPECT_EQ(listed(), (Videos{video("b.avi"), cyrillic, chinese}));
    EXPECT_EQ(storeText(), slotsText({"Null", video("b.avi"), cyrillic, chinese}) + sound);
}

TEST_F(VideoListTest, AddVideoAndAddFolderStartInTheLastFolderAndCancelWritesNothing) {
    writeStore(slotsText() + "[History]\r\nLast Dir=C:\\clips\\\r\n");
    const std::string before = storeText();
    startSettings();
    click("Button2");
    const headless::Prompt* dialog = sim.openPrompt();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->request.initialDirectory, "C:\\clips\\");
    ASSERT_EQ(dialog->request.filters.size(), 5u);
    EXPECT_EQ(dialog->request.filters[0].label, "MPEG AVI MOV WMV");
    EXPECT_EQ(
        dialog->request.filters[0].patterns,
        "*.mpg;*.avi;*.mov;*.wmv;*.mpe;*.mpeg;*.mp4;*.m4v;*.mkv;*.webm;*.ts;*.m2ts;*.mts;*.3gp");
    EXPECT_EQ(dialog->request.filters[1].patterns, "*.mpg;*.mpe;*.mpeg");
    EXPECT_EQ(dialog->request.filters[4].label, "WMV");
    pick(std::nullopt);
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(storeText(), before);

    addVideo(video("a.avi"));  // the next pick starts where this one was made
    const std::string last = (sim.folder() / "videos").string() + os.pathSeparator();
    click("Button2");
    EXPECT_EQ(sim.openPrompt()->request.initialDirectory, last);
    pick(std::nullopt);
    click("CmdAddEntire");
    EXPECT_EQ(sim.openPrompt()->request.initialDirectory, last);
    pick(std::nullopt);
}

TEST_F(VideoListTest, TheSameFileTwiceFillsTwoSlotsAndRemovalEmptiesTheLowerOne) {
    const std::string a = video("a.avi");
    startSettings();
    addVideo(a);
    addVideo(a);
    EXPECT_EQ(listed(), (Videos{a, a}));
    EXPECT_EQ(storeText(), slotsText({a, a}) + lastDirLine());
    sim.selectItem("ListBox1", 1);
    click("Button3");
    EXPECT_EQ(listed(), (Videos{a}));
    EXPECT_EQ(storeText(), slotsText({"Null", a}) + lastDirLine());
}

TEST_F(VideoListTest, RemovalFollowsTheFileWhenAnotherProgramChangedIt) {
    const std::string a = video("a.avi"), b = video("b.avi");
    writeStore(slotsText({a, b}));
    startSettings();

    writeStore(slotsText({a}));  // b taken out behind the dialog's back
    const std::string changed = storeText();
    sim.selectItem("ListBox1", 1);
    click("Button3");
    expectBox(MessageBoxKind::Error, "Error",
              "An error occurred while looking for the string to delete. You may need to delete "
              "your file and run the screen saver settings again which will re-create the file. "
              "If this continues contact technical support.");
    EXPECT_EQ(listed(), (Videos{a, b}));
    EXPECT_EQ(caption("Lblcount"), "Total Videos = 2");
    EXPECT_EQ(storeText(), changed);

    writeStore(slotsText({b, a}));  // now moved: the slot the file holds it in is emptied
    sim.selectItem("ListBox1", 0);
    click("Button3");
    EXPECT_EQ(storeText(), slotsText({b, "Null"}));
    EXPECT_EQ(listed(), (Videos{b}));
}

TEST_F(VideoListTest, AnEmptyListExplainsItselfAndWritesNothing) {
    writeStore(slotsText());
    const std::string before = storeText();
    startSettings();
    click("Button3");
    expectBox(MessageBoxKind::Information, "Information", kNoItems);
    click("CmdPreview");
    expectBox(MessageBoxKind::Information, "Information", kNoItems);
    click("CmdClearList");
    expectBox(MessageBoxKind::Plain, "Morvel Screensaver",
              "There are no videos in the list above. Please add some videos first.");
    sim.doubleClick("ListBox1");
    EXPECT_TRUE(os.shellOpens.empty());
    EXPECT_EQ(os.window("TFrmviddis"), nullptr);
    EXPECT_EQ(storeText(), before);
}

TEST_F(VideoListTest, ClearEmptiesAll500SlotsAndLeavesTheRestOfTheFile) {
    const std::string a = video("a.avi");
    writeStore("[Options]\r\nSound=0\r\n" + slotsText({a, "NULL", a}) +
               "[History]\r\nLast Dir=C:\\x\\\r\n");
    startSettings();
    EXPECT_EQ(listed(), (Videos{a, "NULL", a}));  // only "Null" exactly is empty here
    click("CmdClearList");
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(caption("Lblcount"), "");
    EXPECT_EQ(caption("LblVidName"), "");
    EXPECT_EQ(storeText(),
              "[Options]\r\nSound=0\r\n" + slotsText() + "[History]\r\nLast Dir=C:\\x\\\r\n");
    click("Button3");
    expectBox(MessageBoxKind::Information, "Information", kNoItems);
}

TEST_F(VideoListTest, ChangesTheFileRefusesLeaveTheListAsItWas) {
    const std::string a = video("a.avi"), b = video("b.avi");
    writeStore(slotsText({a, b}));
    const std::string before = storeText();
    startSettings();
    fs::rename(windowsFolder(), sim.folder() / "kept");
    std::ofstream(windowsFolder()) << "not a folder";
    const std::string refused = "Unable to write to " + storeFile() + ".";

    click("CmdClearList");
    expectBox(MessageBoxKind::Error, "Morvel Screensaver", refused);
    addVideo(video("c.avi"));
    expectBox(MessageBoxKind::Error, "Morvel Screensaver", refused);
    EXPECT_EQ(listed(), (Videos{a, b}));
    EXPECT_EQ(caption("Lblcount"), "Total Videos = 2");

    fs::remove(windowsFolder());
    fs::rename(sim.folder() / "kept", windowsFolder());
    EXPECT_EQ(storeText(), before);
    click("Button3");  // the count still matches the list: removal works
    EXPECT_EQ(listed(), (Videos{b}));
}

TEST_F(VideoListTest, AFullListRefusesEveryAddButRemembersTheFolder) {
    const Videos all = numbered(500);
    writeStore(slotsText(all));
    startSettings();
    EXPECT_EQ(caption("Lblcount"), "Total Videos = 500");
    for (int attempt = 0; attempt < 2; ++attempt) {
        addVideo(video("one more.avi"));
        expectBox(MessageBoxKind::Confirmation, "Confirm", kListFull);
    }
    EXPECT_EQ(listed().size(), 500u);
    EXPECT_EQ(storeText(), slotsText(all) + lastDirLine());
}

TEST_F(VideoListTest, BlankOrMissingSlotsAreEmptyAndTakeNewVideos) {
    const std::string a = video("a.avi"), b = video("b.avi"), c = video("c.avi");
    writeStore("[VidConfig]\r\nName1=" + a + "\r\nName3=  \r\nName4=" + b + "\r\n");
    startSettings();
    EXPECT_EQ(listed(), (Videos{a, b}));
    EXPECT_EQ(caption("Lblcount"), "Total Videos = 2");
    addVideo(c);
    addVideo(c);
    EXPECT_EQ(storeText(), "[VidConfig]\r\nName1=" + a + "\r\nName3=" + c + "\r\nName4=" + b +
                               "\r\nName2=" + c + "\r\n" + lastDirLine());
}

TEST_F(VideoListTest, AWholeFolderAddsItsVideosInNameOrder) {
    const std::string a = video("a.avi");
    const fs::path folder =
        folderWith("clips", {"b.AVI", "a.mpg", "notes.txt", "d.MpEg", "c.mpeg.bak", "e.wmv",
                             "g.MP4", "h.m4v", "i.mkv", "j.mp4a", "k.webm", "l.TS", "m.m2ts",
                             "n.MTS", "o.3gp", "p.tsx", "q.3g2"});
    fs::create_directory(folder / "f.avi");  // a folder, not a video
    writeStore(slotsText({a}));
    startSettings();
    addFolder(folder);
    expectBox(MessageBoxKind::Information, "Information", "12 videos were added to your list.");
    Videos added;
    for (const char* name : {"a.mpg", "b.AVI", "d.MpEg", "e.wmv", "g.MP4", "h.m4v", "i.mkv",
                             "k.webm", "l.TS", "m.m2ts", "n.MTS", "o.3gp"}) {
        added.push_back((folder / name).string());
    }
    Videos all{a};
    all.insert(all.end(), added.begin(), added.end());
    EXPECT_EQ(listed(), all);
    EXPECT_EQ(storeText(), slotsText(all));
    EXPECT_EQ(control("ListBox1").selected, 0);

    click("CmdAddEntire");
    pick(std::nullopt);
    addFolder(folderWith("empty", {"readme.txt"}));
    expectBox(MessageBoxKind::Information, "Information",
              "There are no video files (MPEG, AVI, MOV or WMV) in this folder.");
    EXPECT_EQ(listed().size(), 13u);
}

TEST_F(VideoListTest, AWholeFolderSaysHowManyDidNotFit) {
    writeStore(slotsText(numbered(498)));
    startSettings();
    const fs::path folder = folderWith("clips", {"1.avi", "2.avi", "3.avi", "4.avi"});
    addFolder(folder);
    expectBox(MessageBoxKind::Information, "Information",
              "2 videos were added to your list. The list is now full: 2 more were not added. "
              "Your list holds at most 500 videos; please delete some if you wish to add others.");
    EXPECT_EQ(listed().size(), 500u);
    EXPECT_EQ(listed().back(), (folder / "2.avi").string());

    addFolder(folder);
    expectBox(MessageBoxKind::Information, "Information",
              "Your list is full: none of the 4 videos in this folder could be added. Your list "
              "holds at most 500 videos; please delete some if you wish to add others.");
    EXPECT_EQ(listed().size(), 500u);
}

TEST_F(VideoListTest, ADoubleClickOpensTheSelectedVideoThroughTheShell) {
    const std::string a = video("a.avi"), b = video("b.avi");
    writeStore(slotsText({a, b}));
    startSettings();
    sim.selectItem("ListBox1", 1);
    sim.doubleClick("ListBox1");
    ASSERT_EQ(os.shellOpens.size(), 1u);
    EXPECT_EQ(os.shellOpens[0].target, b);
    EXPECT_EQ(os.shellOpens[0].show, platform::ShowCommand::Normal);
    EXPECT_EQ(os.shellOpens[0].parent, os.window("TForm2")->handle);
}

TEST(VideoPaths, SplitAtTheLastSeparatorAndMatchPatternsWithoutCase) {
    using settings::DirectoryPart;
    using settings::FileNamePart;
    EXPECT_EQ(FileNamePart("C:\\clips\\a.avi", '\\'), "a.avi");
    EXPECT_EQ(FileNamePart("C:a.avi", '\\'), "a.avi");
    EXPECT_EQ(FileNamePart("a.avi", '\\'), "a.avi");
    EXPECT_EQ(FileNamePart("/home/ann/b.mpg", '/'), "b.mpg");
    EXPECT_EQ(DirectoryPart("C:\\clips\\a.avi", '\\'), "C:\\clips\\");
    EXPECT_EQ(DirectoryPart("/home/ann/b.mpg", '/'), "/home/ann/");
    EXPECT_EQ(DirectoryPart("a.avi", '/'), "");

    const std::string videos = "*.mpg;*.avi;*.mov;*.wmv;*.mpe;*.mpeg";
    for (const char* name : {"a.AVI", "Movie.Mov", "x.mpe", "x.mpeg", ".avi", "a.b.wmv"}) {
        EXPECT_TRUE(settings::MatchesAnyPattern(name, videos)) << name;
    }
    for (const char* name : {"avi", "a.avi.txt", "a.mpeg2", "a.av", ""}) {
        EXPECT_FALSE(settings::MatchesAnyPattern(name, videos)) << name;
    }
    EXPECT_TRUE(settings::MatchesAnyPattern("ab1.txt", "x;a?1.*"));
}

}  // namespace
}  // namespace morvel::testing
