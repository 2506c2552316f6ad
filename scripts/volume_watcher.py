#!/usr/bin/env python3
"""Gives the volumes a Linux desktop mounts to Harvex running under Wine.

Wine neither defines drive letters for volumes mounted after it started nor broadcasts their
arrival. This watcher does both while Harvex runs: each volume mounted under one of the roots
(/media and /run/media, where the desktop's mount manager puts sticks and cards) or from a removable
block device gets a free drive letter through Wine's mount manager, with the type of its device
(CD-ROM for optical discs, removable otherwise) and the block device itself, from whose boot record
Wine reads the label and serial number (FAT, ISO 9660, UDF); then every window is sent the arrival,
as Windows does. An unmount sends the removal and frees the letter. The letters go when the
watcher ends.

It drives Wine through hxprobe.exe, the project's helper, and reads /proc/self/mountinfo, whose
poll() wakes on every mount and unmount. Nothing of it runs when Harvex runs on Windows.

    volume_watcher.py --probe build/win/hxprobe.exe [--root DIR]... [--while-pid PID]

Uses WINEPREFIX and DISPLAY from the environment. Python standard library only.
"""

import argparse
import contextlib
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path

DEFAULT_ROOTS = ("/media", "/run/media")
MOUNTINFO = "/proc/self/mountinfo"
FIRST_LETTER = "E"
REMOVABLE, CDROM = 2, 5
OPTICAL_FILE_SYSTEMS = {"iso9660", "udf"}


@dataclass(frozen=True)
class Mount:
    point: str
    fstype: str
    source: str


def _unescape(field):
    """mountinfo writes blanks, tabs, newlines and backslashes as octal escapes."""
    out, i = [], 0
    while i < len(field):
        digits = field[i + 1:i + 4]
        if field[i] == "\\" and len(digits) == 3 and digits.isdigit():
            out.append(chr(int(field[i + 1:i + 4], 8)))
            i += 4
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def parse_mountinfo(text):
    """The mounts of a /proc/self/mountinfo text, in its order."""
    mounts = []
    for line in text.splitlines():
        fields = line.split(" ")
        if "-" not in fields or len(fields) < 10:
            continue
        dash = fields.index("-")
        if dash + 2 >= len(fields):
            continue
        mounts.append(Mount(_unescape(fields[4]), fields[dash + 1], _unescape(fields[dash + 2])))
    return mounts


def is_removable_device(source, sys_block="/sys/class/block"):
    """A block device whose disk says it is removable (the device itself or, for a partition, its
    disk)."""
    if not source.startswith("/dev/"):
        return False
    node = Path(sys_block) / Path(os.path.realpath(source)).name
    for folder in (node, node.resolve().parent if node.exists() else None):
        if folder is None:
            continue
        with contextlib.suppress(OSError, ValueError):
            if int((folder / "removable").read_text().strip()) == 1:
                return True
    return False


def is_volume(mount, roots, removable=is_removable_device):
    """A mount the desktop made for a stick, card or disc."""
    under_root = any(mount.point.startswith(root.rstrip("/") + "/") for root in roots)
    return under_root or removable(mount.source)


def drive_type(mount):
    name = os.path.basename(mount.source)
    return CDROM if mount.fstype in OPTICAL_FILE_SYSTEMS or name.startswith("sr") else REMOVABLE


def block_device(mount):
    """The block device to hand Wine for the label, or None (FUSE and the like)."""
    with contextlib.suppress(OSError):
        if mount.source.startswith("/dev/") and os.path.exists(mount.source):
            import stat
            if stat.S_ISBLK(os.stat(mount.source).st_mode):
                return mount.source
    return None


