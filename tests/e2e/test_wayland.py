"""What only the program on Wayland has: a layer surface of its own on each output, each at its
output's size, and the idle daemon of wlroots' desktops starting the saver after its timeout
and ending it on resume."""

import os
import time

import pytest

from winelab import SCREEN, SECOND_SCREEN, Failure, Program, wait_until

pytestmark = pytest.mark.only("wayland")

IDLE_SECONDS = 3


def corners(size, colour):
    width, height = size
    return {(x, y): colour for x in (0, width // 2, width - 1)
            for y in (0, height // 2, height - 1)}


def test_each_output_has_a_surface_of_its_own_at_its_size(program):
    """Large on two outputs of different sizes, read back one output at a time: the clip fills
    the first to its corners, the second is black to its corners."""
    lab = program.lab
    with program.two_monitors():
        saver = program.showing(["lime"], (0, 0, *SCREEN), "lime", {"Picdis": 1})
        for output, size, colour in (("HEADLESS-1", SCREEN, "lime"),
                                     ("HEADLESS-2", SECOND_SCREEN, "black")):
            def covered():
                shot = lab.output_screenshot(output)
                wrong = shot.mismatches(corners(size, colour))
                return (shot.width, shot.height) == size and not wrong, \
                    ((shot.width, shot.height), wrong)
            wait_until(f"{colour} to the corners of {output}", covered, program.start_timeout)
        program.end_with(saver, "key", "a")


def test_the_idle_daemon_starts_the_saver_and_ends_it_on_resume(program):
    """swayidle runs the saver after IDLE_SECONDS without input and its resume command, on the
    pointer's first move, ends it; the move alone would not."""
    lab = program.lab
    program.write_settings(["lime"], {"Picdis": 1})
    pid_file = lab.home / "saver.pid"
    # swayidle runs each command through sh: the shell becomes the saver.
    idle = Program(lab.command(["swayidle", "timeout", str(IDLE_SECONDS),
                                f"echo $$ > {pid_file}; exec {lab.program} /s",
                                "resume", f"kill $(cat {pid_file})"]),
                   lab.env, lab.work / "swayidle.log")
    lab.savers.append(idle)
    asked = time.monotonic()
    lab.wait_colours({(512, 384): "lime"}, IDLE_SECONDS + program.start_timeout,
                     "the saver after the idle timeout")
    if time.monotonic() - asked < IDLE_SECONDS - 0.5:
        raise Failure("the saver came before the idle timeout")
    lab.xdotool("mousemove", "100", "100")
    lab.wait_colours({(512, 384): "white"}, program.end_timeout, "the desktop after resume")
    wait_until("the saver's process to end", lambda: (not os.path.exists(
        f"/proc/{pid_file.read_text().strip()}"), "still running"), program.end_timeout)
    if "box: " in idle.output():
        raise Failure(f"the saver reported: {idle.output()}")
