"""The settings dialog of morvel.scr (`/c`) under Wine, driven with real clicks and keys
through the real file dialog and folder picker; the settings file is read afterwards.

Every workflow runs twice: as root with a writable C:\\windows ("writable"), and as an ordinary
user who may not write there ("unprivileged"), whose settings then live in the user's own copy
under Local AppData while C:\\windows\\morvel4.ini stays as it was."""

import shutil

import pytest

from dialogs import (ACROSS_ALL, CLEAR, CLIP, IN_SEQUENCE, LIST_FULL, MEDIUM, MORE_SOFTWARE,
                     MUTE_AT_START, NO_BROWSER, OPEN, OPENING_SITE, PAUSE, PLAY, PREVIEW,
                     PREVIEW_OK, PREVIEW_SIZE, REMOVE, RETURN, SHUFFLE, SHUT, SOUND_SIZE, STOP,
                     SUPPORT, TITLE, UNMUTE_AT_END, VIDEO_SOUND, Settings, Unprivileged, Writable,
                     expect_slots, list_dark_pixels, read_ini, wait_store)
from winelab import Failure, frame, run, wait_until

pytestmark = pytest.mark.only("windows")


@pytest.fixture(params=[Writable, Unprivileged], ids=["writable", "unprivileged"])
def mode(program, request):
    """Where the settings go; after a test that passed, the shared file is checked to be as
    the test left it before the dialog ran (see Unprivileged.keep_shared)."""
    mode = request.param()
    mode.begin(program.lab)
    if hasattr(mode, "keep_shared"):
        mode.keep_shared()
    yield mode
    report = getattr(request.node, "report_call", None)
    if report is not None and report.passed:
        mode.end()


def test_settings_list_editing(program, mode):
    lab = program.lab
    # Two of the clips again in a folder of their own, for Add Entire Folder.
    more = lab.prefix / "drive_c" / "more"
    more.mkdir()
    for name in ("red.avi", "cyan.mpg"):
        shutil.copy(lab.prefix / "drive_c" / "clips" / name, more / name)
    if lab.user:
        run(["chown", "-R", f"{lab.user}:", str(more)])

    settings = Settings(lab)
    wait_store(mode, lambda: expect_slots(mode, {}, "first start"), "the complete new file")

    settings.add_video(CLIP + "red.avi")
    settings.add_video(CLIP + "blue.avi")
    wait_store(mode, lambda: expect_slots(mode, {1: CLIP + "red.avi", 2: CLIP + "blue.avi"},
                                          "two added"), "two videos in the file")
    if read_ini(mode.store()).get("History", {}).get("Last Dir") != CLIP:
        raise Failure(f"Last Dir is not {CLIP}: {read_ini(mode.store()).get('History')}")

    settings.press(REMOVE)  # the first entry is the selected one
    wait_store(mode, lambda: expect_slots(mode, {2: CLIP + "blue.avi"}, "after Remove"),
               "slot 1 emptied")
    settings.add_video(CLIP + "lime.avi")
    wait_store(mode, lambda: expect_slots(mode, {1: CLIP + "lime.avi", 2: CLIP + "blue.avi"},
                                          "after the next add"), "slot 1 taken again")

    settings.add_folder("C:\\more")
    settings.answer("Information", "2 videos were added to your list.")
    expect_slots(mode, {1: CLIP + "lime.avi", 2: CLIP + "blue.avi", 3: "C:\\more\\cyan.mpg",
                        4: "C:\\more\\red.avi"}, "after Add Entire Folder")
    if list_dark_pixels(lab, settings) < 200:
        raise Failure("the list shows no entries with four videos in it")

    settings.press(CLEAR)
    wait_store(mode, lambda: expect_slots(mode, {}, "after Clear"), "all 500 slots emptied")
    wait_until("the list to be empty on screen",
               lambda: (list_dark_pixels(lab, settings) == 0, "dark pixels in the list"), 10)
    if settings.boxes() != ["2 videos were added to your list."]:
        raise Failure(f"unexpected boxes: {settings.boxes()}")


