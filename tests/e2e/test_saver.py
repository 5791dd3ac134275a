"""What both programs do as savers, each test run once per program: the settings file
written, the saver started with real clips on a 1024x768 virtual screen, the screen, the
sound server and the program's message boxes read. The clips are solid colours, so one pixel
says which clip shows and where."""

import signal
import time

import pytest

from programs import HOLD, MEDIUM, OPTIONS, TITLE
from winelab import SCREEN, SECOND_SCREEN, Failure, frame, hold, wait_until

CENTRE = {(512, 384): "lime"}


# --- Playback and sizes ------------------------------------------------------------------------

@pytest.mark.parametrize("clips", [
    pytest.param([("red", "red", "the first clip"), ("blue", "blue", "the second clip")],
                 id="two-clips"),
    pytest.param([("red", "red", "the first clip"), ("cyan", "cyan", "the MPEG-1 clip")],
                 id="mpeg-after-another-format"),
    # Windows Media Video 8 in ASF, as cameras and Windows wrote them.
    pytest.param([("red", "red", "the first clip"), ("wmv", "magenta", "the WMV clip")],
                 id="wmv-after-another-format"),
])
def test_clips_play_in_sequence_at_medium_size(program, clips):
    program.play_in_sequence(clips, MEDIUM)


# Under Wine the MPEG-1 clip plays on another device than the AVI after it, one that draws in
# a window of its own.
@pytest.mark.parametrize("first, second", [
    pytest.param("red", "blue", id="same-format"),
    pytest.param("magenta-mpeg", "red", id="mpeg-1-then-another-format"),
])
def test_one_clip_flows_into_the_next_without_black(program, first, second):
    """At large size, the first clip, the second, the first again: from the first on, the
    centre keeps the last picture until the next clip's first frame replaces it."""
    program.write_settings([first, second], {"Picdis": 1})
    saver = program.start(program.switch)
    shown = [first.split("-")[0], second.split("-")[0]]
    program.lab.wait_colours({(512, 384): shown[0]}, program.start_timeout, "the first clip")
    colours = program.lab.watch_pixel((512, 384), lambda seen: len(seen) >= 3, 20)
    if colours != [*shown, shown[0]]:
        raise Failure(f"the centre showed {colours} through two changes of clip")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


@pytest.mark.renderers
@pytest.mark.parametrize("picdis, clip, rect, options", [
    pytest.param(1, "lime", (0, 0, *SCREEN), {}, id="large-fills-the-screen"),
    pytest.param(3, "lime", (384, 288, 256, 192), {}, id="small-is-a-quarter"),
    pytest.param(4, "lime", (312, 234, 400, 300), {"Width": 400, "Height": 300},
                 id="custom-is-centred"),
    # 324x244: (1024 - 324) / 2 = 350, (768 - 244) / 2 = 262.
    pytest.param(5, "yellow-own-size", (350, 262, 324, 244), {}, id="own-is-centred"),
])
def test_each_size_puts_the_clip_in_its_place(program, picdis, clip, rect, options):
    colour = clip.split("-")[0]
    saver = program.showing([clip], rect, colour, dict(options, Picdis=picdis))
    program.end_with(saver, "key", "a")


# --- What the user sees when the list is wrong ---------------------------------------------

@pytest.mark.parametrize("clips", [pytest.param(["lime", "gone"], id="missing-file"),
                                   pytest.param([], id="empty-list")])
def test_a_missing_file_or_an_empty_list_shows_the_notice(program, clips):
    program.write_settings(clips)
    saver = program.start(program.switch)
    program.wait_notice(saver)
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


# --- Switches and input ------------------------------------------------------------------------

def test_a_second_start_while_running_ends_at_once(program):
    lab = program.lab
    first = program.showing(["lime"], MEDIUM, "lime", log="first.log")
    for switch in (program.switch, "/c", "/a"):
        second = program.start(switch, log="second.log")
        code = second.wait_exit(program.end_timeout, f"the second start with {switch} to end")
        if code != 0 or second.boxes():
            raise Failure(f"the second start with {switch} ended with code {code}, "
                          f"boxes {second.boxes()}")
        count = len(program.saver_windows())
        if count != 1 or lab.windows(OPTIONS):
            raise Failure(f"{count} saver windows and options {lab.windows(OPTIONS)} after a "
                          f"second start with {switch}")
        if not first.running():
            raise Failure(f"the first saver ended after a second start with {switch}")
    lab.wait_colours(CENTRE, 5, "the first saver still playing")
    program.end_with(first, "key", "a")


