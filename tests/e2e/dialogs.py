"""Driving the settings dialog (`/c`) with real clicks and keys, and reading the settings file
it writes: the positions of its controls, the messages it shows, and where the file lands
(for Wine: as root, or as an ordinary user who may not write into C:\\windows)."""

import subprocess

from winelab import Failure, run, wait_until

CLIP = "C:\\clips\\"
OPTIONS = "Morvel Screensaver Options"
TITLE = "Morvel Screensaver"
PICKER = "Choose a folder of videos to add to your list"
OPEN = 30   # seconds a window of the program may take to appear under Wine
SHUT = 15   # seconds it may take to go away

# Client sizes, and client positions of what is clicked (the centre of each control; an option
# button is clicked on its circle).
OPTIONS_SIZE = (642, 477)
ADD_VIDEO, ADD_FOLDER, CLEAR, REMOVE = (60, 168), (169, 168), (279, 168), (389, 168)
VIDEO_SOUND, PREVIEW = (499, 168), (598, 167)
MEDIUM, IN_SEQUENCE, SHUFFLE = (212, 250), (391, 236), (571, 236)
BLACK, SAME_VIDEO, DIFFERENT_VIDEOS, ACROSS_ALL = (18, 443), (98, 443), (210, 443), (342, 443)
SUPPORT, MORE_SOFTWARE, OK = (588, 389), (588, 414), (588, 465)
LIST_AREA = (3, 39, 620, 96)  # inside the list's border, left of its scroll bar
SOUND_SIZE = (338, 218)
MUTE_AT_START, UNMUTE_AT_END, RETURN = (19, 78), (19, 148), (288, 189)
PREVIEW_SIZE = (555, 406)
PLAY, PAUSE, STOP, PREVIEW_OK = (493, 107), (493, 147), (493, 187), (501, 371)

LIST_FULL = ("You have reached the maximum number of entries stored.  Please delete one if you "
             "wish to add another.")
OPENING_SITE = ("We will now display the software downloads site. Please be sure you are "
                "connected to the internet, then click OK to view more software downloads.")
NO_BROWSER = ("You cannot view the download site because your browser would not open. You can "
              "still view the download site by opening your web browser and pointing to ")

# --- Where the settings go -------------------------------------------------------------------

class Writable:
    """Wine as root: the settings file is C:\\windows\\morvel4.ini."""
    name = "Writable"

    def begin(self, lab):
        self.lab = lab

    def store(self):
        return self.lab.prefix / "drive_c" / "windows" / "morvel4.ini"

    def end(self):
        pass


class Unprivileged:
    """Wine as an ordinary user who may read C:\\windows but not write into it: the settings go
    to the user's own copy, Local AppData + "\\VirtualStore\\" + the Windows directory without
    its drive + "\\morvel4.ini", and the shared file is left as it was (or absent)."""
    name = "Unprivileged"

    def begin(self, lab):
        self.lab = lab
        lab.use_ordinary_user()
        said = lab.wine_output("cmd", "/c", "echo", "%LOCALAPPDATA%", "%WINDIR%").splitlines()
        local, windows = [line for line in said if line.startswith("C:")][-1].split()
        self.copy = lab.windows_path(f"{local}\\VirtualStore\\{windows[3:]}\\morvel4.ini")
        self.shared = lab.prefix / "drive_c" / "windows" / "morvel4.ini"
        self.shared_before = None

    def keep_shared(self):
        """Notes the shared file as it is now (after the test has laid one down)."""
        self.shared_before = self.shared.read_bytes() if self.shared.exists() else None

    def store(self):
        return self.copy

    def end(self):
        now = self.shared.read_bytes() if self.shared.exists() else None
        if now != self.shared_before:
            raise Failure(f"{self.shared} was changed; the user's copy is {self.copy}")


def read_ini(path):
    """{section: {key: value}} of a settings file, in file order."""
    sections, current = {}, None
    for line in path.read_text(encoding="ascii").splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            current[key] = value
    return sections


