"""The packages as a user gets them (scripts/package makes them into dist/): installed, run
from where they were installed, upgraded, then removed."""

import re
import subprocess
from pathlib import Path

import pytest

from programs import MEDIUM, OPTIONS
from test_linux import daemon_shows_the_hack_and_ends_it
from winelab import ROOT, Failure, frame, run, wait_until

DIST = ROOT / "dist"
VERSION = re.search(r"project\(morvel VERSION ([0-9.]+)",
                    (ROOT / "CMakeLists.txt").read_text()).group(1)
OLDER = "3.0"


def packaged(name):
    path = DIST / name
    if not path.exists():
        raise Failure(f"{path} is missing: scripts/package makes it")
    return path


def plays_and_opens_its_options(installed, **where):
    """The installed program, started as the system starts it, plays a clip and opens
    its options window."""
    saver = installed.start(installed.switch, **where)
    installed.lab.wait_colours(frame(*MEDIUM, "lime"), installed.start_timeout,
                             "the clip from the installed saver")
    installed.end_with(saver, "key", "a")
    dialog = installed.start("/c", log="dialog.log", **where)
    wait_until("the options window", lambda: (bool(installed.lab.windows(OPTIONS)),
                                              dialog.output()[-300:]), installed.start_timeout)
    dialog.stop()


@pytest.mark.only("windows")
def test_the_installer_installs_upgrades_and_removes_the_saver(program):
    lab = program.lab
    msi = packaged(f"morvel-{VERSION}-windows-x64.msi")
    older = lab.work / "older"
    run([str(ROOT / "scripts" / "package"), "--version", OLDER, str(older)], timeout=300)
    installed = lab.prefix / "drive_c" / "windows" / "system32" / "morvel.scr"

    def msiexec(*args):
        run(lab.wine_command(["wine", "msiexec", *args, "/qn"]), env=lab.wine_env(),
            timeout=180)
        run(lab.wine_command(["wineserver", "-w"]), env=lab.wine_env(), timeout=60)

    def entries():
        """(name, version) of every Add/Remove Programs entry of ours."""
        listing = run(lab.wine_command(["wine", "reg", "query", "HKLM\\Software\\Microsoft\\"
                                        "Windows\\CurrentVersion\\Uninstall", "/s"]),
                      env=lab.wine_env(), check=False)
        found, name = [], None
        for line in listing.splitlines():
            fields = line.split(None, 2)
            if len(fields) == 3 and fields[0] == "DisplayName":
                name = fields[2]
            if len(fields) == 3 and fields[0] == "DisplayVersion" and name == "Morvel Screensaver":
                found.append((name, fields[2]))
        return found

    msiexec("/i", lab.windows_path_of(older / f"morvel-{OLDER}-windows-x64.msi"))
    if entries() != [("Morvel Screensaver", f"{OLDER}.0")] or not installed.exists():
        raise Failure(f"after the older install: {entries()}, {installed} {installed.exists()}")
    msiexec("/i", lab.windows_path_of(msi))
    if entries() != [("Morvel Screensaver", f"{VERSION}.0")] or not installed.exists():
        raise Failure(f"after the upgrade: {entries()}, {installed} {installed.exists()}")

    program.write_settings(["lime"])
    plays_and_opens_its_options(program, scr="C:\\windows\\system32\\morvel.scr")

    msiexec("/x", lab.windows_path_of(msi))
    if installed.exists() or entries():
        raise Failure(f"after removal: {installed.exists()=}, entries {entries()}")
    if not program.settings_path.exists():
        raise Failure("the removal took the user's settings file")


@pytest.mark.only("linux")
def test_the_debian_package_installs_runs_as_a_hack_and_removes_cleanly(program):
    deb = packaged(f"morvel_{VERSION}_amd64.deb")
    listed = subprocess.run(["dpkg-deb", "-c", str(deb)], stdout=subprocess.PIPE, text=True,
                            check=True).stdout
    files = [Path(line.split()[-1].lstrip(".")) for line in listed.splitlines()
             if not line.startswith("d")]
    run(["apt-get", "install", "-y", "-q", "--no-install-recommends", str(deb)], timeout=300)
    try:
        program.write_settings(["lime"])
        plays_and_opens_its_options(program, program=Path("/usr/bin/morvel"))
        daemon_shows_the_hack_and_ends_it(program, Path("/usr/libexec/xscreensaver/morvel"))
        page = run(["man", "-l", "/usr/share/man/man1/morvel.1.gz"],
                   env={"MANWIDTH": "80", "PATH": "/usr/bin:/bin", "MANPAGER": "cat"})
        if "morvel - a screen saver that plays your own videos" not in page:
            raise Failure(f"the manual page reads: {page[:300]}")
    finally:
        run(["apt-get", "purge", "-y", "-q", "morvel"], timeout=300)
    left = [str(path) for path in files if path.exists()]
    if left:
        raise Failure(f"left after removal: {left}")
