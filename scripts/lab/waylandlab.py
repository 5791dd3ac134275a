"""The native program on Wayland: a headless sway (wlroots, software rendering) with the lab's
screen as its one output, HEADLESS-1, and a second output HEADLESS-2 to its right while
two_monitors() runs; grim reads the outputs back, wtype types, and the lab's own virtual
pointer (tests/e2e/wlpointer, built here on first use) moves and clicks, for the headless
seat has no pointer. sway refuses root: the compositor, the sound server and the saver run as
the lab's ordinary user (scripts/ordinary-user), HOME and the runtime folder theirs.

The probes keep the X lab's shape, so the shared tests read the same: xdotool()'s gestures
are sent through wtype and the pointer, and windows() answers from what Wayland lets a
client see: the compositor's toplevels by title, and for surfaces no client may list (the
saver's layer surfaces and the boxes over them) the saver's own word."""

import contextlib
import hashlib
import json
import os
import pwd
import re
import shutil
import subprocess
from pathlib import Path

from linuxlab import PROGRAM, LinuxLab
from winelab import ROOT, SCREEN, SECOND_SCREEN, Failure, Screenshot, run, wait_until

SAVER_TITLE = "Frmmorvel33"
POINTER_SOURCE = ROOT / "tests" / "e2e" / "wlpointer"
# The compositor's configuration: no X server, a white desktop so that any output left
# uncovered shows, no key bindings of its own.
SWAY_CONFIG = """xwayland disable
output * bg #ffffff solid_color
output HEADLESS-1 resolution {width}x{height} position 0 0
output HEADLESS-2 resolution {second} position {width} 0
"""


def read_ppm(data):
    """(width, height, RGB bytes) of a binary PPM."""
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        raise Failure(f"grim gave no 8-bit PPM: {data[:20]!r}")
    return int(header[1]), int(header[2]), data[header.end():]


def ordinary_user():
    """(uid, gid) of the lab's ordinary user."""
    entry = pwd.getpwnam(run([str(ROOT / "scripts" / "ordinary-user")]).strip())
    return entry.pw_uid, entry.pw_gid


def reaches(user, path):
    """Whether `user` may read `path`: a tree under a folder closed to others is not."""
    return subprocess.run(["setpriv", f"--reuid={user[0]}", f"--regid={user[1]}",
                           "--init-groups", "test", "-r", str(path)]).returncode == 0


def lab_folder():
    """build/e2e-wayland, or a folder in /tmp of this tree's own where the user cannot
    reach the tree or where the compositor's sockets would pass the length a socket's
    path may have (108 bytes)."""
    folder = ROOT / "build" / "e2e-wayland"
    if reaches(ordinary_user(), ROOT / "build") and \
            len(str(folder / "run" / "sway-ipc.4294967295.4294967295.sock")) < 108:
        return folder
    return Path("/tmp") / f"morvel-e2e-wayland-{hashlib.sha1(bytes(ROOT)).hexdigest()[:8]}"


