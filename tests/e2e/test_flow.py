"""How one clip follows another in both programs: a dissolve seen at the centre of the screen,
long clips starting at a random point and where they were left, and the saver going dark.
The clips are solid colours, so the centre's colour says which clip shows and how much."""

import contextlib
import time

import pytest

from linuxlab import PowerStandIn
from winelab import LIME_SECONDS, Failure, hold, wait_until

CENTRE = (512, 384)
LARGE = {"Picdis": 1}


def centre_samples(lab, seconds):
    """(time, (r, g, b)) of the centre, read as fast as the screen answers."""
    samples = []
    start = time.monotonic()
    with lab.pixel_reader() as rgb:
        while time.monotonic() - start < seconds:
            samples.append((time.monotonic() - start, rgb(*CENTRE)))
    return samples


def is_blend(rgb):
    red, green, blue = rgb
    return red > 40 and blue > 40 and green < 60


def is_black(rgb):
    return max(rgb) < 40


@pytest.mark.renderers
def test_a_red_clip_dissolves_into_a_blue_one_never_through_black(program):
    """Fade=1000, a 3 s red clip and a 3 s blue one at large size: once red has shown, the
    centre passes through blends of red and blue for about a second into blue, never black."""
    program.write_settings(["red", "blue"], dict(LARGE, Fade=1000))
    saver = program.start(program.switch)
    program.lab.wait_colours({CENTRE: "red"}, program.start_timeout, "the red clip")
    samples = centre_samples(program.lab, 5)
    blue_at = next((at for at, (r, g, b) in samples if b > 200 and r < 40), None)
    if blue_at is None:
        raise Failure(f"no blue in 5 s; last seen {samples[-1][1]}")
    # Blue dissolves into red again two seconds later: only the first dissolve counts.
    blends = [at for at, rgb in samples if is_blend(rgb) and at < blue_at]
    black = [(round(at, 2), rgb) for at, rgb in samples if at < blue_at and is_black(rgb)]
    if black:
        raise Failure(f"black at the centre before blue: {black[:5]}")
    if not blends or not 0.4 <= blends[-1] - blends[0] <= 2.0:
        span = blends[-1] - blends[0] if blends else 0
        raise Failure(f"the blend of red and blue lasted {span:.2f} s, not about 1 s")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")


def first_picture(program, options):
    """The centre's first clear colour of the long clip that is lime for its first seconds."""
    program.write_settings(["lime-then-red"], dict(LARGE, **options))
    saver = program.start(program.switch)

    def shown():
        colour = program.lab.screenshot().colour(*CENTRE)
        return colour in ("lime", "red"), colour
    colour = wait_until("the long clip", shown, program.start_timeout)
    return saver, colour


def test_a_long_clip_starts_at_a_random_point_or_where_it_was_left(program):
    """StartAt=1: a random point of a 2-minute clip lies past its first seconds (lime) nearly
    always, so one of three starts shows red first. StartAt=2: left after its lime seconds,
    it starts red next time; with StartAt=0 it starts lime again."""
    firsts = []
    for _ in range(3):
        saver, colour = first_picture(program, {"StartAt": 1})
        program.end_with(saver, "key", "a")
        firsts.append(colour)
        if colour == "red":
            break
    if "red" not in firsts:
        raise Failure(f"three random starts all showed the clip's start: {firsts}")

    saver, colour = first_picture(program, {"StartAt": 2})
    if colour != "lime":
        raise Failure(f"a clip never left before started {colour}, not at its start")
    program.lab.wait_colours({CENTRE: "red"}, LIME_SECONDS + 5, "the clip past its start")
    program.end_with(saver, "key", "a")
    saver, colour = first_picture(program, {"StartAt": 2})
    program.end_with(saver, "key", "a")
    if colour != "red":
        raise Failure(f"the clip left past its start began {colour} again")
    saver, colour = first_picture(program, {"StartAt": 0})
    program.end_with(saver, "key", "a")
    if colour != "lime":
        raise Failure(f"StartAt=0 began the clip {colour}, not at its start")


def test_the_saver_goes_dark_after_a_minute_and_a_key_still_ends_it(program):
    program.write_settings(["lime"], dict(LARGE, Dark=1))
    saver = program.start(program.switch)
    program.lab.wait_colours({CENTRE: "lime"}, program.start_timeout, "the clip")
    started = time.monotonic()
    program.lab.wait_colours({CENTRE: "black", (10, 10): "black", (1000, 750): "black"}, 75,
                             "black after a minute")
    waited = time.monotonic() - started
    if waited < 50:
        raise Failure(f"dark after {waited:.0f} s, not a minute")
    if not saver.running():
        raise Failure("the saver ended as it went dark")
    program.expect_no_report(saver)
    program.end_with(saver, "key", "a")



@pytest.mark.only("linux")
def test_on_battery_the_saver_is_black_until_the_mains_comes_back(program):
    """Battery=1 with UPower (a stand-in on a bus of its own) saying battery: black; mains
    brings the clip on, battery again takes it away; a key ends the saver."""
    lab = program.lab
    with contextlib.closing(PowerStandIn(lab.work, on_battery=True)) as power:
        program.write_settings(["lime"], dict(LARGE, Battery=1))
        saver = program.start(program.switch,
                              env=dict(lab.env, DBUS_SYSTEM_BUS_ADDRESS=power.address))
        lab.wait_colours({CENTRE: "black"}, program.start_timeout, "black on battery")

        def still_black():
            colour = lab.screenshot().colour(*CENTRE)
            return colour == "black", colour
        hold("black on battery", still_black, 3)
        power.set_on_battery(False)
        lab.wait_colours({CENTRE: "lime"}, program.start_timeout, "the clip on mains")
        power.set_on_battery(True)
        lab.wait_colours({CENTRE: "black"}, 10, "black on battery again")
        program.expect_no_report(saver)
        program.end_with(saver, "key", "a")
