"""The two programs the end-to-end lab runs, behind one small adapter each: how to start the
saver, where its settings file is, how its message boxes are read, how a clip's path is
written, and the few details in which the two differ. The checks both programs share are
written once, here and in test_saver.py."""

import contextlib
from pathlib import Path

from linuxlab import PROGRAM, LinuxLab
from waylandlab import WaylandLab, lab_folder
from winelab import ROOT, SCREEN, Failure, Lab, frame, hold, wait_until

SAVER = "Frmmorvel33"  # the saver window's title
TITLE = "Morvel Screensaver"
OPTIONS = "Morvel Screensaver Options"
MEDIUM = (256, 192, 512, 384)  # where a clip plays at medium size on the primary monitor
HOLD = 3  # seconds a "does not happen" check watches; the saver's timer runs once a second


class Program:
    """What a test asks of a program. Subclasses set the class attributes and the methods
    that raise NotImplementedError."""

    name = ""
    switch = ""            # the saver switch, as the system passes it
    start_timeout = 0      # seconds the saver may take to put its first picture up
    end_timeout = 0        # seconds it may take to go away after the input that ends it
    clip_files = {}        # clip name -> file in the lab's clips folder
    mute_seen_on_sink = False  # whether mute and un-mute show as the sound server's sink mute
    off_monitors = {}      # points on no monitor of the two-monitor screen: they stay desktop
    key_release_alone = True  # whether the lab can send a key release without its press
    modules = None         # the test files that run for this program, when not all
    missing = {}           # test name -> why it cannot run for this program (yet)

    def __init__(self, lab):
        self.lab = lab

    # --- Each program's own ---------------------------------------------------------------------

    def open(self):
        """Once for all tests: clips and anything slow to make."""
        raise NotImplementedError

    def fresh(self):
        """Before each test: no settings file, nothing running."""
        raise NotImplementedError

    def use_renderer(self, renderer):
        """For one test, after fresh: the Windows saver's Renderer (1 GDI, 2 Direct3D 11); the
        other program has one renderer."""

    def clip(self, name):
        """The path of a clip as a settings file lists it."""
        raise NotImplementedError

    def scratch(self, name):
        """(the file on this machine, its path as a settings file lists it) of `name` in a
        folder of the test's own."""
        raise NotImplementedError

    def host_path(self, listed):
        """The file on this machine that a path in the settings file names."""
        raise NotImplementedError

    @property
    def settings_path(self):
        raise NotImplementedError

    def start(self, *args, log="saver.log"):
        raise NotImplementedError

    def start_without_sound_device(self, *args):
        raise NotImplementedError

    def box_texts(self, saver, caption):
        """The texts of the message boxes `saver` has shown under `caption`."""
        raise NotImplementedError

    def two_monitors(self):
        """A context: the block runs on a screen of two monitors, the second right of the
        primary, on a white desktop."""
        raise NotImplementedError

    def sound_streams(self):
        """Ids of the saver's sound streams on the sound server now."""
        raise NotImplementedError

    def tidy(self):
        pass

    # --- Shared -----------------------------------------------------------------------------

    def close(self):
        self.lab.close()

    def finish(self):
        for saver in self.lab.savers:
            saver.stop()
        self.lab.savers.clear()
        self.tidy()

    def write_settings(self, clips, options=None, sound=None):
        self.write_list([self.clip(c) for c in clips], options, sound)

    def write_list(self, paths, options=None, sound=None):
        if getattr(self, "renderer", None):
            options = dict(options or {}, Renderer=self.renderer)
        self.lab.write_settings(paths, options, self.clip(sound) if sound else "Null")

    def saver_windows(self):
        return self.lab.windows(SAVER)

    def showing(self, clips, rect, colour, options=None, log="saver.log"):
        """A saver started on `clips`, once `colour` fills `rect` on black."""
        self.write_settings(clips, options)
        saver = self.start(self.switch, log=log)
        self.lab.wait_colours(frame(*rect, colour), self.start_timeout,
                              f"{colour} in {rect} on black")
        self.expect_no_report(saver)
        return saver

    def play_in_sequence(self, clips, rect):
        """[(clip, colour, what)] at medium size: each fills `rect` on black in turn."""
        self.write_settings([clip for clip, _, _ in clips], {"Picdis": 2})
        saver = self.start(self.switch)
        for _, colour, what in clips:
            self.lab.wait_colours(frame(*rect, colour), self.start_timeout, f"{what} in {rect}")
        self.expect_no_report(saver)
        self.end_with(saver, "key", "a")

    def wait_notice(self, saver):
        """The white window that says a listed file is missing, its text on it."""
        lab = self.lab
        lab.wait_colours({(5, 5): "white", (1018, 762): "white", (600, 400): "white"},
                         self.start_timeout, "the white notice window")

        def text_shown():
            dark = lab.screenshot().dark_pixels(68, 47, 469, 106)
            return dark > 100, f"{dark} dark pixels in the notice area"
        wait_until("the notice text", text_shown, 10)

    def end_with(self, saver, *xdotool_args):
        self.lab.xdotool(*xdotool_args)
        code = saver.wait_exit(self.end_timeout,
                               f"the saver to end after xdotool {' '.join(xdotool_args)}")
        if code != 0:
            raise Failure(f"the saver ended with exit code {code}; boxes: {saver.boxes()}")
        if self.saver_windows():
            raise Failure("a saver window is left after the process ended")

    def end_at_box(self, saver, caption):
        """Ends the saver with a key pressed on its message box. The box must hold the X
        input focus, which one that has just been mapped may not hold yet."""
        self.lab.xdotool("windowfocus", self.lab.windows(caption)[-1])
        self.end_with(saver, "key", "a")

    @staticmethod
    def expect_no_report(saver):
        if saver.boxes():
            raise Failure(f"unexpected message boxes: {saver.boxes()}")

    def keeps_running(self, saver, shown, what):
        """For HOLD seconds, polled: the saver runs, its one window is up and `shown`
        ({(x, y): colour}) stays on the screen."""
        def probe():
            if not saver.running():
                return False, f"the saver ended, code {saver.process.returncode}, " \
                              f"boxes {saver.boxes()}"
            count = len(self.saver_windows())
            if count != 1:
                return False, f"{count} saver windows"
            wrong = self.lab.screenshot().mismatches(shown)
            return not wrong, {f"{x},{y}": seen for (x, y), seen in wrong.items()}
        hold(what, probe, HOLD)

    def wait_muted(self, muted):
        wait_until(f"the sink {'muted' if muted else 'unmuted'}",
                   lambda: (self.lab.sink_muted() is muted, self.lab.sink_muted()), 5)


