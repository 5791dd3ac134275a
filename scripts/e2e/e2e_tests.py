"""End-to-end tests of morvel.scr under Wine: each test gets a fresh Wine prefix on a
1024x768 virtual screen (or on two monitors, when it asks), writes the settings file, runs
the saver and reads the screen.

Prints its results the way GoogleTest does, so scripts/test counts them."""

import re
import subprocess
import sys
import time

import settings_tests
from winelab import (ROOT, SCREEN, SECOND_SCREEN, Failure, Lab, frame, print_totals, run_tests,
                     wait_until)

CLIP = "C:\\clips\\"
SAVER = "Frmmorvel33"
TITLE = "Morvel Screensaver"
START = 30  # seconds a saver may take to put its first picture up under Wine
END = 15    # seconds it may take to go away after the input that ends it

TESTS = []


def test(function):
    TESTS.append(function)
    return function


def end_with(lab, saver, *xdotool_args):
    lab.xdotool(*xdotool_args)
    code = saver.wait_exit(END, f"the saver to end after xdotool {' '.join(xdotool_args)}")
    if code != 0:
        raise Failure(f"the saver ended with exit code {code}; boxes: {saver.boxes()}")
    if lab.windows(SAVER):
        raise Failure("a saver window is left after the process ended")


def end_at_box(lab, saver, title):
    """Ends the saver with a key pressed on its message box. Wine takes keys from the X input
    focus, which a box that has just been mapped may not hold yet."""
    lab.xdotool("windowfocus", lab.windows(title)[-1])
    end_with(lab, saver, "key", "a")


def expect_no_report(saver):
    if saver.boxes():
        raise Failure(f"unexpected message boxes: {saver.boxes()}")


def show_clip_at(lab, picdis, clip, rect, colour, extra=None):
    lab.write_settings([CLIP + clip], dict({"Picdis": picdis}, **(extra or {})))
    saver = lab.start_saver("/S")
    lab.wait_colours(frame(*rect, colour), START, f"{colour} in {rect} on black")
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


# --- Playback and sizes ------------------------------------------------------------------------

def play_in_sequence(lab, first, second, what):
    """Two clips at medium size: the first fills 512x384 at (256,192) on black, then the
    second follows when the first has ended."""
    lab.write_settings([CLIP + first[0], CLIP + second[0]], {"Picdis": 2})
    saver = lab.start_saver("/S")
    lab.wait_colours(frame(256, 192, 512, 384, first[1]), START, f"the {what[0]} at 512x384")
    lab.wait_colours(frame(256, 192, 512, 384, second[1]), START, f"the {what[1]} after it")
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


@test
def TwoClipsPlayInSequenceAtMediumSize(lab):
    play_in_sequence(lab, ("red.avi", "red"), ("blue.avi", "blue"), ("first clip", "second clip"))


@test
def AnMpegClipFollowsAnAviClip(lab):
    play_in_sequence(lab, ("red.avi", "red"), ("cyan.mpg", "cyan"), ("AVI clip", "MPEG-1 clip"))


@test
def Mp4AndMovClipsPlayAtMediumSizeWithWineDefaults(lab):
    """H.264 files, which MCI has no device for, play through Media Foundation, also where
    Direct3D is left as Wine sets it up."""
    lab.fresh_prefix(wine_defaults=True)
    play_in_sequence(lab, ("blue.mp4", "blue"), ("yellow.mov", "yellow"), ("MP4", "MOV"))


@test
def AnMp4ClipFollowsAnAviClipAndAnMpegClipFollowsIt(lab):
    """MCI and Media Foundation take turns in one panel."""
    lab.write_settings([CLIP + "red.avi", CLIP + "blue.mp4", CLIP + "cyan.mpg"], {"Picdis": 2})
    saver = lab.start_saver("/S")
    for colour, what in (("red", "the AVI clip"), ("blue", "the MP4 clip after it"),
                         ("cyan", "the MPEG-1 clip after that")):
        lab.wait_colours(frame(256, 192, 512, 384, colour), START, f"{what} at 512x384")
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


@test
def SmallSizeIsAQuarterOfTheScreen(lab):
    show_clip_at(lab, 3, "lime.avi", (384, 288, 256, 192), "lime")


@test
def LargeSizeFillsTheScreen(lab):
    lab.write_settings([CLIP + "lime.avi"], {"Picdis": 1})
    saver = lab.start_saver("/S")
    corners = {(0, 0): "lime", (1023, 0): "lime", (0, 767): "lime", (1023, 767): "lime",
               (512, 384): "lime"}
    lab.wait_colours(corners, START, "the clip over the whole screen")
    end_with(lab, saver, "key", "a")


@test
def CustomSizeIsCentred(lab):
    show_clip_at(lab, 4, "lime.avi", (312, 234, 400, 300), "lime", {"Width": 400, "Height": 300})


@test
def OwnSizeIsCentred(lab):
    # 324x244: (1024 - 324) / 2 = 350, (768 - 244) / 2 = 262.
    show_clip_at(lab, 5, "yellow-own-size.avi", (350, 262, 324, 244), "yellow")


