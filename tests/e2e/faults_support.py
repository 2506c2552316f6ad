"""Fault injection for the end-to-end fault suite: real volumes and broken ones, and an audit that
compares a copy with its source file by file against what the log reported.

Volumes:
- ExfatStick: an exFAT image on a loop device mounted through exfat-fuse; pull() is kill -9 of the
  FUSE process, as when a stick leaves the reader while it is read.
- FaultFs: a read-only FUSE view of a folder (this file run as a program) that fails chosen entries
  by their names, so the failures hold for root too:
    "[eio]" in a file name      reads past the first 64 KiB fail with EIO (a bad sector);
    "[eacces]" in a file name   opening fails with EACCES;
    "[nolist]" in a folder name listing fails with EACCES;
    "[noent]" in a folder name  opening or listing it fails with ENOENT (a folder gone mid-walk);
    "[slow]" in a file name     each read waits 0.2 s (a slow reader, for changes during a run);
    "[gate]" in a path          each look-up and read of it waits while the gate is held
                                (FaultFs.hold / open_gate), so a test makes its next event first.
    "[held]" in a file name     reads past its first 64 KiB wait while the gate is held: the copy
                                has written data and waits on its next read (the file must be
                                larger than one read request of the kernel, 128 KiB: use 1 MiB).
- Destinations: a small tmpfs (mount -t tmpfs -o size=...), a read-only bind mount, chattr +i.

Everything mounted or started goes on a Cleanup stack that is emptied after each test, even when
the test failed; a stale mount of a run that was killed is swept at the next start.

Run as a program: python3 faults_support.py faultfs BACKING MOUNTPOINT (Debian's python3 with
python3-fusepy; it stays in the foreground until unmounted).
"""

import contextlib
import errno
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

FULL_SIZE = bool(os.environ.get("FAULTS_FULL"))
SYSTEM_PYTHON = "/usr/bin/python3"

FAILURE_PREFIXES = (
    "CopyFileEx failed for ",
    "MoveFileEx failed for ",
    "Not copied: ",
    "FindFirstFile failed for ",
    "FindNextFile failed for ",
    "CreateDirectory failed for ",
    "GetFileAttributesEx failed for ",
)
IGNORED_NAMES = (".windows-label", ".windows-serial")
# What a file carries while it is written; such a file is never taken for a copy.
TEMPORARY_SUFFIX = ".harvex-partial"
# A "[held]" file is read up to here before the gate holds it: one chunk of Wine's file copy.
HELD_AFTER = 64 * 1024


# --- the FUSE program ----------------------------------------------------------------------

def serve_faultfs(backing, mountpoint):
    import fusepy  # Debian's python3-fusepy

    gate = gate_path(mountpoint)

    def wait_at_gate(path, offset=None):
        held = "[held]" in os.path.basename(path) and offset is not None and offset >= HELD_AFTER
        if "[gate]" not in path and not held:
            return
        with open(f"{gate}.reached", "a", encoding="utf-8") as reached:
            reached.write(path + "\n")
        while os.path.exists(gate):
            time.sleep(0.02)

    class FaultFs(fusepy.Operations):
        def __init__(self, root):
            self.root = os.path.realpath(root)

        def _path(self, path):
            return os.path.join(self.root, path.lstrip("/"))

        def getattr(self, path, fh=None):
            wait_at_gate(path)
            st = os.lstat(self._path(path))
            return {key: getattr(st, key) for key in (
                "st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink", "st_size", "st_uid")}

        def opendir(self, path):
            if "[nolist]" in os.path.basename(path):
                raise fusepy.FuseOSError(errno.EACCES)
            if "[noent]" in os.path.basename(path):
                raise fusepy.FuseOSError(errno.ENOENT)
            return 0

        def readdir(self, path, fh):
            if "[nolist]" in os.path.basename(path):
                raise fusepy.FuseOSError(errno.EACCES)
            if "[noent]" in os.path.basename(path):
                raise fusepy.FuseOSError(errno.ENOENT)
            return [".", ".."] + os.listdir(self._path(path))

        def open(self, path, flags):
            if "[eacces]" in os.path.basename(path):
                raise fusepy.FuseOSError(errno.EACCES)
            if flags & (os.O_WRONLY | os.O_RDWR):
                raise fusepy.FuseOSError(errno.EROFS)
            return os.open(self._path(path), os.O_RDONLY)

        def read(self, path, size, offset, fh):
            name = os.path.basename(path)
            if "[eio]" in name and offset + size > 65536:
                raise fusepy.FuseOSError(errno.EIO)
            if "[slow]" in name:
                time.sleep(0.2)
            wait_at_gate(path, offset)
            data = os.pread(fh, size, offset)
            if "[held]" in name:
                with open(f"{gate}.served", "a", encoding="utf-8") as served:
                    served.write(f"{offset + len(data)} {path}\n")
            return data

        def release(self, path, fh):
            os.close(fh)
            return 0

        def statfs(self, path):
            st = os.statvfs(self.root)
            return {key: getattr(st, key) for key in (
                "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files", "f_flag",
                "f_frsize", "f_namemax")}

    fusepy.FUSE(FaultFs(backing), mountpoint, foreground=True, ro=True, nothreads=False)


