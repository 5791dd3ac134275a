// The preview window, opened from the settings dialog's Preview button.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "settings_fixture.h"

namespace morvel::testing {
namespace {

using platform::MessageBoxKind;
using Requests = std::vector<std::string>;

class PreviewTest : public SettingsTest {
  protected:
    void openPreview(int index) {
        sim.selectItem("ListBox1", index);
        click("CmdPreview");
        ASSERT_NE(preview(), nullptr);
    }
    void press(const std::string& button) { sim.click("TFrmviddis", button); }
    const headless::WindowState* preview() const { return os.window("TFrmviddis"); }
    std::string at(const std::string& request, const std::string& file) const {
        return request + " " + file;
    }
};

TEST_F(PreviewTest, EachPreviewIsANewWindowThatPlaysTheFullPathOnlyOnPlay) {
    const std::string a = makeMedia("a.avi"), b = makeMedia("b.avi");
    writeStore(slotsText({a, b}));
    startSettings();
    openPreview(1);
    const headless::WindowState* first = preview();
    const platform::Handle firstHandle = first->handle;
    EXPECT_TRUE(first->visible && first->modal);
    EXPECT_EQ(first->design.caption, "Preview Video");
    EXPECT_EQ(first->design.style, platform::WindowStyle::FixedDialogWithClose);
    EXPECT_EQ(first->design.owner, os.window("TForm2")->handle);
    EXPECT_EQ(os.control("TFrmviddis", "Lblname")->caption, b);
    EXPECT_TRUE(os.plays.empty());

    press("cmdplay");
    ASSERT_EQ(os.plays.size(), 1u);
    EXPECT_EQ(os.plays[0].file, b);
    EXPECT_EQ(os.plays[0].display, os.control("TFrmviddis", "Panel1")->handle);
    sim.advance(1000);
    press("cmdplay");  // starts again from the beginning
    press("BitBtn4");
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(os.enginesAlive, 0);
    EXPECT_EQ(os.mediaRequests, (Requests{at("play", b), at("close", b), at("play", b),
                                          at("stop", b), at("close", b)}));

    openPreview(0);
    EXPECT_NE(preview()->handle, firstHandle);
    EXPECT_EQ(os.control("TFrmviddis", "Lblname")->caption, a);
    press("cmdplay");
    const platform::Handle second = preview()->handle;
    sim.runOnProgramThread([&] { os.closeWindow(second); });  // the close box: no stop
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(os.enginesAlive, 0);
    EXPECT_EQ(os.mediaRequests.back(), at("close", a));
    EXPECT_NE(os.mediaRequests[os.mediaRequests.size() - 2], at("stop", a));
    EXPECT_TRUE(dialogOpen());
}

TEST_F(PreviewTest, PauseTogglesAndStopLeavesAPauseAlone) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 5000});
    writeStore(slotsText({a}));
    startSettings();
    openPreview(0);
    press("cmdpause");  // nothing open yet: nothing happens
    press("cmdstop");
    press("cmdplay");
    press("cmdpause");
    press("cmdstop");   // paused: stays paused
    press("cmdpause");  // resumes
    press("cmdstop");
    press("cmdpause");  // stopped: nothing
    press("BitBtn4");
    EXPECT_EQ(os.mediaRequests, (Requests{at("play", a), at("pause", a), at("resume", a),
                                          at("stop", a), at("close", a)}));
}

TEST_F(PreviewTest, AfterTheVideoEndsOnlyPlayStartsItAgain) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 1000});
    writeStore(slotsText({a}));
    startSettings();
    openPreview(0);
    press("cmdplay");
    sim.advance(2000);
    press("cmdpause");
    press("cmdstop");
    press("cmdplay");
    EXPECT_EQ(os.mediaRequests, (Requests{at("play", a), at("close", a), at("play", a)}));
    EXPECT_EQ(os.plays.size(), 2u);
    press("BitBtn4");
}

TEST_F(PreviewTest, AFileThatCannotOpenGivesTwoErrorsAndTheWindowStays) {
    const std::string missing = video("gone.avi");
    writeStore(slotsText({missing}));
    startSettings();
    openPreview(0);
    press("cmdplay");
    expectBox(MessageBoxKind::Error, "Error",
              "ErrorCode: 275\r\nCannot find the specified file. Make sure the path and "
              "filename are correct.");
    expectBox(MessageBoxKind::Error, "Error",
              "An error occurred trying to play the video file. The video file appears to be "
              "corrupt or is a format which cannot be played with this viewer. Please verify "
              "that your video files are valid avi or mpg files.");
    ASSERT_NE(preview(), nullptr);
    press("cmdpause");
    press("cmdstop");
    EXPECT_EQ(sim.openPrompt(), nullptr);
    press("BitBtn4");
    EXPECT_EQ(preview(), nullptr);
    EXPECT_TRUE(os.mediaRequests.empty());
}

TEST_F(PreviewTest, SoundOnlyAndUnplayableFilesNeedNoMessage) {
    const std::string song = makeMedia("song.mpg", {.hasVideo = false});
    const std::string stuck = makeMedia("stuck.avi", {.playError = 277});
    writeStore(slotsText({song, stuck}));
    startSettings();
    openPreview(0);
    press("cmdplay");
    ASSERT_EQ(os.plays.size(), 1u);
    EXPECT_EQ(os.plays[0].display, 0u);
    press("BitBtn4");

    openPreview(1);
    press("cmdplay");
    EXPECT_EQ(os.plays.size(), 1u);
    EXPECT_EQ(sim.openPrompt(), nullptr);
    press("BitBtn4");
    EXPECT_EQ(os.enginesAlive, 0);
}

// A click lands where the layout puts each button: no control hides another, none lies
// outside its window. Pictures are the program's own (the simulator checks their names) and
// no two buttons of a window share one.
TEST_F(PreviewTest, EachButtonTakesTheClicksAtItsPlaceAndShowsItsOwnPicture) {
    const std::string a = makeMedia("a.avi");
    writeStore(slotsText({a}));
    startSettings();
    openPreview(0);
    for (const char* className : {"TForm2", "TFrmviddis"}) {
        const platform::Handle window = os.window(className)->handle;
        std::set<std::string> pictures;
        for (platform::Handle handle : os.window(className)->controls) {
            const headless::ControlState* each = os.controlByHandle(handle);
            if (each->design.kind != platform::ControlKind::Button) {
                continue;
            }
            const platform::Rect place = os.boundsInWindow(handle);
            const auto* hit =
                os.controlAt(window, place.left + place.width / 2, place.top + place.height / 2);
            EXPECT_EQ(hit, each) << className << " " << each->design.name;
            if (!each->design.image.empty()) {
                EXPECT_TRUE(pictures.insert(each->design.image).second)
                    << className << " " << each->design.name << " " << each->design.image;
            }
        }
        EXPECT_FALSE(pictures.empty()) << className;
    }

    const auto centreOf = [&](const char* name) {
        const platform::Rect place = os.boundsInWindow(os.control("TFrmviddis", name)->handle);
        return std::pair{place.left + place.width / 2, place.top + place.height / 2};
    };
    const auto [playX, playY] = centreOf("cmdplay");
    sim.clickAt("TFrmviddis", playX, playY);
    EXPECT_EQ(os.mediaRequests, (Requests{at("play", a)}));
    const auto [okX, okY] = centreOf("BitBtn4");
    sim.clickAt("TFrmviddis", okX, okY);
    EXPECT_EQ(preview(), nullptr);
    EXPECT_TRUE(dialogOpen());
}

}  // namespace
}  // namespace morvel::testing
