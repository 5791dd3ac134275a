"""End-to-end tests of the native Linux program (build/native/morvel) on a 1024x768 virtual
screen with a silent sound server: each test gets an empty HOME, writes the settings file,
runs the program with real clips and reads the screen, the sound server and the file.

Prints its results the way GoogleTest does, so scripts/test counts them."""

import contextlib
import os
import shutil
import subprocess
import sys
import time
import types
from pathlib import Path

from linuxlab import PROGRAM, LinuxLab
from settings_tests import (ADD_VIDEO, IN_SEQUENCE, MEDIUM, OPTIONS, PLAY, PREVIEW,
                            PREVIEW_OK, REMOVE, STOP, Settings, expect_slots,
                            read_ini, wait_store)
from winelab import (ROOT, Failure, frame, print_totals, run, run_tests, settings_text,
                     wait_until)

SAVER = "Frmmorvel33"
TITLE = "Morvel Screensaver"
START = 15  # seconds the saver may take to put its first picture up
END = 10    # seconds it may take to go away after the input that ends it
MEDIUM_RECT = (256, 192, 512, 384)
PREVIEW_CLIENT = (553, 404)  # the preview's outer size less this backend's frame

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


def end_at_box(lab, saver, caption):
    """Ends the saver with a key pressed on its message box, which must hold the X focus."""
    lab.xdotool("windowfocus", lab.windows(caption)[-1])
    end_with(lab, saver, "key", "a")


def expect_no_report(saver):
    if saver.boxes():
        raise Failure(f"unexpected message boxes: {saver.boxes()}")


def saver_showing(lab, clips, rect, colour, options=None):
    lab.write_settings([lab.clip(c) for c in clips], options)
    saver = lab.start_saver("/s")
    lab.wait_colours(frame(*rect, colour), START, f"{colour} in {rect} on black")
    expect_no_report(saver)
    return saver


# --- Playback and sizes ------------------------------------------------------------------------

@test
def MediumOwnAndFullSizes(lab):
    saver = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime", {"Picdis": 2})
    end_with(lab, saver, "key", "a")
    # 324x244 at its own size: (1024 - 324) / 2 = 350, (768 - 244) / 2 = 262.
    saver = saver_showing(lab, ["yellow-own-size.mp4"], (350, 262, 324, 244), "yellow",
                          {"Picdis": 5})
    end_with(lab, saver, "key", "a")
    lab.write_settings([lab.clip("lime.mp4")], {"Picdis": 1})
    saver = lab.start_saver("/s")
    corners = {(0, 0): "lime", (1023, 0): "lime", (0, 767): "lime", (1023, 767): "lime",
               (512, 384): "lime"}
    lab.wait_colours(corners, START, "the clip over the whole screen")
    end_with(lab, saver, "key", "a")


@test
def Mp4ThenMpegPlayInSequence(lab):
    saver = saver_showing(lab, ["red.mp4", "cyan.mpg"], MEDIUM_RECT, "red", {"Picdis": 2})
    lab.wait_colours(frame(*MEDIUM_RECT, "cyan"), START, "the MPEG-1 clip after the MP4 clip")
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


# --- What the user sees when the list is wrong ---------------------------------------------

def expect_white_notice(lab, saver, what):
    lab.wait_colours({(5, 5): "white", (1018, 762): "white", (600, 400): "white"}, START,
                     f"the white notice window ({what})")

    def text_shown():
        dark = lab.screenshot().dark_pixels(68, 47, 469, 106)
        return dark > 100, f"{dark} dark pixels in the notice area"
    wait_until(f"the notice text ({what})", text_shown, 10)
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


@test
def MissingFileOrEmptyListShowsTheNotice(lab):
    lab.write_settings([lab.clip("lime.mp4"), lab.clip("gone.mp4")])
    expect_white_notice(lab, lab.start_saver("/s"), "a missing file")
    lab.write_settings([])
    expect_white_notice(lab, lab.start_saver("/s"), "an empty list")


# --- Switches and input ------------------------------------------------------------------------

@test
def SecondStartWhileRunningEndsAtOnce(lab):
    first = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime")
    for switch in ("/s", "/c", "/a"):
        second = lab.start_saver(switch, log="second.log")
        code = second.wait_exit(END, f"the second start with {switch} to end")
        if code != 0 or second.boxes():
            raise Failure(f"the second start with {switch} ended with code {code}, "
                          f"boxes {second.boxes()}")
        count = len(lab.windows(SAVER))
        if count != 1 or lab.windows(OPTIONS):
            raise Failure(f"{count} saver windows and options {lab.windows(OPTIONS)} after a "
                          f"second start with {switch}")
        if not first.running():
            raise Failure(f"the first saver ended after a second start with {switch}")
    lab.wait_colours({(512, 384): "lime"}, 5, "the first saver still playing")
    end_with(lab, first, "key", "a")