# --- What the user sees when the list is wrong ---------------------------------------------

def expect_white_notice(lab, saver):
    lab.wait_colours({(5, 5): "white", (1018, 762): "white", (600, 400): "white"}, START,
                     "the white notice window")

    def text_shown():
        dark = lab.screenshot().dark_pixels(68, 47, 469, 106)
        return dark > 100, f"{dark} dark pixels in the notice area"
    wait_until("the notice text", text_shown, 10)
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


@test
def MissingFileShowsTheNotice(lab):
    lab.write_settings([CLIP + "lime.avi", CLIP + "gone.avi"])
    expect_white_notice(lab, lab.start_saver("/S"))


@test
def EmptyListShowsTheNotice(lab):
    lab.write_settings([])
    expect_white_notice(lab, lab.start_saver("/S"))


# --- Switches ----------------------------------------------------------------------------------

@test
def SecondStartWhileRunningEndsAtOnce(lab):
    lab.write_settings([CLIP + "lime.avi"])
    first = lab.start_saver("/S", log="first.log")
    lab.wait_colours({(512, 384): "lime"}, START, "the first saver's clip")
    for switch in ("/S", "/c", "/a"):
        second = lab.start_saver(switch, log="second.log")
        code = second.wait_exit(END, f"the second start with {switch} to end")
        if code != 0:
            raise Failure(f"the second start with {switch} ended with code {code}")
        count = len(lab.windows(SAVER))
        if count != 1:
            raise Failure(f"{count} saver windows after a second start with {switch}")
        if not first.running():
            raise Failure(f"the first saver ended after a second start with {switch}")
    lab.wait_colours({(512, 384): "lime"}, 5, "the first saver still playing")
    end_with(lab, first, "key", "a")


@test
def SwitchesWithoutAModeEndAtOnce(lab):
    lab.write_settings([CLIP + "lime.avi"])
    for args in (["/p", "1234"], ["/S:1234"], ["/"], []):
        saver = lab.start_saver(*args)
        code = saver.wait_exit(END, f"morvel.scr {' '.join(args)} to end by itself")
        if code != 0:
            raise Failure(f"morvel.scr {' '.join(args)} ended with code {code}")
        if lab.windows(SAVER):
            raise Failure(f"morvel.scr {' '.join(args)} left a saver window")


# --- Input -------------------------------------------------------------------------------------

def running_saver(lab):
    lab.write_settings([CLIP + "lime.avi"])
    saver = lab.start_saver("/S")
    lab.wait_colours({(512, 384): "lime"}, START, "the clip")
    return saver


@test
def KeyPressEndsTheSaver(lab):
    end_with(lab, running_saver(lab), "key", "a")


@test
def KeyReleaseEndsTheSaver(lab):
    # Only a release: the X server drops the release of a key it never saw go down, so the
    # release event is sent to the saver's window directly.
    saver = running_saver(lab)
    window = lab.windows(SAVER)[0]
    end_with(lab, saver, "keyup", "--window", window, "b")


@test
def MouseClickEndsTheSaver(lab):
    end_with(lab, running_saver(lab), "click", "1")


@test
def MouseMoveDoesNotEndTheSaver(lab):
    saver = running_saver(lab)
    for x, y in ((10, 10), (900, 700), (300, 500), (512, 384)):
        lab.xdotool("mousemove", str(x), str(y))
        time.sleep(0.3)
    time.sleep(2)  # long enough for the saver's one-second timer to have run twice
    if not saver.running() or len(lab.windows(SAVER)) != 1:
        raise Failure("moving the mouse ended the saver")
    end_with(lab, saver, "click", "1")


# --- Two monitors ------------------------------------------------------------------------------