def expect_slots(mode, used, what):
    """The file's 500 slots: `used` ({number: path}), every other one "Null"."""
    path = mode.store()
    if not path.exists():
        raise Failure(f"{what}: no settings file at {path}")
    slots = read_ini(path).get("VidConfig", {})
    expected = {f"Name{n}": used.get(n, "Null") for n in range(1, 501)}
    if slots != expected:
        wrong = {k: slots.get(k) for k in expected if slots.get(k) != expected[k]}
        extra = sorted(set(slots) - set(expected))
        raise Failure(f"{what}: slots differ from {used}: {dict(list(wrong.items())[:6])}"
                      f"{' extra keys ' + str(extra) if extra else ''}")


# --- Driving the dialog ----------------------------------------------------------------------

class Settings:
    """One morvel.scr /c, and the windows it opens, driven with xdotool."""

    def __init__(self, lab):
        self.lab = lab
        self.process = lab.start_saver("/c", log="settings.log")
        self.window = self.find(OPTIONS)

    def find(self, title, timeout=OPEN):
        def shown():
            found = self.visible(title)
            return bool(found), found or f"no window; boxes: {self.boxes()}"
        return wait_until(f"the window {title!r}", shown, timeout)[0]

    def visible(self, title):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                                env=self.lab.env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True, timeout=10)
        return result.stdout.split()

    def gone(self, title):
        wait_until(f"the window {title!r} to close",
                   lambda: (not self.visible(title), "still shown"), SHUT)

    def boxes(self):
        return self.process.boxes()

    def geometry(self, window):
        """(x, y, width, height) of an X window on the screen."""
        shape = dict(line.split("=") for line in run(
            ["xdotool", "getwindowgeometry", "--shell", window], env=self.lab.env).split())
        return tuple(int(shape[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def click(self, window, client_size, point):
        """A click at a client position. Without a window manager Wine's X window is the
        client area; a bigger one would carry a frame, which these positions do not allow for."""
        left, top, width, height = self.geometry(window)
        if (width, height) != client_size:
            raise Failure(f"window {window} is {width}x{height}, "
                          f"not the client size {client_size}")
        self.lab.xdotool("mousemove", str(left + point[0]), str(top + point[1]), "click", "1")

    def press(self, point):
        self.click(self.window, OPTIONS_SIZE, point)

    def keys(self, window, text=None, key="Return"):
        # Wine takes keys from the X input focus; a slow typing rate keeps Shift with its key.
        self.lab.xdotool("windowfocus", window)
        if text is not None:
            self.lab.xdotool("type", "--delay", "80", text)
        self.lab.xdotool("key", key)

    def answer(self, title, text, starts=False):
        """Waits for the message box `title` saying `text` (or beginning with it) and presses
        Enter on it; returns the box's whole text."""
        def said():
            found = [b for b in self.boxes() if (b.startswith(text) if starts else b == text)]
            return bool(found and self.visible(title)), self.boxes()
        box = wait_until(f"the box {text[:50]!r}...", said, OPEN)
        found = [b for b in box if (b.startswith(text) if starts else b == text)][-1]
        self.keys(self.find(title))
        self.gone(title)
        return found

    def add_video(self, path):
        self.press(ADD_VIDEO)
        self.keys(self.find("Open"), path)
        self.gone("Open")

    def add_folder(self, path):
        self.press(ADD_FOLDER)
        self.keys(self.find(PICKER), path)
        self.gone(PICKER)

    def ok(self, expected_boxes=()):
        self.press(OK)
        code = self.process.wait_exit(SHUT, "the settings dialog to end after OK")
        unexpected = [b for b in self.boxes() if b not in expected_boxes]
        if code != 0 or unexpected:
            raise Failure(f"the dialog ended with code {code}; unexpected boxes: {unexpected}")


def wait_store(mode, check, what):
    """Polls until the settings file passes `check` (a function that raises Failure)."""
    def probe():
        try:
            check()
            return True, "ok"
        except (Failure, OSError) as error:
            return False, str(error)
    wait_until(what, probe, SHUT)


def list_dark_pixels(lab, settings):
    x, y, _, _ = settings.geometry(settings.window)
    left, top, width, height = LIST_AREA
    return lab.screenshot().dark_pixels(x + left, y + top, width, height)
