"""A small laboratory for running morvel.scr under Wine: a virtual screen, a silent sound
server, fresh Wine prefixes, generated clips, and the probes the end-to-end tests
(tests/e2e) and the demo use. ScreenLab, the screen and sound part, also serves the native
program's lab (linuxlab.py).

Everything started here is stopped by Lab.close() (the callers also do it on exit)."""

import contextlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SCR = ROOT / "build" / "mingw" / "morvel.scr"
SCREEN = (1024, 768)
SECOND_SCREEN = (800, 600)  # the monitor to the right of the first, when there are two
SINK = "silent"  # the null sink of the lab's sound server
# The filter that makes a long clip lime for its first seconds and its colour after: where it
# starts shows whether it started at its start.
LIME_SECONDS = 5
LIME_FIRST_SECONDS = (",drawbox=x=0:y=0:w=iw:h=ih:color=lime:t=fill:"
                      f"enable='lt(t\\,{LIME_SECONDS})'")

# Named colours of the clips and of what the saver paints, for reading screenshots.
COLOURS = {
    "black": (0, 0, 0),
    "white": (255, 255, 255),
    "red": (255, 0, 0),
    "blue": (0, 0, 255),
    "lime": (0, 255, 0),
    "yellow": (255, 255, 0),
    "magenta": (255, 0, 255),
    "cyan": (0, 255, 255),
}


class Failure(Exception):
    """A check that did not hold; the message says what was expected and what was seen."""


def run(command, env=None, timeout=120, check=True):
    result = subprocess.run(command, env=env, timeout=timeout, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    if check and result.returncode != 0:
        raise RuntimeError(f"{' '.join(map(str, command))} failed:\n{result.stdout}")
    return result.stdout


def colour_name(rgb):
    """The nearest named colour, or the numbers when nothing is near."""
    best, distance = None, None
    for name, ref in COLOURS.items():
        d = sum((a - b) ** 2 for a, b in zip(rgb, ref))
        if distance is None or d < distance:
            best, distance = name, d
    return best if distance <= 60 ** 2 else "rgb{}".format(tuple(rgb))


def frame(left, top, width, height, inside, outside="black"):
    """Pixels just inside each corner of a rectangle and just outside it."""
    right, bottom = left + width - 1, top + height - 1
    points = {(left, top): inside, (right, top): inside, (left, bottom): inside,
              (right, bottom): inside, (left + width // 2, top + height // 2): inside}
    for x, y in ((left - 1, top - 1), (right + 1, top), (left, bottom + 1), (right + 1, bottom + 1)):
        if 0 <= x < SCREEN[0] and 0 <= y < SCREEN[1]:
            points[(x, y)] = outside
    return points


def wait_until(what, probe, timeout, interval=0.25):
    """Polls `probe` until it returns a true value; fails after `timeout` seconds with the
    last thing it saw. `probe` returns (ok, seen)."""
    deadline = time.monotonic() + timeout
    seen = None
    while True:
        ok, seen = probe()
        if ok:
            return seen
        if time.monotonic() >= deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}; last seen: {seen}")
        time.sleep(interval)


def hold(what, probe, seconds, interval=0.25):
    """Polls `probe` for `seconds` and fails as soon as it returns a false value, with what it
    saw. For checks that something does not happen: begun only once the state they hold in
    has been seen, so a slow machine cannot let them pass without looking."""
    deadline = time.monotonic() + seconds
    while True:
        ok, seen = probe()
        if not ok:
            raise Failure(f"{what} no longer held; seen: {seen}")
        if time.monotonic() >= deadline:
            return seen
        time.sleep(interval)


def make_wmv_clip(clips):
    """A three-second magenta clip of Windows Media Video 8 in ASF: GStreamer's ASF demuxer
    plays it, on Linux and under Wine."""
    run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         "color=c=magenta:s=320x240:d=3:r=10", "-c:v", "wmv2", "-f", "asf",
         str(clips / "magenta.wmv")])


