"""How both programs place the picture and what they write over it, each test run once per
program: the three fits of a 4:3 clip in a 16:9 area (a custom size of 1024x576, centred on
the 1024x768 screen), a phone's clip stored on its side shown upright, and the clock and the
clip's name over the video, read back by OCR (tesseract)."""

import re
import subprocess
import time
from datetime import datetime

import pytest

from winelab import Failure, run, wait_until

# The 16:9 area: 1024x576 from y = 96.
AREA = {"Picdis": 4, "Width": 1024, "Height": 576}
# The caption is the file's name: a word OCR reads for sure.
MEADOW = "Meadow.mp4"
PHONE = "Phone.mp4"
CORNER = (512, 600, 512, 168)  # the lower right of the screen, where the clock and name are


@pytest.fixture(scope="module")
def picture_clips(adapter):
    """Made once into the lab's clips, which every fresh start has: a 320x240 lime clip with
    magenta bands 20 rows high at its top and bottom, so that a fill (which cuts them off)
    differs from a stretch; and a phone's clip, stored 320x240 on its side (blue left, red
    right) with the tag that turns it a quarter clockwise: upright, blue over red."""
    clips = adapter.lab.clips
    if not (clips / MEADOW).exists():
        run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
             "color=c=lime:s=320x240:d=120:r=10,drawbox=y=0:w=320:h=20:c=magenta:t=fill,"
             "drawbox=y=220:w=320:h=20:c=magenta:t=fill",
             "-c:v", "libx264", "-pix_fmt", "yuv420p", str(clips / MEADOW)])
    if not (clips / PHONE).exists():
        sideways = clips / "phone-untagged.mp4"
        run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
             "color=c=blue:s=160x240:d=120:r=10,pad=320:240:0:0:red",
             "-c:v", "libx264", "-pix_fmt", "yuv420p", str(sideways)])
        # ffmpeg 5 reads this value counter-clockwise; the file must say what a phone held
        # upright writes, a display matrix of -90 degrees (ffprobe's sense).
        run(["ffmpeg", "-loglevel", "error", "-y", "-i", str(sideways), "-c", "copy",
             "-metadata:s:v:0", "rotate=270", str(clips / PHONE)])
        sideways.unlink()
        probe = run(["ffprobe", str(clips / PHONE)])
        if "rotation of -90.00 degrees" not in probe:
            (clips / PHONE).unlink()
            raise RuntimeError(f"the phone clip is not turned a quarter clockwise:\n{probe}")
    return clips


def start_on(program, clip, options):
    program.write_settings([clip], options)
    return program.start(program.switch)


# --- Where the picture goes --------------------------------------------------------------------

# Left and right edges of the area, its top row (in the clip's magenta band when the band
# shows), the centre, and above the area.
EDGES = {"left": (4, 384), "right": (1019, 384), "top": (512, 100), "centre": (512, 384),
         "above": (512, 60)}


@pytest.mark.renderers
@pytest.mark.parametrize("fit, shown", [
    pytest.param(0, {"left": "lime", "right": "lime", "top": "magenta"}, id="stretch"),
    # 768x576 from x = 128: black at both sides.
    pytest.param(1, {"left": "black", "right": "black", "top": "magenta",
                     (120, 384): "black", (136, 384): "lime", (888, 384): "lime",
                     (904, 384): "black"}, id="fit"),
    # 1024x768 from y = -96: the bands (64 rows at that size) are cut off.
    pytest.param(2, {"left": "lime", "right": "lime", "top": "lime"}, id="fill"),
])
def test_a_4_3_clip_in_a_16_9_area_fits_as_chosen(program, picture_clips, fit, shown):
    expected = {EDGES.get(point, point): colour for point, colour in shown.items()}
    expected.update({EDGES["centre"]: "lime", EDGES["above"]: "black"})
    saver = start_on(program, MEADOW, dict(AREA, Fit=fit))
    program.lab.wait_colours(expected, program.start_timeout, f"the clip with Fit={fit}")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