class WaylandLab(LinuxLab):
    def __init__(self, work, screen=SCREEN):
        self.user = ordinary_user()
        self.pointer = None
        self.compositor = []  # sway and the pointer
        super().__init__(work, screen=screen)
        # The X lab's clips and the built program, where the user may read them; else copies.
        self.clips = ROOT / "build" / "e2e-linux" / "clips"
        self.program = PROGRAM
        if not reaches(self.user, PROGRAM):
            self.clips = self.work / "clips"
            self.program = self.work / "morvel"
            shutil.copy(PROGRAM, self.program)

    def as_user(self, command):
        """`command` as the lab's ordinary user."""
        return ["setpriv", f"--reuid={self.user[0]}", f"--regid={self.user[1]}",
                "--init-groups", *map(str, command)]

    def command(self, command):
        return self.as_user(command)

    def own(self, path):
        """`path` and all below it the user's."""
        run(["chown", "-R", f"{self.user[0]}:{self.user[1]}", str(path)])

    # --- The compositor, the sound server and the pointer ---------------------------------

    def start_screen(self, second=None):
        """sway with the lab's screen as HEADLESS-1; with `second`, HEADLESS-2 of that size
        right of it. An output of the headless backend cannot be turned off: the compositor
        starts anew for each arrangement."""
        runtime = self.work / "run"
        self.own(runtime)
        self.env.pop("DISPLAY", None)
        # No GDK_BACKEND: the program finds the layer shell by itself, as it does when an
        # idle daemon starts it.
        self.env.pop("GDK_BACKEND", None)
        self.env.update({"WAYLAND_DISPLAY": "wayland-1",
                         "XDG_CURRENT_DESKTOP": "sway"})
        width, height = self.screen
        config = self.work / "sway.conf"
        config.write_text(SWAY_CONFIG.format(width=width, height=height, second="{}x{}".format(
            *(second or SECOND_SCREEN))))
        for stale in [*runtime.glob("sway-ipc.*"), *runtime.glob("wayland-1*")]:
            stale.unlink()
        before = len(self.started)
        self.spawn(self.as_user(["sway", "-c", config]), self.work / "sway.log",
                   env=dict(self.env, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                            WLR_LIBINPUT_NO_DEVICES="1"))

        def up():
            sockets = list(runtime.glob("sway-ipc.*.sock"))
            return bool(sockets) and (runtime / "wayland-1").exists(), "no sockets yet"
        wait_until("sway", up, 20)
        self.env["SWAYSOCK"] = str(next(runtime.glob("sway-ipc.*.sock")))
        outputs = ["HEADLESS-1"]
        if second:
            self.swaymsg("create_output")
            outputs.append("HEADLESS-2")
        wait_until("sway's outputs", lambda: (self.outputs() == outputs, self.outputs()), 10)
        self.size = (width + second[0], max(height, second[1])) if second else self.screen
        self.start_pointer()
        self.compositor = self.started[before:]

    def restart_screen(self, second=None):
        for saver in self.savers:
            saver.stop()
        self.stop(self.compositor)
        self.started = [p for p in self.started if p not in self.compositor]
        self.start_screen(second)

    def start_sound(self):
        # As the user, so that the saver may reach it; our pactl, as root, reaches it too.
        pulse_home = self.work / "pulse-home"
        pulse_home.mkdir(exist_ok=True)
        self.own(pulse_home)
        self.spawn(self.as_user(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                                 "--use-pid-file=no", "--disable-shm=yes",
                                 "--load=module-null-sink sink_name=silent",
                                 "--load=module-native-protocol-unix auth-anonymous=1"]),
                   self.work / "pulseaudio.log", env=dict(self.env, HOME=str(pulse_home)))
        wait_until("the sound server", lambda: (self.pactl("info") is not None, "no answer"), 20)

    def swaymsg(self, *args):
        return run(self.as_user(["swaymsg", *args]), env=self.env, timeout=10)

    def outputs(self):
        """The names of the outputs in use."""
        try:
            listed = json.loads(self.swaymsg("-r", "-t", "get_outputs"))
        except (RuntimeError, ValueError):
            return []
        return [output["name"] for output in listed if output.get("active")]

    def start_pointer(self):
        program = self.work / "wlpointer"
        sources = [POINTER_SOURCE / "wlpointer.c", POINTER_SOURCE / "virtual-pointer.xml"]
        if not program.exists() or any(s.stat().st_mtime > program.stat().st_mtime
                                       for s in sources):
            made = self.work / "wlpointer-build"
            made.mkdir(exist_ok=True)
            xml = str(sources[1])
            run(["wayland-scanner", "client-header", xml, str(made / "virtual-pointer-client.h")])
            run(["wayland-scanner", "private-code", xml, str(made / "virtual-pointer.c")])
            run(["cc", "-std=c11", "-Wall", "-Wextra", "-Werror", "-D_POSIX_C_SOURCE=200809L",
                 f"-I{made}", "-o", str(program), str(sources[0]), str(made / "virtual-pointer.c"),
                 "-lwayland-client"])
        self.pointer = subprocess.Popen(self.as_user([program]), env=self.env, text=True,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        start_new_session=True)
        self.started.append(self.pointer)
        if self.pointer.stdout.readline().strip() != "ready":
            raise RuntimeError("the lab's virtual pointer did not start")

    def point(self, line):
        self.pointer.stdin.write(line + "\n")
        self.pointer.stdin.flush()
        answer = self.pointer.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError(f"the virtual pointer answered {answer!r} to {line!r}")

    # --- HOME, the settings and the saver -----------------------------------------------------

    def fresh_home(self):
        super().fresh_home()
        self.own(self.home)

    def write_settings(self, videos, options=None, sound="Null"):
        super().write_settings(videos, options, sound)
        os.chown(self.settings_path, *self.user)

    @contextlib.contextmanager
    def two_monitors(self, second=SECOND_SCREEN):
        """HEADLESS-2 of `second`'s size right of the first output for the block."""
        self.restart_screen(second)
        try:
            yield
        except Exception:
            (self.work / "failures").mkdir(exist_ok=True)
            self.save_screenshot(self.work / "failures" / "two-monitors.png")
            raise
        finally:
            self.restart_screen()

    # --- What the outputs show, and input -------------------------------------------------------

    def grim(self, *args):
        # As root, which may use the user's socket: one program less to start for each of
        # the many pixels a watch reads.
        return subprocess.run(["grim", *args], env=self.env, timeout=30,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout

    def screenshot(self):
        """Every output where it lies in the layout; where none lies, black."""
        width, height, data = read_ppm(self.grim("-t", "ppm", "-"))
        if (width, height) != self.size:
            raise Failure(f"a screenshot of {width}x{height}, not {self.size}")
        return Screenshot(data, self.size)

    def output_screenshot(self, output):
        """One output's pixels, at its own size."""
        width, height, data = read_ppm(self.grim("-o", output, "-t", "ppm", "-"))
        return Screenshot(data, (width, height))

    def save_screenshot(self, path):
        png = self.grim("-")
        if png:
            with open(path, "wb") as file:
                file.write(png)

    @contextlib.contextmanager
    def pixel_reader(self):
        """grim's one-pixel captures: some ten a second."""
        yield lambda x, y: self.pixel((x, y))

    def pixel(self, point):
        _, _, data = read_ppm(self.grim("-g", f"{point[0]},{point[1]} 1x1", "-t", "ppm", "-"))
        return tuple(data[:3])

    def windows(self, name):
        """Toplevels by title; for the saver, one entry while it runs (its layer surfaces are
        no client's to list); for a box, one for each the running saver said it showed."""
        running = [saver for saver in self.savers if saver.running()]
        if name == SAVER_TITLE:
            return [str(saver.process.pid) for saver in running]
        tree = json.loads(self.swaymsg("-r", "-t", "get_tree"))
        found, nodes = [], [tree]
        while nodes:
            node = nodes.pop()
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
            if node.get("name") == name and node.get("type") in ("con", "floating_con"):
                found.append(str(node["id"]))
        boxes = [f"{saver.process.pid}-box-{n}" for saver in running
                 for n, (caption, _) in enumerate(saver.boxes()) if caption == name]
        return found + boxes

    def xdotool(self, *args):
        """The xdotool gestures the tests make: key, mousemove, click; windowfocus is the
        compositor's business (the top layer surface has the keyboard)."""
        args = list(args)
        while args:
            verb = args.pop(0)
            if verb == "key":
                run(self.as_user(["wtype", "-s", "200", "-k", args.pop(0)]), env=self.env,
                    timeout=10)
            elif verb == "mousemove":
                x, y = args.pop(0), args.pop(0)
                self.point(f"move {x} {y} {self.size[0]} {self.size[1]}")
            elif verb == "click":
                self.point(f"click {args.pop(0)}")
            elif verb == "windowfocus":
                args.pop(0)
            else:
                raise Failure(f"the Wayland lab cannot send xdotool {verb} {args}")

    def close(self):
        if self.pointer is not None and self.pointer.poll() is None:
            self.pointer.stdin.close()
        super().close()
