"""What /proc tells the benchmarks of a process: its CPU time, its memory, the processes of
a session (a program started in a session of its own takes everything it starts with it;
under Wine that is the Windows process of the program and Wine's start-up helpers)."""

import os
from pathlib import Path


def cpu_seconds(pid):
    """User + system time of the process, all its threads."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def session_cpu(session):
    """User + system time, in seconds, of the live processes of a session."""
    total = 0
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session:
            total += int(fields[11]) + int(fields[12])
    return total / os.sysconf("SC_CLK_TCK")


def status(pid, field):
    """A figure of /proc/PID/status (VmRSS in KiB, Threads)."""
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])
    raise RuntimeError(f"no {field} for process {pid}")


def session_process(session, name):
    """The pid of the process of `session` whose command line holds `name` (case aside)."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if os.getsid(int(entry.name)) != session:
                continue
            command = (entry / "cmdline").read_bytes().replace(b"\0", b" ")
        except (OSError, ProcessLookupError):
            continue
        if name.lower().encode() in command.lower():
            return int(entry.name)
    return None