class WindowsProgram(Program):
    """morvel.scr under Wine: a fresh copy of a prefix made once for each test; the settings
    file in C:\\windows; message boxes read from Wine's trace, which gives their text only
    (their caption is checked as their window's title)."""

    name = "windows"
    switch = "/S"
    start_timeout = 30
    end_timeout = 15
    clip_files = {"red": "red.avi", "blue": "blue.avi", "lime": "lime.avi", "cyan": "cyan.mpg",
                  "magenta-mpeg": "magenta.mpg", "yellow-own-size": "yellow-own-size.avi", "tone": "tone.wav",
                  "wmv": "magenta.wmv",
                  "corrupt": "corrupt.avi", "gone": "gone.avi", "lime-then-red": "lime-then-red.avi"}
    media_engine_clips = {"red": "red.mp4", "blue": "blue.mp4", "lime": "lime.mp4"}
    # Wine keeps the mixer's mute to itself: the saver ending with code 0 and no report is
    # what says that mute and un-mute went through.
    mute_seen_on_sink = False
    # Xephyr's Xinerama has no pixels off its screens to look at.
    off_monitors = {}

    def __init__(self):
        super().__init__(Lab(ROOT / "build" / "e2e"))

    def open(self):
        self.lab.make_clips()
        self.lab.template()

    def fresh(self):
        self.lab.fresh_prefix()
        self.renderer = None
        self.clip_files = WindowsProgram.clip_files

    def use_renderer(self, renderer):
        """Direct3D draws through Wine's OpenGL renderer (Mesa's software one on the lab's
        screens) for the saver alone: the prefix keeps its GDI renderer for everything else
        (Wine's own MPEG pictures, which a GDI saver draws through MCI)."""
        self.renderer = renderer
        if renderer == 2:
            # The graphics card's own decoder (the Media Engine) takes every file but an AVI.
            self.clip_files = {**WindowsProgram.clip_files, **self.media_engine_clips}
            self.lab.wine_output("reg", "add",
                                 "HKCU\\Software\\Wine\\AppDefaults\\morvel.scr\\Direct3D",
                                 "/v", "renderer", "/d", "gl", "/f")

    def tidy(self):
        self.lab.use_root()

    def clip(self, name):
        return "C:\\clips\\" + self.clip_files.get(name, name)

    def scratch(self, name):
        return self.lab.prefix / "drive_c" / "scratch" / name, "C:\\scratch\\" + name

    def host_path(self, listed):
        return self.lab.windows_path(listed)

    @property
    def settings_path(self):
        return self.lab.prefix / "drive_c" / "windows" / "morvel4.ini"

    def start(self, *args, log="saver.log", scr="C:\\morvel.scr"):
        return self.lab.start_saver(*args, log=log, scr=scr)

    def start_without_sound_device(self, *args):
        self.lab.set_no_audio_driver()
        return self.start(*args)

    def box_texts(self, saver, caption):
        return saver.boxes()

    def two_monitors(self):
        return self.lab.two_screens()

    def sound_streams(self):
        listing = self.lab.pactl("list", "short", "sink-inputs") or ""
        return {line.split()[0] for line in listing.splitlines() if line.strip()}


