"""A small laboratory for running the native Linux program (build/native/morvel): the virtual
screen and silent sound server of winelab's ScreenLab, a fresh HOME for every test, clips
made with ffmpeg once, and the probes of the sound server.

The program's ALSA mixer reaches the sound server without any file of ours: the pulseaudio
package's /etc/alsa/conf.d/99-pulse.conf runs a hook of libasound2-plugins
(libasound_module_conf_pulse.so, "load if running") that, when a PulseAudio server answers at
PULSE_SERVER, loads /usr/share/alsa/pulse-alsa.conf, which makes ALSA's default PCM and
control the "pulse" plugins. The control's Master switch is then the mute of the server's
default sink, our null sink. Without an answering server ALSA's default stays the first
sound card, which this machine does not have."""

import contextlib
import json
import os
import re
import shutil
import subprocess
import time

from winelab import (LIME_FIRST_SECONDS, ROOT, SCREEN, SECOND_SCREEN, SINK, Program, ScreenLab,
                     make_tone_and_corrupt_clip, make_wmv_clip, run, settings_text)

PROGRAM = ROOT / "build" / "native" / "morvel"


class NativeSaver(Program):
    """One running morvel; its message boxes are traced on stderr (MORVEL_TRACE_BOXES)."""

    def __init__(self, lab, args, log, env=None, program=PROGRAM):
        self.lab = lab
        super().__init__(lab.command([str(program), *args]), env or lab.env, log)

    def boxes(self):
        """(caption, text) of every message box shown so far."""
        found = []
        for line in self.output().splitlines():
            if line.startswith("box: "):
                caption, _, text = line[len("box: "):].partition(": ")
                text = re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), text)
                found.append((caption, text))
        return found


# GTK finds monitors through RandR outputs only: neither Xvfb nor Xephyr's Xinerama gives it
# two. The X server with its dummy video driver has outputs DUMMY0 to DUMMY15.
DUMMY_XORG_CONF = """Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual {width} {height}
  EndSubSection
EndSection
"""