class Wine:
    """hxprobe.exe calls in the prefix of the environment. Output goes through files: Wine's
    helper processes may inherit a pipe and keep it open."""

    def __init__(self, probe):
        self.probe_path = str(probe)

    def probe(self, *commands, timeout=60):
        argv = []
        for command in commands:
            if argv:
                argv.append(";")
            argv += [str(word) for word in command]
        with tempfile.TemporaryFile() as out:
            code = subprocess.run(["wine", self.probe_path, *argv], stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout).returncode
            out.seek(0)
            results = [json.loads(line) for line in out.read().decode("utf-8", "replace").splitlines()
                       if line.strip().startswith("{")]
        return code, results

    def used_letters(self):
        code, results = self.probe(["drives"])
        if code != 0 or not results:
            return set()
        return {root[0].upper() for root in results[0].get("roots", [])}


class VolumeWatcher:
    def __init__(self, wine, roots=DEFAULT_ROOTS, report=print):
        self.wine = wine
        self.roots = tuple(roots)
        self.report = report
        self.letters = {}  # mount point -> letter
        self.stop_event = threading.Event()

    def current_volumes(self):
        with open(MOUNTINFO, encoding="utf-8", errors="replace") as table:
            mounts = parse_mountinfo(table.read())
        return {m.point: m for m in mounts if is_volume(m, self.roots)}

    def free_letter(self):
        taken = self.wine.used_letters() | set(self.letters.values())
        for code in range(ord(FIRST_LETTER), ord("Z") + 1):
            if chr(code) not in taken:
                return chr(code)
        return None

    def arrive(self, mount):
        letter = self.free_letter()
        if letter is None:
            self.report(f"watcher: no drive letter left for {mount.point}")
            return
        command = ["map", letter, drive_type(mount), mount.point]
        device = block_device(mount)
        if device:
            command.append(f"device={device}")
        code, results = self.wine.probe(command, ["devchange", "arrival", letter, "broadcast"])
        if code != 0:
            error = next((r.get("error") for r in results if not r.get("ok")), f"exit code {code}")
            self.report(f"watcher: {mount.point} could not be given {letter}: ({error})")
            return
        self.letters[mount.point] = letter
        label = results[0].get("label") or "no label"
        self.report(f"watcher: {mount.point} is {letter}: ({label}); Harvex was told it arrived")

    def leave(self, point):
        letter = self.letters.pop(point)
        self.wine.probe(["devchange", "removecomplete", letter, "broadcast"], ["unmap", letter, "if-present"])
        self.report(f"watcher: {point} was unmounted; {letter}: removed")

    def sync(self):
        volumes = self.current_volumes()
        for point in [p for p in self.letters if p not in volumes]:
            self.leave(point)
        for point, mount in volumes.items():
            if point not in self.letters:
                self.arrive(mount)

    def run(self, still_wanted=lambda: True):
        """Watches until stop() or still_wanted() is false; then removes every letter it gave."""
        with open(MOUNTINFO, "rb") as table:
            poller = select.poll()
            poller.register(table, select.POLLPRI | select.POLLERR)
            try:
                self.sync()
                while not self.stop_event.is_set() and still_wanted():
                    if poller.poll(500):
                        table.seek(0)
                        table.read()
                        self.sync()
            finally:
                for point in list(self.letters):
                    with contextlib.suppress(Exception):
                        self.leave(point)

    def stop(self):
        self.stop_event.set()


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--probe", required=True, help="hxprobe.exe (a Unix path or a path in the prefix)")
    parser.add_argument("--root", action="append", help="a folder under which mounts count (repeatable)")
    parser.add_argument("--while-pid", type=int, help="stop when this process has ended")
    options = parser.parse_args()
    watcher = VolumeWatcher(Wine(options.probe), options.root or DEFAULT_ROOTS,
                            report=lambda line: print(line, flush=True))
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, lambda *_: watcher.stop())
    print(f"watcher: watching {', '.join(watcher.roots)} and removable devices", flush=True)
    watcher.run(lambda: options.while_pid is None or process_alive(options.while_pid))
    return 0


if __name__ == "__main__":
    sys.exit(main())
