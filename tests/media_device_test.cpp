#include <gtest/gtest.h>

#include <chrono>

#include "media/fade_ramp.h"
#include "media/media_device.h"
#include "media/progress_watch.h"
#include "saver_fixture.h"

namespace morvel::testing {
namespace {

using media::EMCIDeviceError;
using media::MediaDevice;

class MediaDeviceTest : public SimulationTest {
  protected:
    MediaDevice device{os.createMediaEngine(), 0x77};
};

TEST_F(MediaDeviceTest, RequestsOnAClosedDeviceFailWithoutTouchingTheEngine) {
    EXPECT_EQ(device.Mode(), media::kNotReady);
    for (auto request :
         {&MediaDevice::Play, &MediaDevice::Stop, &MediaDevice::Pause, &MediaDevice::Resume}) {
        try {
            (device.*request)();
            ADD_FAILURE() << "a closed device accepted a request";
        } catch (const EMCIDeviceError& error) {
            EXPECT_STREQ(error.what(), "No MCI device open");
        }
    }
    EXPECT_EQ(device.DisplayRect(), (media::VideoRect{}));
    EXPECT_TRUE(os.opens.empty());
}

TEST_F(MediaDeviceTest, AFailedOpenRaisesThePlatformTextOrUnknownErrorCode) {
    device.FileName = (sim.folder() / "missing.avi").string();
    try {
        device.Open();
        ADD_FAILURE() << "opened a missing file";
    } catch (const EMCIDeviceError& error) {
        EXPECT_EQ(device.Error(), 275u);
        EXPECT_STREQ(error.what(),
                     "Cannot find the specified file. Make sure the path and filename are "
                     "correct.");
    }
    device.FileName = makeMedia("odd.avi", {.openError = 999});
    EXPECT_THROW(device.Open(), EMCIDeviceError);
    EXPECT_EQ(device.ErrorMessage(), "Unknown error code");
    EXPECT_FALSE(device.isOpen());
}

TEST_F(MediaDeviceTest, PlaysToTheEndAndReopensFromTheStart) {
    device.FileName = makeMedia("a.avi", {.lengthMs = 2000});
    device.Open();
    EXPECT_EQ(device.Mode(), media::kStopped);
    device.Play();
    EXPECT_EQ(device.Mode(), media::kPlaying);
    sim.advance(2000);
    EXPECT_EQ(device.Mode(), media::kStopped);
    device.Open();  // closes first
    EXPECT_EQ(os.mediaCloses, 1);
    device.Play();
    EXPECT_EQ(device.Mode(), media::kPlaying);
    ASSERT_EQ(os.plays.size(), 2u);
    EXPECT_EQ(os.plays[1].display, 0x77u);
    // The engine knows the window before each open, where it chooses how to decode.
    EXPECT_EQ(os.opens[0].expectedWindow, 0x77u);
}

TEST_F(MediaDeviceTest, PauseTogglesAndResumeFallsBackToPlay) {
    device.FileName = makeMedia("a.avi");
    device.Open();
    device.Pause();  // stopped: nothing to pause
    EXPECT_EQ(device.Mode(), media::kStopped);
    device.Play();
    device.Pause();
    EXPECT_EQ(device.Mode(), media::kPaused);
    device.Pause();
    EXPECT_EQ(device.Mode(), media::kPlaying);
    device.Stop();
    device.Resume();  // refused while stopped, so it plays
    EXPECT_EQ(device.Mode(), media::kPlaying);
}

TEST_F(MediaDeviceTest, DisplayRectangleFollowsTheVideoAndIgnoresSoundOnlyFiles) {
    device.FileName = makeMedia("a.avi", {.width = 321, .height = 241});
    device.Open();
    device.SetDisplayRect({640, 480});
    EXPECT_EQ(device.DisplayRect(), (media::VideoRect{640, 480}));
    device.SetDisplayRect({0, 0});
    EXPECT_EQ(device.DisplayRect(), (media::VideoRect{321, 241}));

    device.FileName = makeMedia("a.wav", {.hasVideo = false});
    device.Open();
    device.SetDisplayRect({640, 480});
    EXPECT_EQ(device.DisplayRect(), (media::VideoRect{}));
}

TEST_F(MediaDeviceTest, WaitOffAppliesToTheNextRequestOnlyAndDestructionCloses) {
    {
        MediaDevice sound(os.createMediaEngine(), 0);
        sound.FileName = makeMedia("a.wav", {.hasVideo = false});
        sound.WaitOffForNextRequest();
        sound.Open();
        sound.Open();
        EXPECT_EQ(os.enginesAlive, 2);
    }
    ASSERT_EQ(os.opens.size(), 2u);
    EXPECT_FALSE(os.opens[0].wait);
    EXPECT_TRUE(os.opens[1].wait);
    EXPECT_EQ(os.mediaCloses, 2);
    EXPECT_EQ(os.enginesAlive, 1);
}

TEST(FadeRamp, MovesFromItsStartToItsEndOverItsLengthAndStaysThere) {
    using media::FadeRamp;
    using std::chrono::milliseconds;
    const auto start = FadeRamp::Clock::now();
    FadeRamp in;
    in.start(0.0, 1.0, 1000, start);
    EXPECT_DOUBLE_EQ(in.weightAt(start), 0.0);
    EXPECT_NEAR(in.weightAt(start + milliseconds(250)), 0.25, 1e-9);
    EXPECT_NEAR(in.weightAt(start + milliseconds(750)), 0.75, 1e-9);
    EXPECT_DOUBLE_EQ(in.weightAt(start + milliseconds(5000)), 1.0);
    EXPECT_FALSE(in.doneAt(start + milliseconds(999)));
    EXPECT_TRUE(in.doneAt(start + milliseconds(1000)));
    EXPECT_TRUE(in.settledWhole(start + milliseconds(1000)));
    FadeRamp out;
    out.start(1.0, -0.5, 1000, start);  // held to 0..1
    EXPECT_NEAR(out.weightAt(start + milliseconds(250)), 0.75, 1e-9);
    EXPECT_FALSE(out.settledWhole(start + milliseconds(2000)));
    FadeRamp atOnce;
    atOnce.start(0.3, 0.6, 0, start);
    EXPECT_DOUBLE_EQ(atOnce.weightAt(start), 0.6);
}

// A clip whose position stays put for three seconds, or runs a second past its length, is
// taken as ended where it is at its end (or past it), and as stalled before it.
TEST(ProgressWatch, AClipThatStopsMovingIsEndedAtItsEndAndStalledBeforeIt) {
    using media::ProgressWatch;
    using Verdict = ProgressWatch::Verdict;
    using std::chrono::milliseconds;
    struct Case {
        std::uint32_t stillAtMs;
        std::uint32_t lengthMs;
        Verdict after3s;
    };
    for (const Case& c : {Case{1000, 3000, Verdict::Stalled}, Case{2600, 3000, Verdict::Ended},
                          Case{500, 0, Verdict::Stalled}}) {
        const auto start = ProgressWatch::Clock::now();
        ProgressWatch watch;
        watch.restart(start);
        EXPECT_EQ(watch.look(0, c.lengthMs, start + milliseconds(2900)), Verdict::Moving)
            << "a slow start is no stall";
        EXPECT_EQ(watch.look(c.stillAtMs, c.lengthMs, start + milliseconds(3000)), Verdict::Moving);
        EXPECT_EQ(watch.look(c.stillAtMs, c.lengthMs, start + milliseconds(5900)), Verdict::Moving);
        EXPECT_EQ(watch.look(c.stillAtMs, c.lengthMs, start + milliseconds(6000)), c.after3s)
            << c.stillAtMs << " of " << c.lengthMs;
        watch.restart(start + milliseconds(6000));  // resumed: three seconds more
        EXPECT_EQ(watch.look(c.stillAtMs, c.lengthMs, start + milliseconds(8000)), Verdict::Moving);
    }
    ProgressWatch running;
    const auto start = ProgressWatch::Clock::now();
    running.restart(start);
    EXPECT_EQ(running.look(3900, 3000, start), Verdict::Moving);
    EXPECT_EQ(running.look(4000, 3000, start), Verdict::Ended) << "a second past its length";
}

}  // namespace
}  // namespace morvel::testing
