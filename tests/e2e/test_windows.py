"""What only morvel.scr under Wine has: its two media engines (MCI, and Media Foundation for
H.264 files) in one panel, the switches of the Windows screen-saver host, and the Win32
backend's own suite, which needs a display."""

import array
import re
import shutil
import subprocess
import time

import pytest

from dialogs import OPEN, OPTIONS_SIZE, PLAY, PREVIEW, PREVIEW_OK, PREVIEW_SIZE, Settings
from programs import MEDIUM
from winelab import ROOT, SCREEN, SECOND_SCREEN, SINK, Failure, run, wait_until

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


def test_without_media_foundation_an_mp4_is_reported_in_the_saver_and_the_preview(program,
                                                                                 monkeypatch):
    """Windows N editions and Server Core have no Media Foundation: an MP4 is a file no device
    can play, reported as such, never a crash. The AVI before it plays as ever."""
    lab = program.lab
    monkeypatch.setitem(lab.env, "WINEDLLOVERRIDES",
                        lab.env["WINEDLLOVERRIDES"] + ";mf,mfplat=d")
    saver = program.showing(["red", "blue.mp4"], MEDIUM, "red")
    expected = (f"An error occurred trying to play the video file {program.clip('blue.mp4')}. "
                "The video file appears to be corrupt. Please verify that your video files are "
                "viewable.")
    wait_until("the report of the MP4", lambda: (
        expected in saver.boxes() and bool(lab.windows("Error")), saver.boxes()),
        program.start_timeout)
    if not saver.running() or "c06d007e" in saver.output().lower():
        raise Failure(f"the saver crashed: {saver.output()[-2000:]}")
    program.end_at_box(saver, "Error")

    program.write_settings(["blue.mp4"])
    settings = Settings(lab)
    settings.click(settings.window, OPTIONS_SIZE, (100, 46))  # the list's first entry
    settings.press(PREVIEW)
    preview = settings.find("Preview Video")
    settings.click(preview, PREVIEW_SIZE, PLAY)
    # Two boxes, one after the other, under the same caption.
    for number, start in enumerate(("ErrorCode: ", "An error occurred trying to play the video")):
        box = wait_until(f"the preview's box {number + 1}", lambda: (
            [b for b in settings.boxes() if b.startswith(start)], settings.boxes()), OPEN)[0]
        if number == 0 and "video components (Media Foundation) are missing" not in box:
            raise Failure(f"the preview's first box does not say why: {box!r}")
        settings.keys(settings.find("Error"))
    settings.gone("Error")
    settings.click(preview, PREVIEW_SIZE, PREVIEW_OK)
    settings.gone("Preview Video")
    settings.ok(expected_boxes=settings.boxes())


