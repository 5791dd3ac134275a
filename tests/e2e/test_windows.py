"""What only morvel.scr under Wine has: its two media engines (MCI, and Media Foundation for
H.264 files) in one panel, the switches of the Windows screen-saver host, and the Win32
backend's own suite, which needs a display."""

import re
import subprocess

import pytest

from programs import MEDIUM
from winelab import ROOT, SECOND_SCREEN, Failure

pytestmark = pytest.mark.only("windows")


def test_mp4_and_mov_clips_play_at_medium_size_with_wine_defaults(program):
    """H.264 files, which MCI has no device for, play through Media Foundation, also where
    Direct3D is left as Wine sets it up."""
    program.lab.fresh_prefix(wine_defaults=True)
    program.play_in_sequence([("blue.mp4", "blue", "the MP4"), ("yellow.mov", "yellow", "the MOV")],
                             MEDIUM)


def test_an_mp4_clip_follows_an_avi_clip_and_an_mpeg_clip_follows_it(program):
    """MCI and Media Foundation take turns in one panel."""
    program.play_in_sequence([("red.avi", "red", "the AVI clip"),
                              ("blue.mp4", "blue", "the MP4 clip after it"),
                              ("cyan.mpg", "cyan", "the MPEG-1 clip after that")], MEDIUM)


def test_switches_without_a_mode_end_at_once(program):
    program.write_settings(["lime"])
    for args in (["/p", "1234"], ["/S:1234"], ["/"], []):
        saver = program.start(*args)
        code = saver.wait_exit(program.end_timeout, f"morvel.scr {' '.join(args)} to end by itself")
        if code != 0:
            raise Failure(f"morvel.scr {' '.join(args)} ended with code {code}")
        if program.saver_windows():
            raise Failure(f"morvel.scr {' '.join(args)} left a saver window")


def run_backend_suite(program, gtest_results, *args, env=None):
    """morvel_win32_tests.exe, in the fresh prefix on the lab's screen: its tests are counted
    with ours, and its lines shown when it fails."""
    lab = program.lab
    exe = ROOT / "build" / "mingw" / "morvel_win32_tests.exe"
    try:
        result = subprocess.run(["wine", str(exe), *args], env=dict(lab.env, **(env or {})),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                errors="replace", timeout=300)
        output, code = result.stdout, result.returncode
    except subprocess.TimeoutExpired as error:
        output, code = str(error.stdout or ""), -1
    finally:
        lab.stop_wine()
    # Its closing lines are left out: ours count its tests (see gtest_results).
    summary = re.compile(r"^\[(==========|  PASSED  |  FAILED  )\] (\d+ tests?|Running)")
    print("\n".join(line for line in output.splitlines()
                    if "wine32" not in line and not summary.match(line)
                    and "FAILED TEST" not in line))
    passed = re.findall(r"^\[       OK \] (\S+)", output, re.M)
    failed = re.findall(r"^\[  FAILED  \] (\S+) \(", output, re.M)
    if code != 0 and not failed:
        failed = [f"{exe.name} (exit code {code})"]
    gtest_results.append((passed, failed))
    if failed or not passed:
        raise Failure(f"the backend's tests failed: {failed or 'none ran'}")


def test_the_win32_backend_suite(program, gtest_results):
    run_backend_suite(program, gtest_results)


def test_the_win32_backend_monitor_tests_on_two_monitors(program, gtest_results):
    """The primary first, then the one to its right; one window over both."""
    width, height = program.lab.screen
    expected = f"0,0,{width},{height};{width},0,{SECOND_SCREEN[0]},{SECOND_SCREEN[1]}"
    with program.two_monitors():
        run_backend_suite(program, gtest_results, "--gtest_filter=Win32MonitorsTest.*",
                          env={"MORVEL_EXPECT_MONITORS": expected})