class LinuxProgram(Program):
    """The native program: an empty HOME for each test, the settings file in its
    .config; message boxes traced on stderr with their caption (MORVEL_TRACE_BOXES)."""

    name = "linux"
    switch = "/s"
    start_timeout = 15
    end_timeout = 10
    clip_files = {"red": "red.mp4", "blue": "blue.mp4", "lime": "lime.mp4", "cyan": "cyan.mpg",
                  "magenta-mpeg": "magenta.mpg", "yellow-own-size": "yellow-own-size.mp4", "tone": "tone.wav",
                  "wmv": "magenta.wmv",
                  "corrupt": "corrupt.mp4", "gone": "gone.mp4", "lime-then-red": "lime-then-red.mp4"}
    mute_seen_on_sink = True
    # The X server drops a real release of a key it never saw go down, and GTK reads keys
    # through XInput 2, which one sent to its window alone never reaches.
    key_release_alone = False
    # The dummy X server's one frame buffer spans both monitors: below the smaller second
    # one lies desktop that no monitor shows.
    off_monitors = {(SCREEN[0] + 400, 700): "white"}

    def __init__(self):
        super().__init__(LinuxLab(ROOT / "build" / "e2e-linux"))

    def open(self):
        self.lab.make_clips()

    def fresh(self):
        self.lab.fresh_home()

    def clip(self, name):
        return str(self.lab.clips / self.clip_files.get(name, name))

    def scratch(self, name):
        path = self.lab.home / "scratch" / name
        return path, str(path)

    def host_path(self, listed):
        return Path(listed)

    @property
    def settings_path(self):
        return self.lab.settings_path

    def start(self, *args, log="saver.log", env=None, program=PROGRAM):
        return self.lab.start_saver(*args, log=log, env=env, program=program)

    def start_without_sound_device(self, *args):
        # No server answers: ALSA's default device is the first sound card, and there is none.
        return self.start(*args, env=dict(self.lab.env, PULSE_SERVER=f"unix:{self.lab.work}/none"))

    def box_texts(self, saver, caption):
        return [text for shown, text in saver.boxes() if shown == caption]

    @contextlib.contextmanager
    def two_monitors(self):
        with self.lab.two_monitors():
            yield

    def sound_streams(self):
        return set(self.lab.streams_playing("morvel"))


class WaylandProgram(LinuxProgram):
    """The native program on a headless sway (waylandlab.py), as the lab's ordinary user: the
    shared cases of the saver, its picture and its flow. Keys go through wtype, the pointer
    through the lab's virtual pointer, screenshots through grim."""

    name = "wayland"
    modules = {"test_saver", "test_picture", "test_flow", "test_wayland"}
    # A layout of two outputs has no pixels between them to look at.
    off_monitors = {}
    def __init__(self):
        Program.__init__(self, WaylandLab(lab_folder()))

    def start(self, *args, log="saver.log", env=None, program=None):
        return super().start(*args, log=log, env=env, program=program or self.lab.program)


PROGRAMS = {program.name: program
            for program in (WindowsProgram, LinuxProgram, WaylandProgram)}