@pytest.mark.parametrize("ending", ["key-press", "key-release", "click-on-the-video"])
def test_a_key_or_a_click_ends_the_saver(program, ending):
    if ending == "key-release" and not program.key_release_alone:
        pytest.skip("the lab cannot send this program a key release alone")
    saver = program.showing(["lime"], MEDIUM, "lime")
    if ending == "key-press":
        program.end_with(saver, "key", "a")
    elif ending == "key-release":
        # Only a release: the X server drops the release of a key it never saw go down, so
        # the release event is sent to the saver's window directly.
        program.end_with(saver, "keyup", "--window", program.saver_windows()[0], "b")
    else:
        # The video has an X window of its own.
        program.end_with(saver, "mousemove", "512", "384", "click", "1")


def move_mouse(lab, points):
    for x, y in points:
        lab.xdotool("mousemove", str(x), str(y))
        time.sleep(0.3)  # one movement after another, as a hand makes them


def test_the_right_arrow_where_chosen_plays_the_next_clip_and_a_left_arrow_ends(program):
    """NextKey=1, two long clips at large size: the right arrow brings the second on and the
    saver goes on; the left arrow ends it."""
    program.write_settings(["lime", "cyan"], {"Picdis": 1, "NextKey": 1})
    saver = program.start(program.switch)
    program.lab.wait_colours(CENTRE, program.start_timeout, "the first clip")
    program.lab.xdotool("key", "Right")
    program.lab.wait_colours({(512, 384): "cyan"}, program.start_timeout,
                             "the next clip after the right arrow")
    if not saver.running():
        raise Failure("the right arrow ended the saver")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "Left")


def test_mouse_movement_does_not_end_the_saver(program):
    saver = program.showing(["lime"], MEDIUM, "lime")
    move_mouse(program.lab, ((10, 10), (900, 700), (300, 500), (512, 384)))
    program.keeps_running(saver, CENTRE, "the saver and its clip after the mouse moved")
    program.end_with(saver, "click", "1")


# --- Two monitors ------------------------------------------------------------------------------