def test_settings_full_list_video_sound_support_and_more_software(program, mode):
    lab = program.lab
    # The shared file holds a full list; as the ordinary user the changes go to the user's copy.
    lab.write_settings([f"C:\\v\\{n}.avi" for n in range(1, 501)])
    if hasattr(mode, "keep_shared"):
        mode.keep_shared()
    settings = Settings(lab)
    settings.add_video(CLIP + "red.avi")
    settings.answer("Confirm", LIST_FULL)
    ini = read_ini(mode.store())
    if ini["VidConfig"].get("Name500") != "C:\\v\\500.avi" or \
            ini.get("History", {}).get("Last Dir") != CLIP:
        raise Failure(f"a full list must stay as it was and keep the folder: "
                      f"Name500={ini['VidConfig'].get('Name500')}, History={ini.get('History')}")

    settings.press(VIDEO_SOUND)
    sound = settings.find("Video Sound")
    settings.click(sound, SOUND_SIZE, MUTE_AT_START)
    settings.click(sound, SOUND_SIZE, UNMUTE_AT_END)
    settings.click(sound, SOUND_SIZE, RETURN)
    settings.gone("Video Sound")

    settings.press(SUPPORT)
    support = settings.answer(TITLE, "For help with Morvel Screensaver, e-mail", starts=True)
    if "@" not in support or "Start menu" not in support:
        raise Failure(f"the support message gives no address or help file: {support!r}")
    settings.press(MORE_SOFTWARE)
    settings.answer(TITLE, OPENING_SITE)
    # The shell may not find a browser under Wine: then the second message follows, soon.
    def browser_or_message():
        return any(b.startswith(NO_BROWSER) for b in settings.boxes()), settings.boxes()
    try:
        wait_until("the message that no browser opened", browser_or_message, 3)
    except Failure:
        pass  # a browser opened
    failed = [b for b in settings.boxes() if b.startswith(NO_BROWSER)]
    if failed:
        if not failed[0][len(NO_BROWSER):].startswith("http"):
            raise Failure(f"the browser message names no site: {failed[0]!r}")
        settings.answer(TITLE, NO_BROWSER, starts=True)
    settings.press(ACROSS_ALL)
    settings.press(SHUFFLE)
    settings.ok(expected_boxes=settings.boxes())  # each of them was checked above
    options = read_ini(mode.store())["Options"]
    if options.get("Starton") != "0" or options.get("Endon") != "1":
        raise Failure(f"the video sound choices were not stored: {options}")
    if options.get("Monitors") != "3" or options.get("Picord") != "3":
        raise Failure(f"one video across all monitors, shuffled, was not stored: {options}")


def test_settings_preview_options_and_the_play_of_the_list(program, mode):
    lab = program.lab
    settings = Settings(lab)
    settings.add_video(CLIP + "blue.mp4")
    settings.add_video(CLIP + "red.avi")

    settings.press(PREVIEW)
    preview = settings.find("Preview Video")
    settings.click(preview, PREVIEW_SIZE, PLAY)
    x, y, _, _ = settings.geometry(preview)
    panel = (x + 16, y + 8)  # the video's own size, at the top left
    points = {(panel[0] + 10, panel[1] + 10): "blue", (panel[0] + 160, panel[1] + 120): "blue"}
    lab.wait_colours(points, OPEN, "the MP4 clip in the preview panel")
    settings.click(preview, PREVIEW_SIZE, PAUSE)
    settings.click(preview, PREVIEW_SIZE, STOP)
    settings.click(preview, PREVIEW_SIZE, PREVIEW_OK)
    settings.gone("Preview Video")
    if settings.boxes():
        raise Failure(f"the preview reported: {settings.boxes()}")

    settings.press(MEDIUM)
    settings.press(IN_SEQUENCE)
    settings.ok()
    options = read_ini(mode.store())["Options"]
    if options.get("Picdis") != "2" or options.get("Picord") != "2":
        raise Failure(f"medium size in sequence was not stored: {options}")

    saver = lab.start_saver("/S", log="saver.log")
    lab.wait_colours(frame(256, 192, 512, 384, "blue"), OPEN, "the MP4 video at 512x384")
    lab.wait_colours(frame(256, 192, 512, 384, "red"), OPEN, "the AVI video after it")
    lab.xdotool("key", "a")
    saver.wait_exit(SHUT)
