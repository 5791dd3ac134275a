"""File names in any script under Wine's Western locale (code page 1252): Cyrillic and
Chinese clips added through the real open dialog and through Add Entire Folder from a folder
with a Cyrillic name, shown in the list and the label, saved in UTF-8, previewed and played
by the saver; a list that an earlier version wrote in the code page still plays. Wine runs
as an ordinary user whose Local AppData lies under a Cyrillic user name, so the settings go
to the user's copy there."""

import shutil
import subprocess

import pytest

from dialogs import (ADD_FOLDER, ADD_VIDEO, IN_SEQUENCE, LIST_AREA, MEDIUM, OPEN, PICKER, PLAY,
                     PREVIEW, PREVIEW_OK, PREVIEW_SIZE, SHUT, Settings)
from winelab import Failure, frame, run, wait_until

pytestmark = pytest.mark.only("windows")

UNICODE = "C:\\unicode\\"
FOLDER = "C:\\клипы"
LOCAL = "C:\\users\\Пользователь\\AppData\\Local"
SHELL_FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"
ROW = 14  # the list's row height
ADDED = "3 videos were added to your list."


def make_clip(path, colour):
    run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         f"color=c={colour}:s=320x240:d=2:r=10", "-c:v", "msvideo1", str(path)])


def lay_down_clips(lab):
    """C:\\unicode holds a clip named in the code page and two named beyond it; C:\\клипы
    the two names again and an MP4, for Media Foundation."""
    drive = lab.prefix / "drive_c"
    (drive / "unicode").mkdir()
    (drive / "клипы").mkdir()
    for path, colour in ((drive / "unicode" / "café.avi", "yellow"),
                         (drive / "unicode" / "видео.avi", "red"),
                         (drive / "unicode" / "视频.avi", "lime"),
                         (drive / "клипы" / "видео.avi", "magenta"),
                         (drive / "клипы" / "视频.avi", "cyan")):
        make_clip(path, colour)
    shutil.copy(drive / "clips" / "blue.mp4", drive / "клипы" / "电影.mp4")


def enter_path(settings, title, path):
    """Pastes `path` into the file name of the dialog `title` and presses Enter. Typed with
    xdotool, each character the keyboard lacks is bound to a spare key only for the moment it
    is pressed, and Wine misses some of them when it is slow to look."""
    lab = settings.lab
    clipboard = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard"],
                                 stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, env=lab.env, text=True)
    try:
        clipboard.stdin.write(path)
        clipboard.stdin.close()
        wait_until("the path on the clipboard", lambda: (pasted(lab) == path, pasted(lab)), SHUT)
        lab.xdotool("windowfocus", settings.find(title))
        lab.xdotool("key", "ctrl+v", "Return")
        settings.gone(title)
    finally:
        clipboard.kill()
        clipboard.wait()


def pasted(lab):
    return subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=lab.env,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          timeout=10).stdout


def read_lines(path):
    """The settings file's lines as bytes, and {key: value} of [VidConfig] in UTF-8."""
    lines = path.read_bytes().split(b"\r\n")
    slots, section = {}, None
    for line in lines:
        if line.startswith(b"["):
            section = line
        elif section == b"[VidConfig]" and b"=" in line:
            key, value = line.split(b"=", 1)
            slots[key.decode("ascii")] = value
    return lines, slots


def test_names_in_any_script_are_added_saved_previewed_and_played(program):
    lab = program.lab
    lay_down_clips(lab)
    # An earlier version wrote the shared file in the code page.
    lab.write_settings([])
    shared = lab.prefix / "drive_c" / "windows" / "morvel4.ini"
    shared.write_bytes(shared.read_bytes().replace(
        b"Name1=Null", "Name1=C:\\unicode\\café.avi".encode("cp1252"), 1))
    before = shared.read_bytes()

    lab.use_ordinary_user()
    local = lab.windows_path(LOCAL)
    local.mkdir(parents=True)
    run(["chown", "-R", f"{lab.user}:", str(lab.windows_path("C:\\users\\Пользователь"))])
    lab.wine_output("reg", "add", SHELL_FOLDERS, "/v", "Local AppData", "/t", "REG_EXPAND_SZ",
                    "/d", LOCAL, "/f")
    store = local / "VirtualStore" / "windows" / "morvel4.ini"

    settings = Settings(lab)
    for name in ("видео.avi", "视频.avi"):
        settings.press(ADD_VIDEO)
        enter_path(settings, "Open", UNICODE + name)
    settings.press(ADD_FOLDER)
    enter_path(settings, PICKER, FOLDER)
    settings.answer("Information", ADDED)

    expected = ["C:\\unicode\\café.avi", UNICODE + "видео.avi", UNICODE + "视频.avi",
                FOLDER + "\\видео.avi", FOLDER + "\\电影.mp4", FOLDER + "\\视频.avi"]

    def saved():
        if not store.exists():
            return False, f"no file at {store}"
        lines, slots = read_lines(store)
        # The line of the earlier version keeps its bytes; every other one is UTF-8.
        if slots.get("Name1") != expected[0].encode("cp1252"):
            return False, f"Name1 is {slots.get('Name1')!r}"
        try:
            values = [slots[f"Name{n}"].decode("utf-8") for n in range(2, 501)]
            text = b"\r\n".join(line for line in lines if not line.startswith(b"Name1="))
            last_dir = [line for line in text.decode("utf-8").split("\r\n")
                        if line.startswith("Last Dir=")]
        except (KeyError, UnicodeDecodeError) as error:
            return False, f"not UTF-8 or not complete: {error}"
        wanted = expected[1:] + ["Null"] * (499 - len(expected[1:]))
        return values == wanted and last_dir == [f"Last Dir={UNICODE}"], (values[:6], last_dir)
    wait_until("the list in UTF-8 in the user's copy", saved, SHUT)
    if shared.read_bytes() != before:
        raise Failure("the shared file was changed")

    # The Chinese clip, selected in the list, names itself in the label and plays in the
    # preview.
    x, y, _, _ = settings.geometry(settings.window)
    lab.xdotool("mousemove", str(x + LIST_AREA[0] + 60), str(y + 39 + 2 * ROW + ROW // 2),
                "click", "1")
    settings.press(PREVIEW)
    preview = settings.find("Preview Video")
    settings.click(preview, PREVIEW_SIZE, PLAY)
    px, py, _, _ = settings.geometry(preview)
    lab.wait_colours({(px + 26, py + 18): "lime", (px + 170, py + 130): "lime"}, OPEN,
                     "the Chinese-named clip in the preview panel")
    settings.click(preview, PREVIEW_SIZE, PREVIEW_OK)
    settings.gone("Preview Video")

    settings.press(MEDIUM)
    settings.press(IN_SEQUENCE)
    settings.ok(expected_boxes=[ADDED])

    saver = lab.start_saver("/S", log="saver.log")
    for colour, what in (("yellow", "café.avi, written in the code page"),
                         ("red", "видео.avi"), ("lime", "视频.avi"),
                         ("magenta", "клипы\\видео.avi"), ("blue", "клипы\\电影.mp4"),
                         ("cyan", "клипы\\视频.avi")):
        lab.wait_colours(frame(256, 192, 512, 384, colour), OPEN, f"{what} at medium size")
    if saver.boxes():
        raise Failure(f"the saver reported: {saver.boxes()}")
    lab.xdotool("key", "a")
    if saver.wait_exit(SHUT) != 0:
        raise Failure("the saver ended with an error")