def gate_path(mountpoint):
    """While this file exists, the "[gate]" entries of the FaultFs at mountpoint wait."""
    return str(mountpoint).rstrip("/") + ".gate"


# --- commands ------------------------------------------------------------------------------

def sh(*args, what=None, timeout=60, check=True):
    result = subprocess.run([str(a) for a in args], stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=timeout, text=True)
    if check and result.returncode != 0:
        raise RuntimeError(f"{what or args[0]}: exit code {result.returncode}: {' '.join(map(str, args))}\n"
                           f"{result.stdout[-1000:]}{result.stderr[-1000:]}")
    return result


def is_mount(path):
    path = os.path.realpath(path)
    with open("/proc/self/mountinfo", encoding="utf-8", errors="replace") as table:
        return any(line.split()[4] == path for line in table)


def mounts_below(folder):
    """Mount points at or below folder, deepest first."""
    folder = os.path.realpath(folder)
    found = []
    with open("/proc/self/mountinfo", encoding="utf-8", errors="replace") as table:
        for line in table:
            point = line.split()[4].replace("\\040", " ")
            if point == folder or point.startswith(folder + "/"):
                found.append(point)
    return sorted(found, key=len, reverse=True)


def unmount(path):
    """Unmounts whatever is there, a dead FUSE mount included."""
    for args in (["umount", path], ["fusermount", "-u", "-z", path], ["umount", "-l", path]):
        if not is_mount(path):
            return
        sh(*args, check=False, timeout=30)


def pids_of(word):
    """Processes whose command line holds word."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        with contextlib.suppress(OSError):
            if word in (entry / "cmdline").read_bytes().decode("utf-8", "replace"):
                found.append(int(entry.name))
    return [pid for pid in found if pid != os.getpid()]


def sweep_stale(runs_dir):
    """Mounts and FUSE processes left below runs_dir by a run that was killed."""
    for point in mounts_below(runs_dir):
        unmount(point)
    for pid in pids_of(str(runs_dir)):
        with contextlib.suppress(OSError):
            cmdline = Path(f"/proc/{pid}/cmdline").read_bytes()
            if b"exfat" in cmdline or b"faultfs" in cmdline:
                os.kill(pid, signal.SIGKILL)


class Cleanup:
    """Undo steps, run last first; each runs even when an earlier one failed."""

    def __init__(self):
        self.steps = []

    def push(self, what, step):
        self.steps.append((what, step))

    def run(self):
        problems = []
        while self.steps:
            what, step = self.steps.pop()
            try:
                step()
            except Exception as error:  # noqa: BLE001 - every step gets its chance
                problems.append(f"{what}: {error}")
        return problems


# --- destinations --------------------------------------------------------------------------

def mount_tmpfs(cleanup, folder, size):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    sh("mount", "-t", "tmpfs", "-o", f"size={size}", "none", folder, what="mount tmpfs")
    cleanup.push(f"unmount tmpfs {folder}", lambda: unmount(str(folder)))


def resize_tmpfs(folder, size):
    sh("mount", "-o", f"remount,size={size}", folder, what="resize tmpfs")


def bind_read_only(cleanup, folder):
    """folder stays where it is but refuses every change, root's included (EROFS)."""
    sh("mount", "--bind", folder, folder, what="bind mount")
    cleanup.push(f"unmount bind {folder}", lambda: unmount(str(folder)))
    sh("mount", "-o", "remount,ro,bind", folder, what="remount read-only")


def set_immutable(cleanup, path, on=True):
    """chattr +i on ext4: no entry can be added or removed, even by root (EPERM)."""
    sh("chattr", "+i" if on else "-i", path, what="chattr")
    if on:
        cleanup.push(f"chattr -i {path}", lambda: sh("chattr", "-i", path, check=False))


# --- volumes -------------------------------------------------------------------------------

