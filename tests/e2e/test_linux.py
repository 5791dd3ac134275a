"""What only the native Linux program has: its settings dialog driven through GTK's file
chooser, and its hack mode, in a window it is given and under a real XScreenSaver daemon."""

import contextlib
import os
import re
import shutil
import subprocess
import time
import types
from pathlib import Path

import pytest

from dialogs import (ADD_VIDEO, IN_SEQUENCE, MEDIUM as MEDIUM_BUTTON, PLAY, PREVIEW, PREVIEW_OK,
                     REMOVE, SAME_VIDEO, STOP, Settings, expect_slots, read_ini, wait_store)
from linuxlab import PROGRAM
from programs import HOLD, MEDIUM
from winelab import ROOT, SCREEN, Failure, frame, hold, run, settings_text, wait_until

pytestmark = pytest.mark.only("linux")

PREVIEW_CLIENT = (553, 404)  # the preview's outer size less this backend's frame


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


def test_settings_add_remove_and_ok_then_the_saver_plays_the_added_clip(program):
    lab = program.lab
    store = types.SimpleNamespace(store=lambda: lab.settings_path)
    settings = NativeSettings(lab)
    wait_store(store, lambda: expect_slots(store, {}, "first start"), "the new file")
    if lab.settings_path.read_bytes() != complete_new_file():
        raise Failure(f"the first start wrote {lab.settings_path.read_bytes()[:200]!r}...")

    red, cyan = program.clip("red"), program.clip("cyan")
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
                     program.start_timeout, "the MP4 in the preview panel's corner")
    shot = lab.screenshot()
    if "red" in (shot.colour(left + 330, top + 120), shot.colour(left + 160, top + 250)):
        raise Failure("the preview stretched the MP4 beyond its own 320x240")
    settings.click(preview, PREVIEW_CLIENT, STOP)
    settings.click(preview, PREVIEW_CLIENT, PREVIEW_OK)
    settings.gone("Preview Video")
    program.expect_no_report(settings.process)

    settings.press(REMOVE)  # the first entry is the selected one
    wait_store(store, lambda: expect_slots(store, {2: cyan}, "after Remove"), "slot 1 emptied")
    settings.press(MEDIUM_BUTTON)
    settings.press(IN_SEQUENCE)
    settings.press(SAME_VIDEO)  # on the one monitor of the lab, as Black would play
    settings.ok()
    options = read_ini(lab.settings_path).get("Options", {})
    if options.get("Picdis") != "2" or options.get("Picord") != "2" or \
            options.get("Monitors") != "1":
        raise Failure(f"medium size in sequence, the same video everywhere, was not stored: "
                      f"{options}")

    saver = program.start(program.switch)
    lab.wait_colours(frame(*MEDIUM, "cyan"), program.start_timeout,
                     "the added MPEG-1 clip at 512x384")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


# --- The command line's own answers ----------------------------------------------------------

def test_help_and_version_answer_without_a_display_and_the_manual_says_the_same(program):
    env = {name: value for name, value in os.environ.items()
           if name not in ("DISPLAY", "WAYLAND_DISPLAY")}

    def answer(switch):
        done = subprocess.run([str(PROGRAM), switch], env=env, capture_output=True, text=True,
                              timeout=20)
        if done.returncode != 0 or done.stderr:
            raise Failure(f"{switch}: exit {done.returncode}, {done.stderr[-300:]!r}")
        return done.stdout

    version = re.search(r"project\(morvel VERSION ([0-9.]+)",
                        (ROOT / "CMakeLists.txt").read_text()).group(1)
    if answer("--version") != f"morvel {version}\n":
        raise Failure(f"--version said {answer('--version')!r}, not morvel {version}")
    manual = (ROOT / "packaging" / "linux" / "morvel.1").read_text().replace("\\-", "-")
    text = answer("--help")
    for switch in ("/s", "/c", "/a", "-root", "--root", "-window-id", "--help", "--version",
                   "GDK_BACKEND=x11"):
        if switch not in text or switch not in manual:
            raise Failure(f"{switch} is missing from --help or from the manual page:\n{text}")
    if len(text.splitlines()) > 20:
        raise Failure(f"--help takes {len(text.splitlines())} lines, more than a screen's few")


# --- Sizes beyond what X can hold --------------------------------------------------------------

@pytest.mark.parametrize("width, height, shown", [
    # X ended the saver on a window 65536 wide; the largest the saver shows here is 8192.
    pytest.param(65536, 65536, {(5, 5): "lime", (512, 384): "lime", (1018, 762): "lime"},
                 id="too-large"),
    # 8192 wide, 200 high: across the screen, centred.
    pytest.param(65536, 200, {**frame(0, 284, 1024, 200, "lime"), (512, 283): "black"},
                 id="too-wide"),
    # A height below a pixel takes one: the centre row shows the clip.
    pytest.param(100000, -5, {(5, 384): "lime", (512, 384): "lime", (1018, 384): "lime",
                              (512, 383): "black", (512, 385): "black"},
                 id="too-wide-and-negative"),
])
def test_a_custom_size_no_window_can_take_shows_the_nearest_centred(
        program, width, height, shown):
    program.write_settings(["lime"], {"Picdis": 4, "Width": width, "Height": height})
    saver = program.start(program.switch)
    wait_until("the saver's window", lambda: (bool(program.saver_windows()), saver.output()),
               program.start_timeout)
    program.lab.wait_colours(shown, program.start_timeout, f"the {width}x{height} panel")
    program.keeps_running(saver, shown, f"the saver with a {width}x{height} panel")
    if "32767" in saver.output():
        raise Failure(f"GTK refused a window: {saver.output()[-300:]}")
    program.end_with(saver, "key", "a")


# --- In a screen locker's window ---------------------------------------------------------------

