"""Both programs against what a careless hand or a broken disk leaves behind: every option at
an extreme or in garbage, a settings file that is junk, huge or a folder, and a video list
that names what is not a clip. Whatever the input, the program does not crash, does not hang
(a key still ends the saver at once) and shows its notice where it has one for the fault."""

import os
import random
import shutil
import time

import pytest

from programs import OPTIONS, TITLE
from winelab import Failure, settings_text, wait_until

CENTRE = {(512, 384): "lime"}
OPTION_KEYS = ("Picdis", "Picord", "Sound", "Repeat", "Starton", "Endon", "Width", "Height",
               "Monitors")
# A saver that is not hung goes well inside this after a key; an open that hung kept the
# window busy for 16 s.
QUICK_END = 5


def end_quickly(program, saver, box=None):
    """A key ends the saver, pressed on its message box `box` when one is up."""
    started = time.monotonic()
    if box:
        program.end_at_box(saver, box)
    else:
        program.end_with(saver, "key", "a")
    took = time.monotonic() - started
    if took > QUICK_END:
        raise Failure(f"the saver took {took:.1f} s to end after a key")


def options_window_opens(program, log, report=None):
    """The settings dialog comes up on the same file and stays up. Where the file cannot be
    written, a program may first say so in a message containing `report`, answered here."""
    dialog = program.start("/c", log=log)
    lab = program.lab

    def up():
        if report and lab.windows(TITLE) and program.box_texts(dialog, TITLE):
            lab.xdotool("windowfocus", lab.windows(TITLE)[-1], "key", "Return")
        return bool(lab.windows(OPTIONS)), dialog.boxes()
    wait_until("the options window", up, program.start_timeout)
    if not dialog.running() or any(report is None or report not in text
                                   for text in program.box_texts(dialog, TITLE)):
        raise Failure(f"the dialog ended or reported: {dialog.boxes()}")
    dialog.stop()


def everywhere(value):
    return {key: value for key in OPTION_KEYS}


@pytest.mark.parametrize("options", [
    pytest.param(everywhere(-5), id="negative"),
    pytest.param(everywhere(0), id="zero"),
    pytest.param(everywhere(2**31 - 1), id="largest"),
    pytest.param(everywhere("0x7FFFFFFF"), id="hexadecimal"),
    pytest.param(everywhere("abc"), id="letters"),
    pytest.param(everywhere("9" * 10000), id="ten-thousand-digits"),
    # Beyond what any window system draws: the panel takes the nearest size it can.
    pytest.param({"Picdis": 4, "Width": 65536, "Height": 65536}, id="custom-65536"),
    pytest.param({"Picdis": 4, "Width": 100000, "Height": -5}, id="custom-100000-by-minus-5"),
])
def test_every_option_at_an_extreme_or_in_garbage(program, options):
    program.write_settings(["lime"], options, sound="tone")
    # Whatever size is read, the clip is centred, so the centre shows it.
    saver = program.start(program.switch)
    program.lab.wait_colours(CENTRE, program.start_timeout, "the clip")
    program.keeps_running(saver, CENTRE, "the saver and its clip")
    end_quickly(program, saver)
    options_window_opens(program, "dialog.log")


def test_a_settings_file_that_is_junk_huge_or_a_folder(program):
    path = program.settings_path
    junk = random.Random(7).randbytes(65536)
    huge = settings_text([program.clip("lime")]) + b"[Junk]\r\n" + b"x" * 1000 * 50_000
    for what, make, shown, report in (
            ("junk", lambda: path.write_bytes(junk), None, None),
            ("a 50 MB file", lambda: path.write_bytes(huge), CENTRE, None),
            # Without a settings file the dialog writes a complete one first.
            ("a folder", lambda: path.unlink() or path.mkdir(), None, "Unable to write to")):
        make()
        saver = program.start(program.switch, log="saver.log")
        if shown:
            program.lab.wait_colours(shown, program.start_timeout, f"the clip with {what}")
        else:
            # Nothing listed: the notice that a file is missing, with no name in it.
            program.wait_notice(saver)
        program.expect_no_report(saver)
        end_quickly(program, saver)
        options_window_opens(program, "dialog.log", report)
    path.rmdir()


def test_a_list_naming_what_is_not_a_clip(program):
    folder, folder_listed = program.scratch("folder")
    folder.mkdir(parents=True)
    fifo, fifo_listed = program.scratch("pipe.avi")
    os.mkfifo(fifo)
    long_listed = program.scratch("x" * 5000 + ".avi")[1]
    for listed in (folder_listed, fifo_listed, long_listed):
        program.write_list([listed])
        saver = program.start(program.switch)
        # A folder or a pipe is no video file; a name that long names none.
        program.wait_notice(saver)
        end_quickly(program, saver)
    program.write_list([folder_listed, fifo_listed, long_listed, program.clip("lime")])
    options_window_opens(program, "dialog.log")


def test_a_clip_removed_while_it_plays_cannot_be_played_at_its_next_turn(program):
    doomed, doomed_listed = program.scratch("red" + os.path.splitext(program.clip("red"))[1])
    doomed.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(program.host_path(program.clip("red")), doomed)
    program.write_list([doomed_listed, program.clip("blue")], {"Picdis": 1})
    saver = program.start(program.switch)
    program.lab.wait_colours({(512, 384): "red"}, program.start_timeout, "the first clip")
    doomed.unlink()
    program.lab.wait_colours({(512, 384): "blue"}, 10, "the second clip")
    # The list was read at start: the file is gone only when its turn comes again.
    expected = (f"An error occurred trying to play the video file {doomed_listed}. The video "
                "file appears to be corrupt. Please verify that your video files are viewable.")
    wait_until("the report on the removed clip",
               lambda: (expected in program.box_texts(saver, "Error"), saver.boxes()), 15)
    end_quickly(program, saver, "Error")


@pytest.mark.only("windows")
def test_what_the_user_may_not_read(program):
    """As an ordinary user (root reads everything): a listed clip without read permission
    cannot be played, and a settings file without it lists nothing."""
    lab = program.lab
    lab.use_ordinary_user()
    locked, locked_listed = program.scratch("locked.avi")
    locked.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(program.host_path(program.clip("red")), locked)
    locked.chmod(0)
    # A first clip that fails is passed over in silence: the locked one comes second.
    program.write_list([program.clip("red"), locked_listed])
    saver = program.start(program.switch)
    expected = (f"An error occurred trying to play the video file {locked_listed}. The video "
                "file appears to be corrupt. Please verify that your video files are viewable.")
    wait_until("the report on the locked clip",
               lambda: (expected in program.box_texts(saver, "Error"), saver.boxes()),
               program.start_timeout)
    end_quickly(program, saver, "Error")
    program.settings_path.chmod(0)
    saver = program.start(program.switch)
    program.wait_notice(saver)
    end_quickly(program, saver)
    options_window_opens(program, "dialog.log", "Unable to")