def second_monitor(colour):
    """A grid of points over the monitor right of the primary, its corners among them."""
    left, (width, height) = SCREEN[0], SECOND_SCREEN
    xs = [left + width * i // 8 for i in range(8)] + [left + width - 1]
    ys = [height * j // 6 for j in range(6)] + [height - 1]
    return {(x, y): colour for x in xs for y in ys}


def saver_on_two_monitors(program):
    """The saver at medium size on two monitors: the clip on the primary, on black, and the
    second monitor, white desktop before, black; the desktop off the monitors untouched."""
    lab = program.lab
    lab.wait_colours({**second_monitor("white"), **program.off_monitors}, 10,
                     "the bare desktop on the second monitor")
    saver = program.showing(["lime"], MEDIUM, "lime")
    lab.wait_colours({**second_monitor("black"), **program.off_monitors}, program.start_timeout,
                     "black on the second monitor")
    return saver


def test_every_monitor_is_covered_and_only_a_key_or_a_click_there_ends_the_saver(program):
    left = SCREEN[0]
    with program.two_monitors():
        saver = saver_on_two_monitors(program)
        move_mouse(program.lab, ((left + 6, 10), (left + 776, 590), (left + 376, 300)))
        program.keeps_running(saver, {**CENTRE, **second_monitor("black")},
                              "the saver on both monitors after the mouse moved over the second")
        # The pointer stays over the second monitor: the key must still reach the saver.
        program.end_with(saver, "key", "a")
        saver = saver_on_two_monitors(program)
        program.end_with(saver, "mousemove", str(left + 376), "300", "click", "1")


# The second monitor's medium place: half of 800x600, centred on it.
SECOND_MEDIUM = (SCREEN[0] + 200, 150, 400, 300)
CLICK_ON_SECOND = ("mousemove", str(SCREEN[0] + 376), "300", "click", "1")


@pytest.mark.renderers
@pytest.mark.parametrize("monitors, clips, shown", [
    pytest.param(1, ["red", "blue"], {**frame(*MEDIUM, "red"), **frame(*SECOND_MEDIUM, "red")},
                 id="same-video"),
    pytest.param(2, ["red", "blue"], {**frame(*MEDIUM, "red"), **frame(*SECOND_MEDIUM, "blue")},
                 id="different-videos"),
    # One clip over 1824x768 at large size: both monitors full of it.
    pytest.param(3, ["lime"], {(5, 5): "lime", (512, 384): "lime", (1018, 762): "lime",
                               (SCREEN[0] + 5, 5): "lime", (SCREEN[0] + 794, 594): "lime"},
                 id="one-video-across-all"),
])
def test_every_monitor_plays_as_chosen_and_a_key_or_a_click_on_either_ends_the_saver(
        program, monitors, clips, shown):
    options = {"Picdis": 1 if monitors == 3 else 2, "Monitors": monitors}
    with program.two_monitors():
        for end in (("key", "a"), CLICK_ON_SECOND):
            program.write_settings(clips, options)
            saver = program.start(program.switch)
            program.lab.wait_colours(shown, program.start_timeout,
                                     f"the clips on both monitors with Monitors={monitors}")
            program.expect_no_report(saver)
            program.end_with(saver, *end)


# --- A corrupt file ----------------------------------------------------------------------------

def test_a_corrupt_clip_is_reported_and_playback_halts(program):
    lab = program.lab
    saver = program.showing(["red", "corrupt", "blue"], MEDIUM, "red")
    # The path as the list holds it.
    expected = (f"An error occurred trying to play the video file {program.clip('corrupt')}. "
                "The video file appears to be corrupt. Please verify that your video files are "
                "viewable.")

    def reported():
        return expected in program.box_texts(saver, "Error") and bool(lab.windows("Error")), \
            saver.boxes()
    wait_until("the corrupt-file report", reported, program.start_timeout)

    def halted():
        colour = lab.screenshot().colour(300, 250)
        return colour != "blue" and len(saver.boxes()) == 1 and saver.running(), \
            f"{colour} at 300,250, boxes {saver.boxes()}"
    hold("playback halted at the report: the third clip never comes", halted, HOLD)
    program.end_at_box(saver, "Error")


# --- Sound and the mixer -----------------------------------------------------------------------

def test_the_background_sound_plays_and_repeats(program):
    program.write_settings(["lime"], {"Sound": 1, "Repeat": 1}, sound="tone")
    saver = program.start(program.switch)
    streams = set()

    def played_twice():
        streams.update(program.sound_streams())
        return len(streams) >= 2, f"sound streams seen: {sorted(streams)}"
    wait_until("the one-second sound to play a second time", played_twice,
               program.start_timeout)
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


# An idle daemon ends the Linux saver with SIGTERM when the user comes back: the same end.
@pytest.mark.parametrize("ending", ["key", "sigterm"])
def test_mute_at_start_and_unmute_at_end_reach_the_mixer(program, ending):
    if ending == "sigterm" and program.name == "windows":
        pytest.skip("the Windows saver is not ended by a signal")
    if program.mute_seen_on_sink and program.lab.sink_muted() is not False:
        raise Failure(f"the sink should start unmuted: {program.lab.sink_muted()}")
    saver = program.showing(["lime"], MEDIUM, "lime", {"Starton": 0, "Endon": 1})
    if program.mute_seen_on_sink:
        program.wait_muted(True)
    # An error while un-muting at the end would end the process with a report and code 1.
    if ending == "key":
        program.end_with(saver, "key", "a")
    else:
        saver.process.send_signal(signal.SIGTERM)
        code = saver.wait_exit(program.end_timeout, "the saver to end at SIGTERM")
        if code != 0:
            raise Failure(f"the saver ended with exit code {code} at SIGTERM")
    if program.mute_seen_on_sink:
        program.wait_muted(False)
    program.expect_no_report(saver)


def test_mute_without_a_sound_device_is_reported(program):
    program.write_settings(["lime"], {"Starton": 0})
    saver = program.start_without_sound_device(program.switch)

    def reported():
        boxes = [text for text in program.box_texts(saver, TITLE)
                 if text.startswith("Volume setting error... error is #")]
        return bool(boxes) and bool(program.lab.windows(TITLE)), saver.boxes()
    wait_until("the volume-setting report", reported, program.start_timeout)
    program.end_at_box(saver, TITLE)