@test
def AKeyOrAClickEndsTheSaverAndMouseMovementDoesNot(lab):
    saver = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime")
    for x, y in ((10, 10), (900, 700), (300, 500), (512, 384)):
        lab.xdotool("mousemove", str(x), str(y))
        time.sleep(0.3)
    time.sleep(2)  # long enough for the saver's one-second timer to have run twice
    if not saver.running() or len(lab.windows(SAVER)) != 1:
        raise Failure("moving the mouse ended the saver")
    lab.wait_colours({(512, 384): "lime"}, 1, "the clip still playing after the mouse moved")
    end_with(lab, saver, "key", "a")
    # A click on the video itself, which has an X window of its own.
    saver = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime")
    end_with(lab, saver, "mousemove", "512", "384", "click", "1")


@test
def EveryOtherMonitorIsCoveredAndAKeyOrAClickThereEndsTheSaver(lab):
    width, height = lab.screen
    second_monitor = {(width + 5, 5): "black", (width + 795, 595): "black",
                      (width + 400, 700): "white"}  # below it, on no monitor
    with lab.two_monitors():
        saver = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime")
        lab.wait_colours(second_monitor, START, "the second monitor covered in black")
        for x, y in ((width + 10, 10), (width + 400, 300)):
            lab.xdotool("mousemove", str(x), str(y))
            time.sleep(0.3)
        time.sleep(2)  # the saver's timer has run twice
        if not saver.running():
            raise Failure("moving the mouse over the second monitor ended the saver")
        end_with(lab, saver, "key", "a")  # the pointer still over the second monitor
        saver = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime")
        end_with(lab, saver, "mousemove", str(width + 400), "300", "click", "1")


# --- A corrupt file ----------------------------------------------------------------------------

@test
def CorruptClipIsReportedAndPlaybackHalts(lab):
    saver = saver_showing(lab, ["red.mp4", "corrupt.mp4", "blue.mp4"], MEDIUM_RECT, "red")
    # The same words as on Windows, with the path as the list holds it.
    expected = ("Error", f"An error occurred trying to play the video file "
                f"{lab.clip('corrupt.mp4')}. The video file appears to be corrupt. Please "
                "verify that your video files are viewable.")

    def reported():
        return expected in saver.boxes() and bool(lab.windows("Error")), saver.boxes()
    wait_until("the corrupt-file report", reported, START)
    time.sleep(2)  # playback has halted: the third clip never comes
    if lab.screenshot().colour(300, 250) == "blue" or len(saver.boxes()) != 1:
        raise Failure(f"playback went on after the report; boxes: {saver.boxes()}")
    end_at_box(lab, saver, "Error")


# --- Sound and the mixer -----------------------------------------------------------------------

@test
def BackgroundSoundPlaysAndRepeats(lab):
    lab.write_settings([lab.clip("lime.mp4")], {"Sound": 1, "Repeat": 1},
                       sound=lab.clip("tone.wav"))
    saver = lab.start_saver("/s")
    streams = set()

    def played_twice():
        streams.update(lab.streams_playing())
        return len(streams) >= 2, f"playing streams seen on the sink: {sorted(streams)}"
    wait_until("the one-second sound to play a second time", played_twice, START)
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


@test
def MuteAtStartAndUnmuteAtEndReachTheSoundServer(lab):
    if lab.sink_muted() is not False:
        raise Failure(f"the sink should start unmuted: {lab.pactl('get-sink-mute', 'silent')}")
    saver = saver_showing(lab, ["lime.mp4"], MEDIUM_RECT, "lime", {"Starton": 0, "Endon": 1})
    wait_until("the sink muted", lambda: (lab.sink_muted() is True, lab.sink_muted()), 5)
    end_with(lab, saver, "key", "a")
    wait_until("the sink unmuted", lambda: (lab.sink_muted() is False, lab.sink_muted()), 5)
    expect_no_report(saver)


@test
def MuteWithoutSoundServerIsReported(lab):
    lab.write_settings([lab.clip("lime.mp4")], {"Starton": 0})
    # No server answers: ALSA's default device is the first sound card, and there is none.
    saver = lab.start_saver("/s", env=dict(lab.env, PULSE_SERVER=f"unix:{lab.work}/nothing"))

    def reported():
        boxes = [b for b in saver.boxes()
                 if b[0] == TITLE and b[1].startswith("Volume setting error... error is #")]
        return bool(boxes) and bool(lab.windows(TITLE)), saver.boxes()
    wait_until("the volume-setting report", reported, START)
    end_at_box(lab, saver, TITLE)


