"""harvex watch on real volumes: ext4 images on loop devices and FUSE views mounted under a watched
folder, as root. Each event a test depends on is held until the test has made the next one (a FUSE
view holds a read until its gate opens); nothing is ordered by waiting a while.

    python3 cli/watch_test.py path/to/harvex [unittest args]
"""

import hashlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import faults_support as faults  # noqa: E402  (FaultFs, Cleanup, unmount)

HARVEX = None
TEMPORARY_SUFFIX = ".harvex-partial"
# Long enough for a copy of a few MiB under the sanitizers; an event that does not come fails.
EVENT_TIMEOUT = 60


def why_not_runnable():
    if os.geteuid() != 0:
        return "needs root (mount, losetup)"
    if not Path("/dev/loop-control").exists() or shutil.which("losetup") is None:
        return "needs loop devices (/dev/loop-control, losetup)"
    if shutil.which("mkfs.ext4") is None:
        return "needs mkfs.ext4 (e2fsprogs)"
    if not Path("/dev/fuse").exists():
        return "needs FUSE (/dev/fuse)"
    if subprocess.run([faults.SYSTEM_PYTHON, "-c", "import fusepy"], capture_output=True).returncode != 0:
        return f"needs python3-fusepy for {faults.SYSTEM_PYTHON}"
    return None


def tree(root):
    """relative path -> SHA-256 of every file below root (folders as None); ext4's lost+found is
    left out."""
    found = {}
    for folder, folders, files in os.walk(root):
        folders[:] = [name for name in folders if name != "lost+found"]
        for name in folders:
            found[os.path.relpath(os.path.join(folder, name), root)] = None
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as data:
                found[os.path.relpath(path, root)] = hashlib.sha256(data.read()).hexdigest()
    return found


def unmount(point):
    """Unmounts point if something is mounted there, whatever its name holds (the system lists a
    blank or a line break escaped, so a look-up of the name in its list would miss it)."""
    if os.path.ismount(point):
        faults.sh("umount", point, check=False)
    if os.path.ismount(point):
        faults.sh("umount", "-l", point)
    if os.path.ismount(point):
        raise RuntimeError(f"{point} is still mounted")


def fnv1a(text):
    value = 2166136261
    for byte in text.encode():
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return value


class Watcher:
    """harvex watch as a child, its output lines gathered by a thread."""

    def __init__(self, cleanup, config_home, folder, path, user=None):
        env = dict(os.environ, XDG_CONFIG_HOME=str(config_home), PATH=f"{path}:{os.environ['PATH']}")
        self.process = subprocess.Popen([HARVEX, "watch", "--folder", str(folder)], env=env, user=user,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, errors="replace")
        cleanup.push("stop harvex watch", self.kill)
        self.lines = []
        self.changed = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            with self.changed:
                self.lines.append(line.rstrip("\n"))
                self.changed.notify_all()
        with self.changed:
            self.lines.append(None)  # the end of the output
            self.changed.notify_all()

    def wait_for(self, wanted):
        """The first line for which wanted(line) holds; fails at the program's end or the deadline."""
        deadline = time.monotonic() + EVENT_TIMEOUT
        with self.changed:
            while True:
                for line in self.lines:
                    if line is not None and wanted(line):
                        return line
                if None in self.lines or time.monotonic() > deadline:
                    raise AssertionError("no such line; the output was:\n" + self.text())
                self.changed.wait(timeout=1)

    def text(self):
        return "\n".join(line for line in self.lines if line is not None)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        return self.process.wait(timeout=EVENT_TIMEOUT)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)
        self.reader.join(timeout=10)
        self.process.stdout.close()