class ExfatStick:
    """An exFAT volume on a loop device, mounted with exfat-fuse at folder."""

    def __init__(self, cleanup, work_dir, name, label, size_mb):
        self.cleanup = cleanup
        self.image = Path(work_dir) / f"{name}.img"
        self.folder = Path(work_dir) / name
        self.folder.mkdir(parents=True, exist_ok=True)
        with open(self.image, "wb") as image:
            image.truncate(size_mb * 1024 * 1024)
        sh("mkfs.exfat", "-L", label[:11], self.image, what="mkfs.exfat")
        self.loop = sh("losetup", "-f", "--show", self.image, what="losetup").stdout.strip()
        cleanup.push(f"losetup -d {self.loop}", lambda: sh("losetup", "-d", self.loop, check=False))
        cleanup.push(f"unmount {self.folder}", self.unmount)
        self.mount()
        # Wine reads the label from this file when the letter is defined.
        (self.folder / ".windows-label").write_text(label, encoding="utf-8")

    def mount(self):
        sh("mount.exfat-fuse", self.loop, self.folder, what="mount.exfat-fuse")

    def fuse_pids(self):
        return [pid for pid in pids_of(str(self.folder)) if b"exfat" in _cmdline(pid)]

    def pull(self):
        """kill -9 of the FUSE process: every later access fails (ENOTCONN)."""
        pids = self.fuse_pids()
        if not pids:
            raise RuntimeError(f"no exfat-fuse process serves {self.folder}")
        for pid in pids:
            os.kill(pid, signal.SIGKILL)
        return pids

    def replug(self):
        self.unmount()
        self.mount()

    def unmount(self):
        unmount(str(self.folder))
        for pid in self.fuse_pids():
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGKILL)


def _cmdline(pid):
    with contextlib.suppress(OSError):
        return Path(f"/proc/{pid}/cmdline").read_bytes()
    return b""


class FaultFs:
    """A read-only FUSE view of backing at mountpoint that fails entries by their names."""

    def __init__(self, cleanup, backing, mountpoint):
        self.backing = Path(backing)
        self.folder = Path(mountpoint)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.log_path = self.folder.parent / f"{self.folder.name}.faultfs.log"
        with open(self.log_path, "wb") as sink:
            self.process = subprocess.Popen(
                [SYSTEM_PYTHON, __file__, "faultfs", str(self.backing), str(self.folder)],
                stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT, start_new_session=True)
        cleanup.push(f"stop faultfs {self.folder}", self.stop)
        deadline = time.monotonic() + 20
        while not is_mount(self.folder):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"faultfs did not mount {self.folder}: {self.log_path.read_text()[-1500:]}")
            time.sleep(0.05)

    def hold(self):
        """From now on the "[gate]" entries wait until open_gate."""
        Path(gate_path(self.folder)).touch()

    def open_gate(self):
        Path(gate_path(self.folder)).unlink(missing_ok=True)

    def reached_gate(self):
        """The "[gate]" paths (from the mount's root) looked up or read so far, and the "[held]" ones
        read past their first chunk, each once, in order."""
        with contextlib.suppress(FileNotFoundError):
            lines = Path(f"{gate_path(self.folder)}.reached").read_text(encoding="utf-8").splitlines()
            return list(dict.fromkeys(lines))
        return []

    def served_end(self, path):
        """How far into the "[held]" file at path (from the mount's root) reads were answered."""
        with contextlib.suppress(FileNotFoundError):
            lines = Path(f"{gate_path(self.folder)}.served").read_text(encoding="utf-8").splitlines()
            return max((int(end) for end, name in (line.split(" ", 1) for line in lines) if name == path), default=0)
        return 0

    def stop(self):
        self.open_gate()
        unmount(str(self.folder))
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)


# --- the audit -----------------------------------------------------------------------------

def source_listing(root):
    """Relative path -> ('dir', None, None) or ('file', size, sha256), read now."""
    from harness import tree_listing
    return tree_listing(root, IGNORED_NAMES)


def run_lines(lines, letter, nth_run=-1):
    """The lines of one run of a letter: from its "Copying..." to its end line ("Finished...",
    "Stopped.", "Stopped: the volume in X: was changed."), prefix removed."""
    prefix = f"[{letter}]: "
    own = [line[len(prefix):] for line in lines if line.startswith(prefix)]
    starts = [i for i, text in enumerate(own) if text == "Copying..."]
    if not starts:
        return []
    start = starts[nth_run]
    for end in range(start, len(own)):
        if is_run_end(own[end]):
            return own[start:end + 1]
    return own[start:]


def is_run_end(text):
    return text.startswith("Finished") or text == "Stopped." or text.startswith("Stopped: the volume")