class LinuxLab(ScreenLab):
    def __init__(self, work, screen=SCREEN):
        super().__init__(work, screen=screen)
        self.home = self.work / "home"
        self.env.update({
            "HOME": str(self.home),
            "XDG_CONFIG_HOME": str(self.home / ".config"),
            "XDG_DATA_HOME": str(self.home / ".local" / "share"),
            "XDG_CACHE_HOME": str(self.home / ".cache"),
            "MORVEL_TRACE_BOXES": "1",
            # No session bus here: the file chooser keeps its settings in memory, and GTK
            # does not look for an accessibility bus.
            "GSETTINGS_BACKEND": "memory",
            "NO_AT_BRIDGE": "1",
        })
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)

    @property
    def settings_path(self):
        return self.home / ".config" / "morvel4.ini"

    def command(self, command):
        """`command` as the lab runs the program: as it is here."""
        return command

    def fresh_home(self):
        """An empty HOME: no settings file, no recent files, the sink not muted."""
        shutil.rmtree(self.home, ignore_errors=True)
        (self.home / ".config").mkdir(parents=True)
        self.pactl("set-sink-mute", SINK, "0")

    def write_settings(self, videos, options=None, sound="Null"):
        self.settings_path.write_bytes(settings_text(videos, options, sound))

    def start_saver(self, *args, log="saver.log", env=None, program=PROGRAM):
        saver = NativeSaver(self, list(args), self.work / log, env, program)
        self.savers.append(saver)
        return saver

    @contextlib.contextmanager
    def two_monitors(self, second=SECOND_SCREEN):
        """Runs the block on a screen of two monitors, the lab's size as the primary and
        `second` to its right, on a white desktop; then back to the screen before."""
        with self.other_screen("two-monitors", lambda: self.start_dummy_screen(second)):
            yield

    def start_dummy_screen(self, second):
        width, height = self.screen
        self.size = (width + second[0], max(height, second[1]))
        conf = self.work / "xorg-dummy.conf"
        conf.write_text(DUMMY_XORG_CONF.format(width=self.size[0], height=self.size[1]))
        self.env["DISPLAY"] = self.start_server(
            ["Xorg", "-config", str(conf), "-logfile", str(self.work / "xorg-dummy.log")],
            self.work / "xorg-dummy.out")
        mode = "second"  # a name of its own: the driver lists modes by size
        for args in (["--newmode", mode, "40", str(second[0]), str(second[0] + 40),
                      str(second[0] + 168), str(second[0] + 256), str(second[1]),
                      str(second[1] + 1), str(second[1] + 5), str(second[1] + 28)],
                     ["--addmode", "DUMMY1", mode],
                     ["--output", "DUMMY1", "--mode", mode, "--pos", f"{width}x0"],
                     # The output counts as connected once probed; GTK does not probe.
                     ["--query"]):
            run(["xrandr", *args], env=self.env)
        run(["xsetroot", "-solid", "white"], env=self.env)

    # --- Clips ---------------------------------------------------------------------------------

    def make_clips(self):
        """Solid-colour clips, so one pixel says which clip shows: H.264 in MP4, MPEG-1, WMV,
        a one-second WAV and a file of noise. The long ones outlast any test."""
        clips = self.clips
        if (clips / ".complete-4").exists():
            return clips
        clips.mkdir(parents=True, exist_ok=True)

        def video(name, colour, size, seconds, codec, then=""):
            run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                 f"color=c={colour}:s={size}:d={seconds}:r=10{then}", *codec, str(clips / name)])

        h264 = ["-c:v", "libx264", "-pix_fmt", "yuv420p"]
        video("red.mp4", "red", "320x240", 3, h264)
        video("blue.mp4", "blue", "320x240", 3, h264)
        video("lime.mp4", "lime", "320x240", 120, h264)
        video("yellow-own-size.mp4", "yellow", "324x244", 120, h264)
        video("lime-then-red.mp4", "red", "320x240", 120, h264, LIME_FIRST_SECONDS)
        mpeg1 = ["-c:v", "mpeg1video", "-q:v", "2", "-r", "25"]
        video("cyan.mpg", "cyan", "320x240", 120, mpeg1)
        video("magenta.mpg", "magenta", "320x240", 3, mpeg1)
        make_wmv_clip(clips)
        make_tone_and_corrupt_clip(clips, "corrupt.mp4")
        (clips / ".complete-4").write_text("")
        return clips

    def clip(self, name):
        return str(self.clips / name)


class PowerStandIn:
    """UPower on a private bus of its own (python3-dbusmock's template): the saver is given
    its address as the system bus, and the test switches between battery and mains."""

    def __init__(self, work, on_battery):
        self.socket = work / "system-bus"
        self.socket.unlink(missing_ok=True)
        self.address = f"unix:path={self.socket}"
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                     f"--address={self.address}"])
        deadline = time.monotonic() + 10
        while not self.socket.exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        self.mock = subprocess.Popen(
            ["/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "upower",
             "--parameters", json.dumps({"OnBattery": on_battery})],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for_service()

    def call(self, *args):
        return subprocess.run(["gdbus", "call", "--address", self.address, "--dest",
                               "org.freedesktop.UPower", "--object-path",
                               "/org/freedesktop/UPower", *args],
                              capture_output=True, text=True, timeout=10)

    def wait_for_service(self):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            answer = self.call("--method", "org.freedesktop.DBus.Properties.Get",
                               "org.freedesktop.UPower", "OnBattery")
            if answer.returncode == 0:
                return
            time.sleep(0.1)
        raise RuntimeError("the UPower stand-in did not come up")

    def set_on_battery(self, on_battery):
        value = "true" if on_battery else "false"
        answer = self.call("--method", "org.freedesktop.DBus.Mock.UpdateProperties",
                           "org.freedesktop.UPower", f"{{'OnBattery': <{value}>}}")
        if answer.returncode != 0:
            raise RuntimeError(f"UpdateProperties failed: {answer.stderr}")

    def close(self):
        for process in (self.mock, self.bus):
            process.terminate()
            process.wait(timeout=10)