class WatchTest(unittest.TestCase):
    def setUp(self):
        why = why_not_runnable()
        if why:
            self.skipTest(why)
        self.cleanup = faults.Cleanup()
        self.addCleanup(self._clean_up)
        self.work = Path(tempfile.mkdtemp(prefix="harvex-watch-"))
        self.media = self.work / "media"
        self.out = self.work / "out"
        self.bin = self.work / "bin"
        for folder in (self.media, self.out, self.bin):
            folder.mkdir()
        config = self.work / "config" / "harvex"
        config.mkdir(parents=True)
        (config / "harvex.conf").write_text(
            f"Save to = {self.out}\nVerify = 1\nFolder name = 3\nLog level = 2\n", encoding="utf-8")
        # A notify-send that notes what it was asked to show.
        self.notes = self.work / "notifications"
        notify = self.bin / "notify-send"
        notify.write_text(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{self.notes}"\n', encoding="utf-8")
        notify.chmod(0o755)

    def _clean_up(self):
        problems = self.cleanup.run()
        shutil.rmtree(self.work, ignore_errors=True)
        self.assertEqual(problems, [])

    def watch(self, user=None):
        return Watcher(self.cleanup, self.work / "config", self.media, self.bin, user)

    def ext4_card(self, name, label, files):
        """An ext4 image made from files (relative path -> bytes) on a loop device; its mount
        point under the watched folder is made, not mounted."""
        source = self.work / f"{name}.source"
        for relative, data in files.items():
            path = source / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        image = self.work / f"{name}.img"
        with open(image, "wb") as sink:
            sink.truncate(32 * 1024 * 1024)
        faults.sh("mkfs.ext4", "-q", "-F", "-L", label, "-d", source, image, what="mkfs.ext4")
        loop = faults.sh("losetup", "-f", "--show", image, what="losetup").stdout.strip()
        self.cleanup.push(f"losetup -d {loop}", lambda: faults.sh("losetup", "-d", loop, check=False))
        point = self.media / name
        point.mkdir()
        self.cleanup.push(f"unmount {point}", lambda: unmount(point))
        uuid = faults.sh("blkid", "-p", "-s", "UUID", "-o", "value", loop).stdout.strip()
        return loop, point, source, uuid

    def mount(self, loop, point):
        faults.sh("mount", loop, point, what="mount")

    def held_view(self, name, files):
        """A FUSE view under the watched folder whose "[held]" files stop being read past their
        first 64 KiB until the gate opens; the gate is held from the start."""
        backing = self.work / f"{name}.backing"
        for relative, data in files.items():
            path = backing / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        point = self.media / name
        Path(faults.gate_path(point)).touch()
        view = faults.FaultFs(self.cleanup, backing, point)
        return view, backing

    def wait_until_held(self, view, relative):
        deadline = time.monotonic() + EVENT_TIMEOUT
        while "/" + relative not in view.reached_gate():
            self.assertLess(time.monotonic(), deadline, f"the copy never read {relative}")
            time.sleep(0.02)  # polls a condition; the order of events does not depend on it

    def assert_copied_whole(self, copy, source):
        self.assertEqual(tree(copy), tree(source))

    def assert_only_complete_or_temporary(self, copy, source):
        """Each file in the copy is its source's bytes, or a temporary file."""
        expected = tree(source)
        for relative, digest in tree(copy).items():
            if relative.endswith(TEMPORARY_SUFFIX) or digest is None:
                continue
            self.assertEqual(digest, expected.get(relative), f"{relative} is not a whole copy")

    # --- the tests --------------------------------------------------------------------------

    def test_an_ext4_card_is_copied_whole_verified_and_known_by_its_uuid(self):
        files = {"DCIM/100CAM/IMG_0001.JPG": os.urandom(3 * 1024 * 1024), "Notes/größe.txt": b"a\n",
                 "top.bin": os.urandom(70000)}
        loop, point, source, uuid = self.ext4_card("MY CARD", "TRIP", files)
        watcher = self.watch()
        watcher.wait_for(lambda line: line.startswith("Watching "))
        self.mount(loop, point)
        end = watcher.wait_for(lambda line: "Finished" in line)
        self.assertEqual(end, f"[{point}]: Finished. 3 files verified.")
        self.assert_copied_whole(self.out / "TRIP", source)
        listing = (self.out / "TRIP.sha256").read_text(encoding="utf-8")
        serial = fnv1a(uuid)
        self.assertIn(f'volume label "TRIP", serial number {serial >> 16:04X}-{serial & 0xFFFF:04X}', listing)
        subprocess.run(["sha256sum", "--quiet", "-c", "TRIP.sha256"], cwd=self.out, check=True, timeout=60)
        self.assertEqual(watcher.stop(), 0)
        self.assertIn(f"Copying finished for {point}", self.notes.read_text(encoding="utf-8"))

    def test_a_card_mounted_before_the_watch_starts_is_copied(self):
        # The system lists the line break as "\012"; the lines show it as "?".
        loop, point, source, _ = self.ext4_card("EARLY\nONE", "EARLY", {"a.txt": b"early\n"})
        self.mount(loop, point)
        watcher = self.watch()
        shown = str(point).replace("\n", "?")
        watcher.wait_for(lambda line: line == f"[{shown}]: Finished. 1 file verified.")
        self.assert_copied_whole(self.out / "EARLY", source)
        self.assertEqual(watcher.stop(), 0)

    def test_a_user_who_may_not_read_the_device_knows_the_card_by_udevs_links(self):
        loop, point, source, uuid = self.ext4_card("USER", "HOLIDAY 1", {"a.txt": b"mine\n"})
        self.mount(loop, point)
        # What udev makes for the device, unless it has: links by UUID and by escaped label.
        for folder, name in (("by-uuid", uuid), ("by-label", "HOLIDAY\\x201")):
            link = Path("/dev/disk") / folder / name
            if not link.parent.exists():
                link.parent.mkdir(parents=True)
                self.cleanup.push(f"rmdir {link.parent}", link.parent.rmdir)
            if not link.is_symlink():
                link.symlink_to(loop)
                self.cleanup.push(f"rm {link}", link.unlink)
        (point / "lost+found").rmdir()  # root's own
        self.work.chmod(0o755)
        self.out.chmod(0o777)
        self.notes.touch(mode=0o666)
        watcher = self.watch(user="nobody")
        watcher.wait_for(lambda line: line == f"[{point}]: Finished. 1 file verified.")
        self.assert_copied_whole(self.out / "HOLIDAY 1", source)
        serial = fnv1a(uuid)
        self.assertIn(f'volume label "HOLIDAY 1", serial number {serial >> 16:04X}-{serial & 0xFFFF:04X}',
                      (self.out / "HOLIDAY 1.sha256").read_text(encoding="utf-8"))
        self.assertEqual(watcher.stop(), 0)

    def test_two_cards_copy_at_once(self):
        held, held_source = self.held_view("FIRST", {"a[held].bin": os.urandom(1024 * 1024),
                                                     "b.txt": b"first\n"})
        loop, point, source, _ = self.ext4_card("SECOND", "SECOND", {"c.txt": b"second\n"})
        watcher = self.watch()
        self.wait_until_held(held, "a[held].bin")
        # The first card's copy is held mid-file while the second arrives and is copied.
        self.mount(loop, point)
        watcher.wait_for(lambda line: line.startswith(f"[{point}]: Finished."))
        held.open_gate()
        watcher.wait_for(lambda line: line.startswith(f"[{held.folder}]: Finished."))
        self.assertNotIn("error", watcher.text())
        # A view has no label: its run folder falls back to the date and time, the only other one.
        copies = [entry for entry in self.out.iterdir() if entry.is_dir() and entry.name != "SECOND"]
        self.assertEqual(len(copies), 1, watcher.text())
        self.assert_copied_whole(copies[0], held_source)
        self.assert_copied_whole(self.out / "SECOND", source)
        self.assertEqual(watcher.stop(), 0)

    def test_a_card_unmounted_mid_copy_ends_its_run_naming_its_errors(self):
        files = {"a[held].bin": os.urandom(1024 * 1024)}
        files |= {f"later/file{n}.txt": f"{n}\n".encode() for n in range(3)}
        held, backing = self.held_view("GONE", files)
        watcher = self.watch()
        self.wait_until_held(held, "a[held].bin")
        faults.sh("umount", "-l", held.folder, what="umount -l")
        watcher.wait_for(lambda line: line == f"[{held.folder}]: drive detached")
        held.open_gate()
        # The run stops at its next look at the volume and says why; that counts as its error.
        stop = f"[{held.folder}]: Stopped: the volume in {held.folder} was changed."
        watcher.wait_for(lambda line: line == stop)
        self.assertEqual(watcher.stop(), 0)
        self.assertNotIn("Finished", watcher.text())
        self.assertFalse(list(self.out.rglob("a[[]held].bin")), "the held file was filed as a copy")
        for copy in self.out.iterdir():
            if copy.is_dir():
                self.assert_only_complete_or_temporary(copy, backing)

    def test_a_card_pulled_mid_copy_names_each_file_it_could_not_read(self):
        files = {"a[held].bin": os.urandom(1024 * 1024), "b.txt": b"b\n", "c/d.txt": b"d\n"}
        held, backing = self.held_view("PULLED", files)
        watcher = self.watch()
        self.wait_until_held(held, "a[held].bin")
        # As when the stick leaves the reader: its file system's process dies, the mount stays.
        held.process.kill()
        held.process.wait(timeout=EVENT_TIMEOUT)
        end = watcher.wait_for(lambda line: line.startswith(f"[{held.folder}]: Finished"))
        self.assertRegex(end, r"Finished with \d+ errors?\.")
        self.assertEqual(watcher.stop(), 0)
        copies = [entry for entry in self.out.iterdir() if entry.is_dir()]
        self.assertEqual(len(copies), 1)
        copied = tree(copies[0])
        text = watcher.text()
        for relative, digest in tree(backing).items():
            if digest is None or copied.get(relative) == digest:
                continue
            self.assertIn(f"{held.folder}/{relative}", "\n".join(
                line for line in text.splitlines() if "failed for" in line or "Not copied" in line))
        self.assertNotIn("a[held].bin", copied)

    def test_sigterm_mid_copy_stops_and_exits_0(self):
        held, backing = self.held_view("TERM", {"a[held].bin": os.urandom(1024 * 1024),
                                                "b/c.txt": b"c\n"})
        watcher = self.watch()
        self.wait_until_held(held, "a[held].bin")
        watcher.process.send_signal(signal.SIGTERM)
        watcher.wait_for(lambda line: line.startswith("Stopping"))
        held.open_gate()
        self.assertEqual(watcher.process.wait(timeout=EVENT_TIMEOUT), 0)
        watcher.reader.join(timeout=10)
        self.assertIn(f"[{held.folder}]: Stopped.", watcher.text())
        self.assertFalse(list(self.out.rglob("a[[]held].bin")), "a stopped file was filed as a copy")
        for copy in self.out.iterdir():
            if copy.is_dir():
                self.assert_only_complete_or_temporary(copy, backing)


class ProductTest(unittest.TestCase):
    def test_the_program_links_the_system_not_the_tests_stand_ins(self):
        if shutil.which("nm") is None:
            self.skipTest("needs nm (binutils)")
        symbols = subprocess.run(["nm", "-C", HARVEX], capture_output=True, text=True, check=True).stdout
        self.assertIn("platform::posix::MapVolume", symbols)
        for stand_in in ("platform::posix::ResetRegistry", "platform::posix::MapDrive"):
            self.assertNotIn(stand_in, symbols)


if __name__ == "__main__":
    HARVEX = os.path.abspath(sys.argv.pop(1))
    if why_not_runnable():
        print(f"harvex watch on real volumes is skipped: it {why_not_runnable()}", file=sys.stderr)
    unittest.main()