def _failure_subject(text, prefix):
    rest = text[len(prefix):]
    if rest.endswith(" is a link."):
        return rest[:-len(" is a link.")], "a link"
    cut = rest.find(": ", 3)  # past "Q:\"; no name holds a colon
    return (rest[:cut], rest[cut + 2:]) if cut >= 0 else (rest, "")


class Audit:
    """One run's copy held against its source: every file identical, or reported as failed."""

    def __init__(self, source, destination, lines, letter, destination_windows, unreadable=()):
        self.identical = []
        self.reported_missing = []  # failed and reported, nothing left behind
        self.unreported = []        # missing or different without a report: lost silently
        self.corrupt = []           # present but not the source's bytes: looks copied, is not
        self.extra = []
        self.temporary = []         # unfinished files left under their temporary name, reported
        self.lost_readable = []     # readable at the source, not identical at the destination (reported or not)
        self.failures = {}          # relative path -> reason, from the log
        self.failed_folders = set()
        drive = f"{letter}:\\"
        dest_prefix = destination_windows.rstrip("\\") + "\\"
        for text in lines:
            for prefix in FAILURE_PREFIXES:
                if not text.startswith(prefix):
                    continue
                path, reason = _failure_subject(text, prefix)
                if path.startswith(dest_prefix):
                    rel = path[len(dest_prefix):]
                elif path.upper().startswith(drive.upper()):
                    rel = path[len(drive):]
                else:
                    rel = path
                rel = rel.replace("\\", "/").strip("/")
                if prefix.startswith(("CopyFileEx", "MoveFileEx", "Not copied")):
                    self.failures[rel] = reason
                elif not prefix.startswith("GetFileAttributesEx"):
                    self.failed_folders.add(rel)
        from harness import tree_listing
        have = tree_listing(destination, IGNORED_NAMES) if Path(destination).exists() else {}
        unreadable = set(unreadable)
        for rel in sorted(source):
            want, got = source[rel], have.get(rel)
            if got == want:
                if want[0] == "file":
                    self.identical.append(rel)
                continue
            reported = rel in self.failures or self._in_failed_folder(rel)
            if got is not None and want[0] == "file":
                self.corrupt.append(f"{rel}: {got[1]} bytes, expected {want[1]}")
            elif not reported:
                self.unreported.append(rel)
            elif want[0] == "file":
                self.reported_missing.append(rel)
            if want[0] == "file" and rel not in unreadable:
                self.lost_readable.append(rel)
        for rel in sorted(have.keys() - source.keys()):
            # A file the program could not remove after a failure: named as unfinished, no copy.
            if rel.endswith(TEMPORARY_SUFFIX) and rel[:-len(TEMPORARY_SUFFIX)] in self.failures:
                self.temporary.append(rel)
                continue
            self.extra.append(rel)

    def _in_failed_folder(self, rel):
        parts = rel.split("/")
        return any("/".join(parts[:i]) in self.failed_folders for i in range(0, len(parts) + 1))

    def problems(self):
        """What no fault may cause: silent losses, files that look copied but are not, strays."""
        lines = [f"not reported: {rel}" for rel in self.unreported]
        lines += [f"partial or wrong: {rel}" for rel in self.corrupt]
        lines += [f"extra: {rel}" for rel in self.extra]
        return lines

    def summary(self):
        return (f"{len(self.identical)} identical, {len(self.reported_missing)} reported as failed, "
                f"{len(self.lost_readable)} readable files not copied, {len(self.problems())} problems")


# --- the program's process -----------------------------------------------------------------

def wine_process_of(exe_name="harvex.exe", prefix_path=None):
    """The Linux pid of the Wine process that runs exe_name (in the given prefix): Wine names the
    process after the program; of several, the one with the most threads."""
    best = None
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        with contextlib.suppress(OSError, ValueError, KeyError):
            if (entry / "comm").read_text().strip().lower() != exe_name.lower()[:15]:
                continue
            if prefix_path is not None:
                environ = (entry / "environ").read_bytes().split(b"\0")
                if f"WINEPREFIX={prefix_path}".encode() not in environ:
                    continue
            threads, _ = process_resources(int(entry.name))
            if best is None or threads > best[0]:
                best = (threads, int(entry.name))
    return best[1] if best else None


def process_resources(pid):
    """Thread count and resident memory (KiB) of a process."""
    status = Path(f"/proc/{pid}/status").read_text()
    fields = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
    return int(fields["Threads"].strip()), int(fields["VmRSS"].split()[0])


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "faultfs":
        serve_faultfs(sys.argv[2], sys.argv[3])
    else:
        sys.exit("usage: faults_support.py faultfs BACKING MOUNTPOINT")