HOST = (100, 100, 640, 480)  # another program's window, where a locker's would be


@contextlib.contextmanager
def host_window(lab, place=HOST, title="host"):
    """xclock at `place` on a white desktop, for the block; yields its X id."""
    left, top, width, height = place
    clock = lab.spawn(["xclock", "-geometry", f"{width}x{height}+{left}+{top}", "-bw", "0",
                       "-title", title], lab.work / f"xclock-{title}.log")

    def found():
        ids = run(["xdotool", "search", "--name", f"^{title}$"], env=lab.env,
                  check=False).split()
        return bool(ids), ids
    try:
        window = wait_until("the other program's window", found, 10)[0]
        run(["xsetroot", "-solid", "white"], env=lab.env)
        yield window
    finally:
        lab.stop([clock])
        lab.started.remove(clock)
        run(["xsetroot", "-solid", "black"], env=lab.env)


def test_as_a_hack_it_draws_in_the_window_it_is_given_and_ends_at_sigterm(program):
    lab = program.lab
    program.write_settings(["lime"], {"Picdis": 2, "Starton": 0, "Endon": 1})
    with host_window(lab) as window:
        saver = program.start("-window-id", window)
        # Medium in 640x480: half of it, centred; the desktop around stays as it was.
        left, top, width, height = HOST
        expected = frame(left + width // 4, top + height // 4, width // 2, height // 2, "lime")
        expected.update({(left + 5, top + 5): "black", (left - 5, top - 5): "white",
                         (left + width + 5, top + height // 2): "white"})
        lab.wait_colours(expected, program.start_timeout,
                         "the clip at half the window's size, in the window")
        program.wait_muted(True)
        if program.saver_windows():
            raise Failure("the hack made a saver window of its own")
        # Input is the locker's: neither a key nor a click there ends the hack.
        lab.xdotool("mousemove", str(left + width // 2), str(top + height // 2), "click", "1")
        lab.xdotool("key", "a")

        def playing():
            wrong = lab.screenshot().mismatches(expected)
            return saver.running() and not wrong, f"running {saver.running()}, wrong {wrong}"
        hold("the hack playing on after a key and a click", playing, HOLD)
        saver.process.terminate()
        code = saver.wait_exit(2, "the hack to end at SIGTERM")
        if code != 0:
            raise Failure(f"the hack ended with exit code {code}: {saver.output()[-500:]}")
        program.wait_muted(False)
        program.expect_no_report(saver)


def test_as_hacks_on_two_monitors_each_starts_at_its_monitors_entry(program):
    """A locker lends a window on each monitor and starts a hack in each: with each monitor
    its own videos, the one on the second monitor starts at the second clip."""
    lab = program.lab
    program.write_settings(["lime", "cyan"], {"Picdis": 2, "Monitors": 2})
    on_second = (SCREEN[0] + 80, 60, 640, 480)
    with program.two_monitors(), host_window(lab) as first, \
            host_window(lab, on_second, "second") as second:
        savers = [program.start("-window-id", window, log=f"hack-{n}.log")
                  for n, window in enumerate((first, second))]
        expected = {}
        for (left, top, width, height), colour in ((HOST, "lime"), (on_second, "cyan")):
            expected.update(frame(left + width // 4, top + height // 4, width // 2,
                                  height // 2, colour))
        lab.wait_colours(expected, program.start_timeout,
                         "the first clip on the primary, the second on the other monitor")
        for saver in savers:
            saver.process.terminate()
            saver.wait_exit(program.end_timeout, "the hack to end at SIGTERM")
            program.expect_no_report(saver)


def hack_environment(pid):
    try:
        return Path(f"/proc/{pid}/environ").read_text(errors="replace")
    except OSError:
        return ""  # it has ended meanwhile


def test_an_xscreensaver_daemon_shows_the_hack_and_ends_it(program):
    daemon_shows_the_hack_and_ends_it(program, PROGRAM)


def daemon_shows_the_hack_and_ends_it(program, hack):
    """The daemon refuses root: it runs as an ordinary user, with a HOME of its own that
    names the hack, and without our sound server, whose socket that user may not enter."""
    lab = program.lab
    user = run([str(ROOT / "scripts" / "ordinary-user")]).strip()
    home = lab.work / "daemon-home"
    shutil.rmtree(home, ignore_errors=True)
    (home / ".config").mkdir(parents=True)
    (home / ".xscreensaver").write_text(
        "timeout: 0:30:00\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
        "mode: one\nselected: 0\n"
        f'programs: "Morvel Screensaver" {hack} -root \\n\n')
    (home / ".config" / "morvel4.ini").write_bytes(
        settings_text([program.clip("lime")], {"Picdis": 2}))
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
        found = subprocess.run(["pgrep", "-u", user, "-f", f"{hack} --?root"],
                               stdout=subprocess.PIPE, text=True).stdout.split()
        screen = f"DISPLAY={lab.env['DISPLAY']}"  # the daemon names it with its screen, ".0"
        return [pid for pid in found
                if {screen, screen + ".0"} & set(hack_environment(pid).split("\0"))]
    try:
        wait_until("the daemon", lambda: (command("-time").returncode == 0, "no answer"), 20)
        command("-activate")
        lab.wait_colours(frame(*MEDIUM, "lime"), program.start_timeout, "the clip under the daemon")
        if not hacks():
            raise Failure("the clip shows, but no hack of ours runs")
        command("-deactivate")
        wait_until("the hack to end", lambda: (not hacks(), hacks()), program.end_timeout)
        shot = lab.screenshot()
        if shot.colour(512, 384) == "lime":
            raise Failure("the clip still shows after -deactivate")
    finally:
        command("-exit")
        lab.stop([daemon])
        lab.started.remove(daemon)