# --- The settings dialog -----------------------------------------------------------------------

class NativeSettings(Settings):
    def add_video(self, path):
        """Through GTK's file chooser: Ctrl+L opens its location field. The first chooser of
        a process may let an Enter that comes at once after the typing pass; a second one,
        sent to the chooser's window alone, can never reach the options window's OK."""
        self.press(ADD_VIDEO)
        chooser = self.find("Open")
        self.lab.xdotool("windowfocus", chooser)
        self.lab.xdotool("key", "ctrl+l")
        self.lab.xdotool("type", "--delay", "10", path)
        time.sleep(0.5)
        self.lab.xdotool("key", "--window", chooser, "Return")
        deadline = time.monotonic() + 3
        while self.visible("Open") and time.monotonic() < deadline:
            time.sleep(0.2)
        if self.visible("Open"):
            run(["xdotool", "key", "--window", chooser, "Return"], env=self.lab.env, check=False)
        self.gone("Open")


def complete_new_file():
    lines = ["[VidConfig]"] + [f"Name{n}=Null" for n in range(1, 501)]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


@test
def SettingsAddRemoveAndOkThenTheSaverPlaysTheAddedClip(lab):
    store = types.SimpleNamespace(store=lambda: lab.settings_path)
    settings = NativeSettings(lab)
    wait_store(store, lambda: expect_slots(store, {}, "first start"), "the new file")
    if lab.settings_path.read_bytes() != complete_new_file():
        raise Failure(f"the first start wrote {lab.settings_path.read_bytes()[:200]!r}...")

    red, cyan = lab.clip("red.mp4"), lab.clip("cyan.mpg")
    settings.add_video(red)
    settings.add_video(cyan)
    wait_store(store, lambda: expect_slots(store, {1: red, 2: cyan}, "two added"),
               "two videos in the file")
    last = read_ini(lab.settings_path).get("History", {}).get("Last Dir")
    if last != str(lab.clips) + "/":
        raise Failure(f"Last Dir is {last!r}, not the clips folder")

    # The preview plays the selected video at its own size, from the panel's corner.
    settings.press(PREVIEW)
    preview = settings.find("Preview Video")
    settings.click(preview, PREVIEW_CLIENT, PLAY)
    x, y, _, _ = settings.geometry(preview)
    left, top = x + 16, y + 8
    lab.wait_colours({(left + 2, top + 2): "red", (left + 317, top + 237): "red"},
                     START, "the MP4 in the preview panel's corner")
    shot = lab.screenshot()
    if "red" in (shot.colour(left + 330, top + 120), shot.colour(left + 160, top + 250)):
        raise Failure("the preview stretched the MP4 beyond its own 320x240")
    settings.click(preview, PREVIEW_CLIENT, STOP)
    settings.click(preview, PREVIEW_CLIENT, PREVIEW_OK)
    settings.gone("Preview Video")
    expect_no_report(settings.process)

    settings.press(REMOVE)  # the first entry is the selected one
    wait_store(store, lambda: expect_slots(store, {2: cyan}, "after Remove"), "slot 1 emptied")
    settings.press(MEDIUM)
    settings.press(IN_SEQUENCE)
    settings.ok()
    options = read_ini(lab.settings_path).get("Options", {})
    if options.get("Picdis") != "2" or options.get("Picord") != "2":
        raise Failure(f"medium size in sequence was not stored: {options}")

    saver = lab.start_saver("/s")
    lab.wait_colours(frame(*MEDIUM_RECT, "cyan"), START, "the added MPEG-1 clip at 512x384")
    expect_no_report(saver)
    end_with(lab, saver, "key", "a")


# --- In a screen locker's window ---------------------------------------------------------------

HOST = (100, 100, 640, 480)  # another program's window, where a locker's would be


@contextlib.contextmanager
def host_window(lab):
    """xclock at HOST on a white desktop, for the block; yields its X id."""
    left, top, width, height = HOST
    clock = lab.spawn(["xclock", "-geometry", f"{width}x{height}+{left}+{top}", "-bw", "0"],
                      lab.work / "xclock.log")

    def found():
        ids = run(["xdotool", "search", "--class", "xclock"], env=lab.env, check=False).split()
        return bool(ids), ids
    try:
        window = wait_until("the other program's window", found, 10)[0]
        run(["xsetroot", "-solid", "white"], env=lab.env)
        yield window
    finally:
        lab.stop([clock])
        lab.started.remove(clock)
        run(["xsetroot", "-solid", "black"], env=lab.env)


@test
def AsAHackItDrawsInTheWindowItIsGivenAndEndsAtSigterm(lab):
    lab.write_settings([lab.clip("lime.mp4")], {"Picdis": 2, "Starton": 0, "Endon": 1})
    with host_window(lab) as window:
        hack_in_window(lab, lab.start_saver("-window-id", window))