def loudest_sample(recording):
    samples = array.array("h", recording[:len(recording) // 2 * 2])
    return max((abs(sample) for sample in samples), default=0)


TONE = ["-f", "lavfi", "-i", "sine=frequency=440:duration=30"]
MAGENTA = ["-f", "lavfi", "-i", "color=c=magenta:s=320x240:d=30:r=10"]
PCM = ["-c:a", "pcm_s16le", "-ar", "22050", "-ac", "1"]
SOUNDING = {  # a clip that sounds for 30 s: ffmpeg's options for it
    "magenta-tone.avi": [*MAGENTA, *TONE, "-c:v", "msvideo1", *PCM],
    "long-tone.wav": [*TONE, *PCM],
    "magenta-tone.mp4": [*MAGENTA, *TONE, "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a",
                         "aac"],
}


@pytest.mark.parametrize("sounding", sorted(SOUNDING))
def test_only_the_primary_monitors_video_is_heard(program, sounding):
    """With a video on each monitor, the others' are silenced, and the primary's is still
    heard when the same kind of file plays on both. Wine's AVI and wave devices take
    "audio off" and play on aloud, so the engine must find another way."""
    lab = program.lab
    clip = lab.clips / sounding
    if not clip.exists():
        run(["ffmpeg", "-loglevel", "error", "-y", *SOUNDING[sounding], str(clip)])
    shutil.copy(clip, lab.prefix / "drive_c" / "clips" / sounding)
    on_primary = (MEDIUM[0] + MEDIUM[2] // 2, MEDIUM[1] + MEDIUM[3] // 2)
    on_second = (SCREEN[0] + SECOND_SCREEN[0] // 2, SECOND_SCREEN[1] // 2)
    picture = "magenta" if sounding.startswith("magenta") else None
    with program.two_monitors():
        for primary, second, heard in ((sounding, "lime", True), ("lime", sounding, False),
                                       (sounding, sounding, True)):
            program.write_settings([primary, second], {"Picdis": 2, "Monitors": 2})
            shown = {point: picture if clip == sounding else "lime"
                     for point, clip in ((on_primary, primary), (on_second, second))}
            recorder = subprocess.Popen(
                ["parec", "-d", f"{SINK}.monitor", "--raw", "--format=s16le", "--rate=22050",
                 "--channels=1", "--latency-msec=50"], env=lab.env, stdout=subprocess.PIPE)
            try:
                saver = program.start(program.switch)
                lab.wait_colours({point: colour for point, colour in shown.items() if colour},
                                 program.start_timeout, f"{primary} and {second} playing")
                time.sleep(2)
            finally:
                recorder.terminate()
                recording = recorder.communicate(timeout=10)[0]
            program.expect_no_report(saver)
            program.end_with(saver, "key", "a")
            loudest = loudest_sample(recording)
            if heard and loudest < 1000:
                raise Failure(f"{primary} on the primary monitor, {second} on the second: "
                              f"nothing heard ({loudest})")
            if not heard and loudest > 100:
                raise Failure(f"{second} on the second monitor was heard: {loudest}")


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


def test_the_win32_backend_direct3d_tests_on_wines_opengl(program, gtest_results):
    """The Direct3D renderer's and the Media Engine's tests, Wine's OpenGL renderer on for them
    alone: a device lost in the middle of play hands the saver's window to GDI."""
    program.lab.wine_output(
        "reg", "add", "HKCU\\Software\\Wine\\AppDefaults\\morvel_win32_tests.exe\\Direct3D",
        "/v", "renderer", "/d", "gl", "/f")
    run_backend_suite(program, gtest_results, "--gtest_filter=D3dWindowTest.*:MeEngineTest.*")


def test_the_win32_backend_monitor_tests_on_two_monitors(program, gtest_results):
    """The primary first, then the one to its right; one window over both."""
    width, height = program.lab.screen
    expected = f"0,0,{width},{height};{width},0,{SECOND_SCREEN[0]},{SECOND_SCREEN[1]}"
    with program.two_monitors():
        run_backend_suite(program, gtest_results, "--gtest_filter=Win32MonitorsTest.*",
                          env={"MORVEL_EXPECT_MONITORS": expected})


def test_at_144_dpi_the_saver_is_drawn_in_the_monitors_pixels_and_the_settings_are_scaled(
        program, gtest_results):
    """With LogPixels 144 the saver's window is per-monitor aware (drawn at 144 DPI) and
    covers the screen in its own pixels; the settings dialog is not (96, the system scales
    it). Wine draws both alike; what each window is, its DPI says."""
    lab = program.lab
    lab.wine_output("reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                    "REG_DWORD", "/d", "144", "/f")
    width, height = lab.screen
    saver = program.showing(["lime"], (0, 0, width, height), "lime", {"Picdis": 1})
    run_backend_suite(program, gtest_results, "--gtest_filter=ThreadDpiTest.*",
                      env={"MORVEL_EXPECT_WINDOW_DPI": "TForm1=144"})
    saver.stop()
    settings = program.start("/c")
    wait_until("the settings dialog", lambda: (bool(lab.windows("Morvel Screensaver Options")), "none"), 30)
    run_backend_suite(program, gtest_results, "--gtest_filter=ThreadDpiTest.*",
                      env={"MORVEL_EXPECT_WINDOW_DPI": "TForm2=96"})
    settings.stop()


@pytest.mark.parametrize("clip, colour", [("lime", "lime"), ("cyan", "cyan")],
                         ids=["avi", "mpeg"])
def test_the_clock_shows_over_the_pictures_mci_draws(program, clip, colour):
    """MCI's devices draw into the panel themselves, Wine's MPEG device in a window of its own
    inside it: the clock stays over either, read by OCR."""
    from test_picture import corner_text, shows_now
    lab = program.lab
    saver = program.showing([clip], (0, 0, *lab.screen), colour, {"Picdis": 1, "Clock": 1})
    seen = {}

    def read():
        seen["text"] = corner_text(lab)
        return shows_now(seen["text"]), seen["text"]
    wait_until(f"the time over the {clip} clip", read, 6, interval=0.5)
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")