def second_monitor(colour):
    """A grid of points over the monitor right of the primary, its corners among them."""
    left, (width, height) = SCREEN[0], SECOND_SCREEN
    xs = [left + width * i // 8 for i in range(8)] + [left + width - 1]
    ys = [height * j // 6 for j in range(6)] + [height - 1]
    return {(x, y): colour for x in xs for y in ys}


def saver_on_two_monitors(lab):
    """The saver at medium size on two monitors: the clip on the primary, on black, and the
    second monitor, white desktop before, black."""
    lab.wait_colours(second_monitor("white"), 10, "the bare desktop on the second monitor")
    lab.write_settings([CLIP + "lime.avi"])
    saver = lab.start_saver("/S")
    lab.wait_colours({**frame(256, 192, 512, 384, "lime"), **second_monitor("black")}, START,
                     "the clip on the primary monitor and black on the second")
    expect_no_report(saver)
    return saver


@test
def EveryMonitorIsCoveredAndOnlyAKeyOrButtonThereEndsTheSaver(lab):
    with lab.two_screens():
        saver = saver_on_two_monitors(lab)
        for x, y in ((1030, 10), (1800, 590), (1400, 300)):
            lab.xdotool("mousemove", str(x), str(y))
            time.sleep(0.3)
        time.sleep(2)  # the saver's timer has run twice
        if not saver.running() or len(lab.windows(SAVER)) != 1:
            raise Failure("moving the mouse over the second monitor ended the saver")
        lab.wait_colours(second_monitor("black"), 1, "the second monitor still black")
        # The pointer stays over the second monitor: the key must still reach the saver.
        end_with(lab, saver, "key", "a")
        saver = saver_on_two_monitors(lab)
        lab.xdotool("mousemove", "1400", "300")
        end_with(lab, saver, "click", "1")


# --- Sound -------------------------------------------------------------------------------------

@test
def BackgroundSoundPlaysAndRepeats(lab):
    lab.write_settings([CLIP + "lime.avi"], {"Sound": 1, "Repeat": 1}, sound=CLIP + "tone.wav")
    saver = lab.start_saver("/S")
    streams = set()

    def played_twice():
        listing = lab.pactl("list", "short", "sink-inputs") or ""
        streams.update(line.split()[0] for line in listing.splitlines() if line.strip())
        return len(streams) >= 2, f"sound streams seen: {sorted(streams)}"
    wait_until("the one-second sound to play a second time", played_twice, START)
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


@test
def MuteAndUnmuteReachTheMixer(lab):
    lab.write_settings([CLIP + "lime.avi"], {"Starton": 0, "Endon": 1})
    saver = lab.start_saver("/S")
    lab.wait_colours({(512, 384): "lime"}, START, "the clip")
    expect_no_report(saver)
    # An error while un-muting at the end would end the process with a report and code 1.
    end_with(lab, saver, "key", "a")
    expect_no_report(saver)


@test
def MuteWithoutSoundDeviceIsReported(lab):
    lab.set_no_audio_driver()
    lab.write_settings([CLIP + "lime.avi"], {"Starton": 0})
    saver = lab.start_saver("/S")

    def reported():
        boxes = [b for b in saver.boxes() if b.startswith("Volume setting error... error is #")]
        return bool(boxes) and lab.windows(TITLE), saver.boxes()
    wait_until("the volume-setting report", reported, START)
    end_at_box(lab, saver, TITLE)


# --- A corrupt file ----------------------------------------------------------------------------

@test
def CorruptClipIsReportedAndPlaybackHalts(lab):
    lab.write_settings([CLIP + "red.avi", CLIP + "corrupt.avi", CLIP + "blue.avi"])
    saver = lab.start_saver("/S")
    lab.wait_colours({(512, 384): "red"}, START, "the first clip")
    expected = (f"An error occurred trying to play the video file {CLIP}corrupt.avi. The video "
                "file appears to be corrupt. Please verify that your video files are viewable.")

    def reported():
        return expected in saver.boxes() and bool(lab.windows("Error")), saver.boxes()
    wait_until("the corrupt-file report", reported, 20)
    time.sleep(2)  # playback has halted: the third clip never comes
    shot = lab.screenshot()
    if shot.colour(300, 250) == "blue":
        raise Failure("playback went on to the next clip after the report")
    end_at_box(lab, saver, "Error")


# --- Runner ------------------------------------------------------------------------------------

def run_backend_tests(lab):
    """The backend's own GoogleTest suite, which needs a display: its per-test lines are
    passed on, its totals folded into ours. Returns (passed, failed) test names."""
    exe = ROOT / "build" / "mingw" / "morvel_win32_tests.exe"
    lab.fresh_prefix()
    try:
        result = subprocess.run(["wine", str(exe)], env=lab.env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, errors="replace",
                                timeout=300)
        output, code = result.stdout, result.returncode
    except subprocess.TimeoutExpired as error:
        output, code = str(error.stdout or ""), -1
    summary = re.compile(r"^\[(==========|  PASSED  |  FAILED  )\] (\d+ tests?|Running)")
    for line in output.splitlines():
        if line.startswith("[") and not summary.match(line) and "FAILED TEST" not in line:
            print(line)
        elif not line.startswith("[") and "wine32" not in line and line.strip():
            print(line)
    passed = re.findall(r"^\[       OK \] (\S+)", output, re.M)
    failed = re.findall(r"^\[  FAILED  \] (\S+) \(", output, re.M)
    if code != 0 and not failed:
        failed = [f"{exe.name} (exit code {code})"]
    lab.stop_wine()
    return passed, failed


def main(filters):
    TESTS.extend(settings_tests.TESTS)
    chosen = [t for t in TESTS if not filters or any(f in t.__name__ for f in filters)]
    lab = Lab(ROOT / "build" / "e2e")
    failed = []
    backend = 0  # tests of the backend's own suite, passed or failed
    started = time.monotonic()
    try:
        if not filters or any(f in "Win32PlatformTest MciEngineTest ChoosingEngineTest" for f in filters):
            passed, failed = run_backend_tests(lab)
            backend = len(passed) + len(failed)
        print(f"[==========] Running {len(chosen)} tests from 1 test suite.", flush=True)
        failed += run_tests(lab, "WindowsEndToEnd", chosen, lab.fresh_prefix, lab.use_root)
    finally:
        lab.close()
    return print_totals(len(chosen) + backend, failed, started)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