def make_tone_and_corrupt_clip(clips, corrupt_name):
    """A one-second WAV tone, and a clip of the same seeded noise in every lab."""
    run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         "sine=frequency=440:duration=1", "-ar", "22050", "-ac", "1", "-c:a", "pcm_s16le",
         str(clips / "tone.wav")])
    noise = random.Random(20240601)
    (clips / corrupt_name).write_bytes(bytes(noise.randrange(256) for _ in range(32768)))


class Screenshot:
    def __init__(self, data, size):
        self.data = data
        self.width, self.height = size

    def rgb(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def colour(self, x, y):
        return colour_name(self.rgb(x, y))

    def mismatches(self, expected):
        """The points of {(x, y): colour} that show another colour."""
        wrong = {}
        for (x, y), name in expected.items():
            seen = self.colour(x, y)
            if seen != name:
                wrong[(x, y)] = seen
        return wrong

    def dark_pixels(self, left, top, width, height):
        count = 0
        for y in range(top, top + height):
            for x in range(left, left + width):
                if sum(self.rgb(x, y)) < 200:
                    count += 1
        return count


def settings_text(videos, options=None, sound="Null"):
    """The bytes of a settings file as the settings dialog writes it (CRLF)."""
    values = {"Picdis": 2, "Picord": 2, "Sound": 0, "Repeat": 0, "Starton": 5, "Endon": 5,
              "Height": -1, "Width": -1}
    values.update(options or {})
    lines = ["[VidConfig]"]
    for n in range(1, 501):
        lines.append(f"Name{n}={videos[n - 1] if n <= len(videos) else 'Null'}")
    lines += ["[WavConfig]", f"Name1={sound}", "[Options]"]
    lines += [f"{key}={value}" for key, value in values.items()]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def write_settings_file(path, videos, options=None, sound="Null"):
    """settings_text() written to `path`, its folder made when missing."""
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    Path(path).write_bytes(settings_text(videos, options, sound))


class Program:
    """One running program, its output in a log file, in a process group of its own."""

    def __init__(self, command, env, log):
        self.log_path = log
        self.log = open(log, "w")
        self.process = subprocess.Popen(command, env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout, what="the saver to end"):
        wait_until(what, lambda: (not self.running(), "still running"), timeout)
        return self.process.returncode

    def output(self):
        self.log.flush()
        return Path(self.log_path).read_text(errors="replace")

    def stop(self):
        if self.running():
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(timeout=10)
        self.log.close()


class Saver(Program):
    """One running morvel.scr, the lab's copy unless `scr` names another."""

    def __init__(self, lab, args, log, scr="C:\\morvel.scr"):
        self.lab = lab
        super().__init__(lab.wine_command(["wine", scr, *args]), lab.wine_env(), log)

    def boxes(self):
        """The texts of the message boxes shown so far (Wine traces each one)."""
        texts = []
        for line in self.output().splitlines():
            if "msgbox:MSGBOX_OnInit" in line and 'L"' in line:
                texts.append(line.split('L"', 1)[1].rstrip('"').replace("\\\\", "\\"))
        return texts


class ScreenLab:
    """A virtual screen and a silent sound server, the processes started on them, and the
    probes that read the screen and drive it."""

    def __init__(self, work, display=None, sound=True, screen=SCREEN):
        self.work = Path(work)
        self.screen = screen  # of the virtual screen, when the lab starts one
        self.work.mkdir(parents=True, exist_ok=True)
        self.started = []
        self.savers = []
        self.size = screen  # of the root window, which spans every monitor
        self.clips = self.work / "clips"
        runtime = self.work / "run"
        runtime.mkdir(exist_ok=True)
        runtime.chmod(0o700)
        self.env = dict(os.environ)
        self.env.update({
            "XDG_RUNTIME_DIR": str(runtime),
            "PULSE_SERVER": f"unix:{runtime}/pulse/native",
        })
        if display:
            self.env["DISPLAY"] = display
        else:
            self.start_screen()
        if sound:
            self.start_sound()
        else:
            # The user's own sound server and settings stay in force.
            for name in ("XDG_RUNTIME_DIR", "PULSE_SERVER"):
                self.env.pop(name, None)
                if name in os.environ:
                    self.env[name] = os.environ[name]

    # --- Processes of our own --------------------------------------------------------------

    def spawn(self, command, log, env=None):
        process = subprocess.Popen(command, env=env or self.env, stdout=open(log, "w"),
                                   stderr=subprocess.STDOUT, start_new_session=True)
        self.started.append(process)
        return process

    @staticmethod
    def free_display():
        for number in range(91, 140):
            if not Path(f"/tmp/.X11-unix/X{number}").exists() and \
                    not Path(f"/tmp/.X{number}-lock").exists():
                return number
        raise RuntimeError("no free X display number")

    def start_server(self, command, log, env=None):
        number = self.free_display()
        # No reset when the last client leaves: a client connecting meanwhile, such as the
        # next test's first, would be cut off with the others.
        self.spawn([command[0], f":{number}", *command[1:], "-noreset", "-nolisten", "tcp"],
                   log, env)
        wait_until(f"the X server :{number}", lambda: (
            Path(f"/tmp/.X11-unix/X{number}").exists(), "no socket"), 20)
        return f":{number}"

    def start_screen(self, second=None):
        """A virtual screen of the lab's size; with `second`, a monitor of that size to its right.
        Xvfb puts all its screens at 0,0, one over the other, so two monitors side by side
        are the two screens of an Xephyr (in an Xvfb as large as both) joined by Xinerama.
        Without RandR, which would tell of one output only, Wine takes Xinerama's monitors.
        Its root is white: a desktop left uncovered shows."""
        width, height = self.screen
        if second is None:
            self.env["DISPLAY"] = self.start_server(
                ["Xvfb", "-screen", "0", f"{width}x{height}x24"], self.work / "xvfb.log")
            self.size = self.screen
            return
        self.size = (width + second[0], max(height, second[1]))
        host = self.start_server(["Xvfb", "-screen", "0", "{}x{}x24".format(*self.size)],
                                 self.work / "xvfb-host.log")
        self.env["DISPLAY"] = self.start_server(
            ["Xephyr", "+xinerama", "-extension", "RANDR", "-wr",
             "-screen", f"{width}x{height}+0+0", "-origin", f"{width},0",
             "-screen", f"{second[0]}x{second[1]}+{width}+0"],
            self.work / "xephyr.log", env=dict(self.env, DISPLAY=host))

    @contextlib.contextmanager
    def other_screen(self, name, start, tidy=lambda: None):
        """Runs the block on the screen `start()` puts up (it sets DISPLAY and size), then
        stops the savers, `tidy()`, stops everything that ran there and goes back to the
        screen before. A failure leaves a screenshot of that screen as failures/NAME.png."""
        before = (self.env["DISPLAY"], self.size, len(self.started))
        try:
            start()
            yield
        except Exception:
            # The runner's own screenshot of a failure would show the screen before.
            (self.work / "failures").mkdir(exist_ok=True)
            self.save_screenshot(self.work / "failures" / f"{name}.png")
            raise
        finally:
            for saver in self.savers:
                saver.stop()
            tidy()
            self.stop(self.started[before[2]:])
            del self.started[before[2]:]
            self.env["DISPLAY"], self.size = before[:2]

    def start_sound(self):
        # A sink that plays into nothing, reachable only through a socket in our own folder.
        self.spawn(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                    "--use-pid-file=no", "--disable-shm=yes",
                    "--load=module-null-sink sink_name=silent",
                    "--load=module-native-protocol-unix auth-anonymous=1"],
                   self.work / "pulseaudio.log")
        wait_until("the sound server", lambda: (self.pactl("info") is not None, "no answer"), 20)

    def pactl(self, *args):
        try:
            return run(["pactl", *args], env=self.env, timeout=10)
        except (RuntimeError, subprocess.TimeoutExpired):
            return None

    def sink_muted(self):
        said = self.pactl("get-sink-mute", SINK) or ""
        return {"Mute: yes": True, "Mute: no": False}.get(said.strip())

    def streams_playing(self, binary=None):
        """Ids of the sink inputs that play, not corked, into our sink; with `binary`, only
        those of that program."""
        listing = self.pactl("list", "sink-inputs") or ""
        sink = next((line.split()[0] for line in (self.pactl("list", "short", "sinks") or "")
                     .splitlines() if line.split()[1:2] == [SINK]), None)
        playing = []
        for block in re.split(r"^Sink Input #", listing, flags=re.M)[1:]:
            number = block.split()[0]
            fields = dict(re.findall(r"^\s*([\w .-]+?)(?::| =) \"?([^\"\n]*)\"?$", block, re.M))
            if fields.get("Sink") == sink and fields.get("Corked") == "no" and \
                    binary in (None, fields.get("application.process.binary")):
                playing.append(number)
        return playing

    def close(self):
        for saver in self.savers:
            saver.stop()
        self.stop(self.started)
        self.started.clear()

    @staticmethod
    def stop(processes):
        for process in reversed(processes):
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)

    # --- What the screen shows --------------------------------------------------------------

    def screenshot(self):
        width, height = self.size
        data = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "rgb:-"],
                              env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=30).stdout
        if len(data) != width * height * 3:
            raise Failure(f"screenshot of {len(data)} bytes, not {width}x{height} RGB")
        return Screenshot(data, self.size)

    def save_screenshot(self, path):
        subprocess.run(["import", "-silent", "-window", "root", str(path)], env=self.env,
                       timeout=30, check=False)

    def wait_colours(self, expected, timeout, what):
        def probe():
            wrong = self.screenshot().mismatches(expected)
            return not wrong, {f"{x},{y}": seen for (x, y), seen in wrong.items()}
        wait_until(what, probe, timeout)

    def watch_pixel(self, point, enough, timeout):
        """The colours `point` shows, read as fast as the X server answers (a screenshot
        takes far longer than a flash of black), in order, one entry per change, until
        `enough(colours)` holds or `timeout` seconds have passed."""
        colours = []
        deadline = time.monotonic() + timeout
        with self.pixel_reader() as rgb:
            while not enough(colours) and time.monotonic() < deadline:
                seen = colour_name(rgb(*point))
                if not colours or colours[-1] != seen:
                    colours.append(seen)
        return colours

    @contextlib.contextmanager
    def pixel_reader(self):
        """A function (x, y) -> (r, g, b) that reads one pixel off the screen, fast."""
        sys.path.insert(0, str(ROOT / "bench"))
        import xprobe  # noqa: E402  (bench/ is on the path only now)
        display = xprobe.Display(self.env["DISPLAY"])
        try:
            yield display.rgb
        finally:
            display.close()

    def windows(self, name):
        result = subprocess.run(["xdotool", "search", "--name", f"^{name}$"], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                timeout=10)
        return result.stdout.split()

    def xdotool(self, *args):
        run(["xdotool", *args], env=self.env, timeout=10)