def hack_in_window(lab, saver):
    # Medium in 640x480: half of it, centred; the desktop around stays as it was.
    left, top, width, height = HOST
    expected = frame(left + width // 4, top + height // 4, width // 2, height // 2, "lime")
    expected.update({(left + 5, top + 5): "black", (left - 5, top - 5): "white",
                     (left + width + 5, top + height // 2): "white"})
    lab.wait_colours(expected, START, "the clip at half the window's size, in the window")
    wait_until("the sink muted", lambda: (lab.sink_muted() is True, lab.sink_muted()), 5)
    if lab.windows(SAVER):
        raise Failure("the hack made a saver window of its own")
    # Input is the locker's: neither a key nor a click there ends the hack.
    lab.xdotool("mousemove", str(left + width // 2), str(top + height // 2), "click", "1")
    lab.xdotool("key", "a")
    time.sleep(1)
    if not saver.running():
        raise Failure("a key or a click ended the hack")
    saver.process.terminate()
    code = saver.wait_exit(2, "the hack to end at SIGTERM")
    if code != 0:
        raise Failure(f"the hack ended with exit code {code}: {saver.output()[-500:]}")
    wait_until("the sink unmuted", lambda: (lab.sink_muted() is False, lab.sink_muted()), 5)
    expect_no_report(saver)


def hack_environment(pid):
    try:
        return Path(f"/proc/{pid}/environ").read_text(errors="replace")
    except OSError:
        return ""  # it has ended meanwhile


@test
def AnXScreenSaverDaemonShowsTheHackAndEndsIt(lab):
    """The daemon refuses root: it runs as an ordinary user, with a HOME of its own that
    names the hack, and without our sound server, whose socket that user may not enter."""
    user = run([str(ROOT / "scripts" / "ordinary-user")]).strip()
    home = lab.work / "daemon-home"
    shutil.rmtree(home, ignore_errors=True)
    (home / ".config").mkdir(parents=True)
    (home / ".xscreensaver").write_text(
        "timeout: 0:30:00\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
        "mode: one\nselected: 0\n"
        f'programs: "Morvel Screensaver" {PROGRAM} -root \\n\n')
    (home / ".config" / "morvel4.ini").write_bytes(
        settings_text([lab.clip("lime.mp4")], {"Picdis": 2}))
    run(["chown", "-R", user, str(home)])
    as_user = ["runuser", "-u", user, "--", "env", f"HOME={home}", f"DISPLAY={lab.env['DISPLAY']}",
               f"XDG_CONFIG_HOME={home / '.config'}"]
    daemon = lab.spawn([*as_user, "xscreensaver", "-no-splash", "-verbose"],
                       lab.work / "xscreensaver.log", env=os.environ.copy())

    def command(*args):
        return subprocess.run([*as_user, "xscreensaver-command", *args], timeout=10,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def hacks():
        """Our hacks on this test's screen: other screens may have daemons of their own."""
        found = subprocess.run(["pgrep", "-u", user, "-f", f"{PROGRAM} --?root"],
                               stdout=subprocess.PIPE, text=True).stdout.split()
        screen = f"DISPLAY={lab.env['DISPLAY']}"  # the daemon names it with its screen, ".0"
        return [pid for pid in found
                if {screen, screen + ".0"} & set(hack_environment(pid).split("\0"))]
    try:
        wait_until("the daemon", lambda: (command("-time").returncode == 0, "no answer"), 20)
        command("-activate")
        lab.wait_colours(frame(*MEDIUM_RECT, "lime"), START, "the clip under the daemon")
        if not hacks():
            raise Failure("the clip shows, but no hack of ours runs")
        command("-deactivate")
        wait_until("the hack to end", lambda: (not hacks(), hacks()), END)
        shot = lab.screenshot()
        if shot.colour(512, 384) == "lime":
            raise Failure("the clip still shows after -deactivate")
    finally:
        command("-exit")
        lab.stop([daemon])
        lab.started.remove(daemon)


# --- Runner ------------------------------------------------------------------------------------

def main(filters):
    chosen = [t for t in TESTS if not filters or any(f in t.__name__ for f in filters)]
    work = ROOT / "build" / "e2e-linux"
    lab = LinuxLab(work)
    failed = []
    started = time.monotonic()
    try:
        lab.make_clips()
        print(f"[==========] Running {len(chosen)} tests from 1 test suite.", flush=True)
        failed = run_tests(lab, "LinuxEndToEnd", chosen, lab.fresh_home)
    finally:
        lab.close()
    return print_totals(len(chosen), failed, started)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
