"""The demo: morvel.scr playing three generated clips under Wine, with screenshots; with the
argument `linux`, the native Linux saver (build/native/morvel) playing them."""

import os
import subprocess
import sys
import time

from winelab import ROOT, Lab, run, wait_until, write_settings_file

DEMO = ROOT / "build" / "demo"
DEMO_LINUX = ROOT / "build" / "demo-linux"
MORVEL = ROOT / "build" / "native" / "morvel"
CLIPS = {
    # A moving test pattern as a Video-1 AVI (Wine's own AVI player decodes it) and colour
    # bars as MPEG-1 (played through Wine's DirectShow with GStreamer), four seconds each.
    "pattern.avi": ("testsrc2=size=320x240:rate=15:duration=4", ["-c:v", "msvideo1"]),
    "bars.mpg": ("smptehdbars=size=320x240:rate=25:duration=4",
                 ["-c:v", "mpeg1video", "-q:v", "2"]),
    # The moving pattern again, as a phone would film it: H.264 in MP4, which Media
    # Foundation plays.
    "phone.mp4": ("testsrc2=size=640x360:rate=30:duration=4",
                  ["-c:v", "libx264", "-pix_fmt", "yuv420p"]),
}


def make_clips(work=DEMO):
    clips = work / "clips"
    clips.mkdir(parents=True, exist_ok=True)
    for name, (source, codec) in CLIPS.items():
        target = clips / name
        if not target.exists():
            run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source, *codec,
                 str(target)])
    return clips


class LinuxSaver:
    """`morvel /s` with a settings file of its own: the user's own stays untouched."""

    def __init__(self, lab, work):
        config = work / "config"
        write_settings_file(config / "morvel4.ini", [str(work / "clips" / name)
                                                     for name in CLIPS], {"Picdis": 2})
        self.log = open(work / "saver.log", "w")
        self.process = subprocess.Popen([str(MORVEL), "/s"],
                                        env=dict(lab.env, XDG_CONFIG_HOME=str(config)),
                                        stdout=self.log, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        lab.started.append(self.process)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout):
        wait_until("the saver to end", lambda: (not self.running(), "still running"), timeout)
        return self.process.returncode


def show(lab, saver, work, display):
    """Waits for the first clip, takes the screenshots as the clips play, ends the saver."""
    def picture():
        centre = lab.screenshot().rgb(512, 384) if not display else (1, 1, 1)
        return sum(centre) > 0 or not saver.running(), centre
    wait_until("the first clip", picture, 60)
    shots = []
    for n, pause in ((1, 1.5), (2, 4.5), (3, 4.5)):
        time.sleep(pause)
        # Not in the black between two clips: Wine takes some 2 s to close an MPEG-1 clip.
        wait_until(f"a picture for screenshot {n}", picture, 10)
        shot = work / f"screenshot-{n}.png"
        lab.save_screenshot(shot)
        shots.append(shot)
    print("Ending the saver with a key press ...", flush=True)
    lab.xdotool("key", "space")
    code = saver.wait_exit(20)
    print(f"The saver ended (exit code {code}).")
    print("Screenshots:")
    for shot in shots:
        print(f"  {shot}")
    return 0 if code == 0 else 1


def main(native=False):
    display = os.environ.get("DISPLAY") or None
    where = f"your display {display}" if display else "a virtual 1024x768 screen (Xvfb)"
    work = DEMO_LINUX if native else DEMO
    lab = Lab(work, display=display, sound=display is None)
    try:
        if native:
            make_clips(work)
            print(f"Starting morvel /s on {where} ...", flush=True)
            return show(lab, LinuxSaver(lab, work), work, display)
        print(f"Preparing a fresh Wine prefix in {lab.prefix.relative_to(ROOT)} ...", flush=True)
        lab.fresh_prefix(make_clips())
        lab.write_settings([f"C:\\clips\\{name}" for name in CLIPS], {"Picdis": 2})
        print(f"Starting morvel.scr /S on {where} ...", flush=True)
        return show(lab, lab.start_saver("/S", log="saver.log"), work, display)
    finally:
        lab.close()


if __name__ == "__main__":
    sys.exit(main(native=sys.argv[1:] == ["linux"]))