class Lab(ScreenLab):
    """ScreenLab with Wine: fresh prefixes, Wine's clips and settings, morvel.scr."""

    def __init__(self, work, display=None, sound=True, screen=SCREEN):
        super().__init__(work, display, sound, screen)
        self.user = None  # Wine runs as this ordinary user when set (see use_ordinary_user)
        self.prefix = self.work / "prefix"
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            # Message boxes are traced so the checks can read their text.
            "WINEDEBUG": "-all,+msgbox",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })

    def close(self):
        for saver in self.savers:
            saver.stop()
        self.stop_wine()
        super().close()

    @contextlib.contextmanager
    def two_screens(self, second=SECOND_SCREEN):
        """Runs the block on a screen of two monitors (see start_screen), then stops
        everything that ran there and goes back to the screen before."""
        # A Wine already running keeps the monitors of the screen it started on.
        self.stop_wine()
        with self.other_screen("two-screens", lambda: self.start_screen(second),
                               tidy=self.stop_wine):
            yield

    # --- Wine prefixes ------------------------------------------------------------------------

    def template(self, wine_defaults=False):
        """A prefix made once and copied for every test: making one takes many seconds.
        `wine_defaults`: Direct3D as Wine sets it up, not the GDI renderer below."""
        template = self.work / ("prefix-template-defaults" if wine_defaults else "prefix-template")
        stamp = template / ".morvel-wine-version"
        version = run(["wine", "--version"], env=self.env).strip() + " gdi-video fonts cjk"
        if stamp.exists() and stamp.read_text() == version:
            return template
        env = dict(self.env, WINEPREFIX=str(template))
        # Now and then a first boot fails inside Wine ("ShellExecuteEx failed: Internal
        # error") and the same command on a new prefix then succeeds: one more try.
        for attempt in (1, 2):
            shutil.rmtree(template, ignore_errors=True)
            try:
                run(["wineboot", "-i"], env=env, timeout=300)
                break
            except RuntimeError:
                if attempt == 2:
                    raise
                run(["wineserver", "-k"], env=env, check=False)
        # Wine's default video renderer draws MPEG pictures through OpenGL into an off-screen
        # window that never reaches a child window on Xvfb; without 3D the GDI renderer takes
        # over and the picture shows in the panel. AVI files are drawn through GDI anyway, and
        # so are the pictures of MP4 and the other files Media Foundation plays.
        if not wine_defaults:
            run(["wine", "reg", "add", "HKCU\\Software\\Wine\\Direct3D", "/v", "renderer",
                 "/d", "gdi", "/f"], env=env)
        # Wine has none of the fonts the forms name and lays their text out in wider ones;
        # the Liberation fonts (fonts-liberation) have the same metrics, so the captions fit
        # as on Windows.
        for face, replacement in (("Arial", "Liberation Sans"), ("Courier New", "Liberation Mono"),
                                  ("Times New Roman", "Liberation Serif")):
            run(["wine", "reg", "add", "HKCU\\Software\\Wine\\Fonts\\Replacements", "/v", face,
                 "/d", replacement, "/f"], env=env)
        # A face borrows the characters it lacks from the faces the registry links it to; Windows
        # ships such links, Wine does not. The forms' faces borrow Chinese from WenQuanYi
        # (fonts-wqy-microhei).
        for face in ("Arial", "Arial Bold", "Liberation Sans", "Liberation Sans Bold",
                     "MS Sans Serif", "Microsoft Sans Serif", "Tahoma"):
            run(["wine", "reg", "add", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
                 "FontLink\\SystemLink", "/v", face, "/t", "REG_MULTI_SZ", "/d",
                 "wqy-microhei.ttc,WenQuanYi Micro Hei", "/f"], env=env)
        run(["wineserver", "-w"], env=env, timeout=120)
        stamp.write_text(version)
        return template

    def fresh_prefix(self, clips=None, wine_defaults=False):
        self.stop_wine()
        shutil.rmtree(self.prefix, ignore_errors=True)
        run(["cp", "-a", str(self.template(wine_defaults)), str(self.prefix)])
        shutil.copy(SCR, self.prefix / "drive_c" / "morvel.scr")
        shutil.copytree(clips or self.make_clips(), self.prefix / "drive_c" / "clips")

    def stop_wine(self):
        if self.prefix.exists():
            for args in (["wineserver", "-k"], ["wineserver", "-w"]):
                run(self.wine_command(args), env=self.wine_env(), timeout=30, check=False)

    # --- Wine as an ordinary user ----------------------------------------------------------------

    def wine_command(self, command):
        """`command` as it must be started: through runuser when Wine runs as another user."""
        if self.user is None:
            return command
        # runuser sets the user's HOME from the password file; Wine links the profile's
        # Desktop and Documents to HOME, so it must be a folder that exists.
        return ["runuser", "-u", self.user, "--", "env", f"HOME={self.work / 'home'}", *command]

    def wine_env(self):
        if self.user is None:
            return self.env
        # Our sound server's socket sits in a folder only we may enter: this mode runs without
        # a sound device (see use_ordinary_user).
        return {k: v for k, v in self.env.items() if k not in ("XDG_RUNTIME_DIR", "PULSE_SERVER")}

    def use_ordinary_user(self):
        """From now on Wine runs as an ordinary user (root may write anywhere) in the fresh
        prefix, now owned by that user, whose C:\\windows belongs to root with mode 0755: the
        user can read it but not write into it. Wine finds its server through a file in the
        prefix that names the copied template's server; it goes, so Wine starts its own."""
        name = run([str(ROOT / "scripts" / "ordinary-user")]).strip()
        self.stop_wine()
        (self.prefix / "wineserver").unlink(missing_ok=True)
        run(["chown", "-R", f"{name}:", str(self.prefix)])
        windows = self.prefix / "drive_c" / "windows"
        os.chown(windows, 0, 0)
        windows.chmod(0o755)
        # The folders above the prefix must let the user through.
        for folder in self.prefix.parents:
            if folder.stat().st_mode & 0o005 != 0o005:
                raise RuntimeError(f"{folder} does not let other users through")
        home = self.work / "home"
        home.mkdir(exist_ok=True)
        os.chown(home, *self.ids(name))
        self.user = name
        # The template's profile is root's: Wine makes this user's on an update.
        run(self.wine_command(["wineboot", "-u"]), env=self.wine_env(), timeout=120)
        self.set_no_audio_driver()

    @staticmethod
    def ids(name):
        return (int(run(["id", "-u", name]).strip()), int(run(["id", "-g", name]).strip()))

    def use_root(self):
        if self.user is not None:
            self.stop_wine()
            self.user = None

    def windows_path(self, path):
        """The file in the prefix that a C: path names."""
        drive, _, rest = path.partition(":")
        if drive.upper() != "C":
            raise ValueError(f"not a C: path: {path}")
        return self.prefix / "drive_c" / Path(*[p for p in rest.split("\\") if p])

    @staticmethod
    def windows_path_of(path):
        """The path under which Wine sees a file of this machine (drive Z: is its root)."""
        return "Z:" + str(path).replace("/", "\\")

    def wine_output(self, *args):
        return run(self.wine_command(["wine", *args]), env=self.wine_env(), timeout=60)

    def set_no_audio_driver(self):
        # An empty driver list leaves Wine without any sound device.
        run(self.wine_command(["wine", "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v",
                               "Audio", "/d", "", "/f"]), env=self.wine_env())

    # --- Clips and settings --------------------------------------------------------------------

    def make_clips(self):
        """Solid-colour clips, so one pixel says which clip shows. Video-1 is a codec Wine's
        own AVI player decodes; it codes 4x4 blocks, so sizes are multiples of 4."""
        clips = self.clips
        if (clips / ".complete-7").exists():
            return clips
        clips.mkdir(parents=True, exist_ok=True)

        def video(name, colour, size, seconds, then=""):
            run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                 f"color=c={colour}:s={size}:d={seconds}:r=10{then}", "-c:v", "msvideo1",
                 str(clips / name)])

        video("red.avi", "red", "320x240", 3)
        video("blue.avi", "blue", "320x240", 3)
        video("lime.avi", "lime", "320x240", 120)
        video("magenta.avi", "magenta", "320x240", 120)
        video("yellow-own-size.avi", "yellow", "324x244", 120)
        video("lime-then-red.avi", "red", "320x240", 120, LIME_FIRST_SECONDS)
        for name, seconds in (("cyan.mpg", 120), ("magenta.mpg", 3)):
            run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                 f"color=c={name[:-4]}:s=320x240:d={seconds}:r=25", "-c:v", "mpeg1video", "-q:v",
                 "2", str(clips / name)])
        # What Media Foundation plays: H.264 pictures with AAC sound, as phones and cameras
        # make them.
        for name, colour, seconds in (("red.mp4", "red", 3), ("blue.mp4", "blue", 3),
                                      ("lime.mp4", "lime", 120), ("yellow.mov", "yellow", 120)):
            run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                 f"color=c={colour}:s=320x240:d={seconds}:r=25", "-f", "lavfi", "-i",
                 f"sine=frequency=440:duration={seconds}", "-c:v", "libx264", "-pix_fmt",
                 "yuv420p", "-c:a", "aac", "-shortest", str(clips / name)])
        make_wmv_clip(clips)
        make_tone_and_corrupt_clip(clips, "corrupt.avi")
        (clips / ".complete-7").write_text("")
        return clips

    def write_settings(self, videos, options=None, sound="Null"):
        """The saver's settings file, as the settings dialog writes it."""
        write_settings_file(self.prefix / "drive_c" / "windows" / "morvel4.ini", videos,
                            options, sound)

    def start_saver(self, *args, log="saver.log", scr="C:\\morvel.scr"):
        saver = Saver(self, list(args), self.work / log, scr)
        self.savers.append(saver)
        return saver