@pytest.mark.renderers
def test_a_phone_clip_stored_on_its_side_shows_upright(program, picture_clips):
    """Large and fitted: the upright 240x320 picture is 576x768 from x = 224, blue over red."""
    saver = start_on(program, PHONE, {"Picdis": 1, "Fit": 1})
    program.lab.wait_colours({(512, 100): "blue", (240, 300): "blue", (784, 300): "blue",
                              (512, 668): "red", (240, 460): "red", (784, 460): "red",
                              (200, 384): "black", (824, 384): "black"},
                             program.start_timeout, "the phone's clip upright")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


# --- Over the picture --------------------------------------------------------------------------

def corner_text(lab):
    """What OCR reads in the lower right corner: the white text alone, black on white."""
    shot = lab.work / "corner.png"
    lab.save_screenshot(shot)
    left, top, width, height = CORNER
    page = lab.work / "corner-text.png"
    run(["convert", str(shot), "-crop", f"{width}x{height}+{left}+{top}", "+repage",
         "-colorspace", "gray", "-threshold", "85%", "-negate", "-resize", "200%", str(page)])
    return subprocess.run(["tesseract", str(page), "-", "--psm", "6"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, timeout=60).stdout


def shows_now(text):
    """Whether `text` holds the time of now (or of a minute ago), in 24 or 12 hours. OCR reads
    the bold "5" of the hours as "9" at times (seen at 5:31 PM): either stands for the other."""
    now = time.time()
    for hours, minutes in re.findall(r"(\d{1,2})\s*[:.]\s*(\d{2})", text):
        readings = {int(hours), int(hours.replace("9", "5")), int(hours.replace("5", "9"))}
        for moment in (now, now - 60):
            local = datetime.fromtimestamp(moment)
            if int(minutes) == local.minute and local.hour % 12 in {h % 12 for h in readings}:
                return True
    return False


@pytest.mark.renderers
def test_the_clock_and_the_name_show_over_the_video_and_a_click_on_them_ends_the_saver(
        program, picture_clips):
    """Large, stretched: the time, the date and the clip's name at the lower right; after
    about five seconds the name goes and the time stays."""
    lab = program.lab
    saver = start_on(program, MEADOW, {"Picdis": 1, "Clock": 2, "Caption": 1})
    lab.wait_colours({(512, 384): "lime"}, program.start_timeout, "the clip")
    shown = time.monotonic()
    seen = {}

    def read():
        seen["text"] = corner_text(lab)
        return shows_now(seen["text"]) and "meadow" in seen["text"].lower(), seen["text"]
    wait_until("the time and the clip's name in the corner", read, 4, interval=0.5)
    day = datetime.now().day
    date = re.sub(r"\d{1,2}\s*[:.]\s*\d{2}", " ", seen["text"])
    if not re.search(rf"(?<!\d)0?{day}(?!\d)", date):
        raise Failure(f"no date with the day {day} in {seen['text']!r}")

    def name_gone():
        text = corner_text(lab)
        return "eadow" not in text and shows_now(text), text
    wait_until("the name gone, the time still there", name_gone, 8, interval=0.5)
    if time.monotonic() - shown < 3:
        raise Failure("the clip's name went after less than 3 s")
    program.expect_no_report(saver)
    # The click lands on the time's text.
    program.end_with(saver, "mousemove", "960", "670", "click", "1")


def test_each_clips_name_replaces_the_one_before_without_leaving_its_letters(program):
    """Still clips (a device may draw nothing for a frame that repeats the one before): the
    name "blue" after "red" reads as "blue", nothing of "red" left around it."""
    lab = program.lab
    program.write_settings(["red", "blue"], {"Picdis": 1, "Caption": 1})
    saver = program.start(program.switch)
    lab.wait_colours({(512, 384): "blue"}, program.start_timeout, "the second clip")
    seen = {}

    def read():
        seen["text"] = corner_text(lab).strip().lower()
        # OCR may take the b for an h; the r of "red" left behind is what must not be there.
        return "lue" in seen["text"] and "r" not in seen["text"], seen["text"]
    wait_until("the name blue alone in the corner", read, 2, interval=0.5)
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")
