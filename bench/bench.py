#!/usr/bin/env python3
"""Copy speed of Harvex, measured side by side with the tools a person would copy with.

Run through bench/run.sh, which builds the programs, installs rsync and gnuplot, and runs this
script in a private mount namespace (every tmpfs it mounts goes away with it).

    bench.py [--quick] [--scale F] [--runs N] [--parts engine,trust,wine,memory,card-model] [--docs]

Parts:
  engine  engine_copy (one CDriveJob run with the dialog's report handling, log level 2) against
          cp -a and rsync -a on the trees "small", "card" and "large"; on "small" also against the
          same engine with a null host (reports go nowhere).
  trust   engine_copy with "Verify copies" against the same without it, on every tree; on "small"
          also a second arrival of the unchanged tree with "Copy only files not copied before"
          against the first copy.
  wine    harvex.exe under Wine, from the arrival message to "Complete." at log level 2, against
          barecopy.exe (FindFirstFileW + CopyFileExW, no reports) under the same Wine, on "small"
          and "card"; meanwhile hxprobe pings the dialog every 50 ms.
  memory  harvex.exe's memory after 100,000 logged files, and its growth per line.
  card-model
          the source tree on an ext4 image on a loop device, mounted anew read-only before every
          run, its reads limited by the blkio cgroup (io.max under cgroup v2) like a UHS-I SD card
          (90 MB/s, 2,000 reads a second) or a CFexpress card (1,000 MB/s), the commands run inside
          the cgroup: Verify copies / engine, engine / cp -a, engine / rsync -a, two destinations /
          one (where engine_copy takes --also-copy-to), and the bytes each run read from the device;
          on tmpfs: Verify copies against a floor (cp -a, then one SHA-256 pass over the copy on one
          thread) and two destinations / one. Trees at a quarter of the others' scale.

Each comparison runs its commands in turns (A B A B ...): one warm-up round, then --runs counted
rounds, the destination a fresh private tmpfs before every run. The figures are the median of the
per-round ratio A/B with its min and max. Absolute times are printed for reference only.
Results go to build/bench-results/; --docs (the default of a full run) also rewrites the results
part of docs/benchmarks.md and the plot docs/benchmark-ratios.png.
"""

import argparse
import contextlib
import datetime
import json
import os
import platform as host_platform
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
ENGINE_BUILD = ROOT / "build" / "bench-release"
WIN_BUILD = ROOT / "build" / "bench-win"
ENGINE_COPY = ENGINE_BUILD / "engine_copy"
BARECOPY_EXE = WIN_BUILD / "barecopy.exe"
WORK = ROOT / "build" / "bench-work"
RESULTS_DIR = ROOT / "build" / "bench-results"
DOCS_PAGE = ROOT / "docs" / "benchmarks.md"
PLOT_PNG = ROOT / "docs" / "benchmark-ratios.png"

# The e2e harness reads the program paths when it is imported.
os.environ.setdefault("HARVEX_EXE", str(WIN_BUILD / "harvex.exe"))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402

MiB = 1 << 20
GiB = 1 << 30

# Targets: the highest median ratio that passes.
ENGINE_TARGET = 1.10
# "Verify copies" against the same copy without it, per tree; a second arrival of an unchanged tree
# with "Copy only files not copied before" against the first copy.
VERIFY_TARGETS = {"small": 2.0, "card": 1.6, "large": 1.6}
ONLY_NEW_TARGET = 0.25
WINE_TARGET = 1.15
# harvex.exe against the bare walker that files its copies under temporary names as harvex.exe does.
WINE_TEMPORARY_NAMES_TARGET = 1.10
PING_TARGET_MS = 100.0

SETTINGS_KEY = harness.SETTINGS_KEY
IDC_CLEAR = 1015
IDC_PROGRESS_TEXT = 1016
IDC_LOG_EDIT = 1019
SOURCE_LETTER = "Q"
DESTINATION_LETTER = "D"
PING_INTERVAL_MS = 50


def say(text):
    print(text, flush=True)


# --- trees ----------------------------------------------------------------------------------

class TreeSpec:
    """A deterministic tree: `files` files of `size` bytes spread evenly over `folders` folders."""

    def __init__(self, name, folders, files, size, folder_name, file_name):
        self.name = name
        self.folders = folders
        self.files = files
        self.size = size
        self.folder_name = folder_name
        self.file_name = file_name

    @property
    def total_bytes(self):
        return self.files * self.size

    def describe(self):
        return f"{self.files:,} files of {human_size(self.size)} in {self.folders} folder(s)"

    def paths(self):
        per_folder = -(-self.files // self.folders)
        for index in range(self.files):
            folder = index // per_folder
            yield index, f"{self.folder_name(folder)}/{self.file_name(index)}"


def tree_specs(scale):
    """The three trees at a scale (1.0: 20,000 x 4 KiB, 400 x 3 MiB, 2 x 1 GiB)."""
    def count(n, least=1):
        return max(least, int(round(n * scale)))

    return {
        "small": TreeSpec("small", count(200), count(20000, 10), 4096,
                          lambda f: f"folder{f:03d}", lambda i: f"file{i:05d}.dat"),
        "card": TreeSpec("card", 4, count(400, 4), 3 * MiB,
                         lambda f: f"DCIM/{100 + f}CANON", lambda i: f"IMG_{i + 1:04d}.JPG"),
        "large": TreeSpec("large", 1, 2, max(MiB, int(GiB * scale) // MiB * MiB),
                          lambda f: "PRIVATE/M4ROOT/CLIP", lambda i: f"C{i + 1:04d}.MP4"),
    }


def memory_spec(files):
    # At most 1,000 files a folder: Wine looks for a name that is not there yet (each new file, each
    # temporary name) by reading the whole folder, so far fuller folders measure that, not memory.
    folders = max(100, -(-files // 1000))
    return TreeSpec("memory", folders, files, 16, lambda f: f"dir{f:04d}", lambda i: f"f{i:07d}.txt")


class PatternSource:
    """Deterministic bytes that differ from file to file and from MiB to MiB (no holes, no runs)."""

    def __init__(self, seed=20240607):
        generator = random.Random(seed)
        self.block = generator.randbytes(MiB + 65536)

    def chunk(self, file_index, chunk_index, length):
        offset = (file_index * 7919 + chunk_index * 104729) % 65536
        return self.block[offset:offset + length]


def write_tree(spec, root, pattern):
    root.mkdir(parents=True, exist_ok=True)
    made = set()
    for index, relative in spec.paths():
        path = root / relative
        if path.parent not in made:
            path.parent.mkdir(parents=True, exist_ok=True)
            made.add(path.parent)
        with open(path, "wb") as out:
            left, chunk_index = spec.size, 0
            while left > 0:
                length = min(left, MiB)
                out.write(pattern.chunk(index, chunk_index, length))
                left -= length
                chunk_index += 1


def human_size(size):
    for unit in ("B", "KiB", "MiB", "GiB"):
        if size < 1024 or unit == "GiB":
            return f"{size:g} {unit}"
        size /= 1024
    return f"{size:g} GiB"


# --- mounts ---------------------------------------------------------------------------------

class Mounts:
    """tmpfs mounts of this run; all are unmounted on close (and vanish with the namespace)."""

    def __init__(self):
        self.active = []

    def mount(self, path, size_bytes):
        path = Path(path)
        path.mkdir(parents=True, exist_ok=True)
        size = max(16 * MiB, size_bytes)
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0755", "bench", str(path)], check=True)
        self.active.append(path)
        return path

    def unmount(self, path):
        path = Path(path)
        subprocess.run(["umount", str(path)], check=True)
        self.active.remove(path)

    def fresh(self, path, size_bytes):
        """An empty tmpfs at path, replacing the one there."""
        if Path(path) in self.active:
            self.unmount(path)
        return self.mount(path, size_bytes)

    def close(self):
        for path in reversed(list(self.active)):
            subprocess.run(["umount", "-l", str(path)], check=False)
        self.active.clear()


def tree_mount_size(spec):
    # tmpfs charges whole pages per file and a little per folder.
    per_file = -(-spec.size // 4096) * 4096
    return spec.files * per_file + spec.folders * 4096 + 64 * MiB


# --- measuring ------------------------------------------------------------------------------

def timed(args, *, what, timeout=1800, env=None):
    """Runs a command; gives its wall time and its CPU time (user + system, with its threads and
    children) in seconds. Output goes to a file, kept on failure."""
    log_path = WORK / "last-command.log"
    with open(log_path, "wb") as sink:
        start = time.perf_counter()
        process = subprocess.Popen([str(a) for a in args], stdin=subprocess.DEVNULL, stdout=sink, stderr=sink,
                                   env=env)
        timer = threading.Timer(timeout, process.kill)
        timer.start()
        try:
            _, status, usage = os.wait4(process.pid, 0)
        finally:
            timer.cancel()
        elapsed = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise RuntimeError(f"{what}: exit code {process.returncode}; output in {log_path}:\n"
                           f"{log_path.read_text('utf-8', 'replace')[-2000:]}")
    return Timing(elapsed, usage.ru_utime + usage.ru_stime)


class Timing(float):
    """Wall seconds that also carry the CPU seconds of the run, where known."""

    def __new__(cls, wall, cpu=None):
        timing = super().__new__(cls, wall)
        timing.cpu = cpu
        return timing


class Comparison:
    """Rounds of several commands; each command's time per round, and ratios of pairs per round."""

    def __init__(self, tree, names):
        self.tree = tree
        self.names = names
        self.times = {name: [] for name in names}

    def add_round(self, times):
        for name in self.names:
            self.times[name].append(times[name])

    def ratio(self, a, b):
        ratios = [x / y for x, y in zip(self.times[a], self.times[b])]
        return {"median": statistics.median(ratios), "min": min(ratios), "max": max(ratios), "all": ratios}

    def cpu_ratio(self, a, b):
        """The median of the per-round ratio of CPU times, or None where they were not measured."""
        pairs = [(x.cpu, y.cpu) for x, y in zip(self.times[a], self.times[b])
                 if getattr(x, "cpu", None) and getattr(y, "cpu", None)]
        return statistics.median(x / y for x, y in pairs) if pairs else None

    def median_time(self, name):
        return statistics.median(self.times[name])


def run_rounds(tree, steps, runs, verify=None):
    """steps: [(name, prepare(), run() -> seconds)]. One warm-up round (verified), then runs rounds."""
    comparison = Comparison(tree, [name for name, _, _ in steps])
    for round_index in range(runs + 1):
        times = {}
        for name, prepare, run in steps:
            prepare()
            times[name] = run()
            if round_index == 0 and verify is not None:
                verify(name)
        label = "warm-up" if round_index == 0 else f"run {round_index}"
        say(f"    {label:8s} " + "  ".join(f"{name} {seconds:7.3f} s" for name, seconds in times.items()))
        if round_index > 0:
            comparison.add_round(times)
    return comparison


def same_tree(expected, actual):
    result = subprocess.run(["diff", "-r", "-q", str(expected), str(actual)], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise RuntimeError(f"the copy in {actual} differs from {expected}:\n{result.stdout.decode()[-2000:]}")


# --- the native engine ----------------------------------------------------------------------

def bench_engine(specs, sources, mounts, runs):
    destination = WORK / "mnt" / "dst"
    results = {}
    for name, spec in specs.items():
        source = sources[name]
        size = tree_mount_size(spec)
        say(f"  engine, tree {name!r} ({spec.describe()})")

        def fresh():
            mounts.fresh(destination, size)

        commands = [
            ("engine", [ENGINE_COPY, source, destination, "--host=dialog", "--level=2"], destination / "copy"),
            ("engine-50ms", [ENGINE_COPY, source, destination, "--host=dialog", "--level=2", "--batch-ms=50"],
             destination / "copy"),
            ("cp", ["cp", "-a", source, destination / "copy"], destination / "copy"),
            ("rsync", ["rsync", "-a", f"{source}/", f"{destination}/copy/"], destination / "copy"),
        ]
        if name == "small":
            commands.insert(1, ("engine-null", [ENGINE_COPY, source, destination, "--host=null", "--level=2"],
                                destination / "copy"))
        steps = [(label, fresh, lambda args=args, label=label: timed(args, what=label))
                 for label, args, _ in commands]
        copies = {label: target for label, _, target in commands}
        comparison = run_rounds(name, steps, runs, verify=lambda label: same_tree(source, copies[label]))
        results[name] = comparison
    mounts.unmount(destination)
    return results


def bench_trust(specs, sources, mounts, runs):
    """engine_copy with "Verify copies" against without, on every tree; on "small", a second arrival
    with "Copy only files not copied before" (into a folder of its own) against the first."""
    destination = WORK / "mnt" / "dst"
    results = {}
    for name, spec in specs.items():
        source = sources[name]
        size = tree_mount_size(spec) * 2 + (64 << 20)
        say(f"  verify and only-new, tree {name!r} ({spec.describe()})")

        def fresh():
            mounts.fresh(destination, size)

        def no_preparation():
            pass

        engine = [ENGINE_COPY, source, destination, "--host=dialog", "--level=2"]
        steps = [
            ("plain", fresh, lambda: timed(engine, what="engine")),
            ("verify", fresh, lambda: timed(engine + ["--verify"], what="engine --verify")),
        ]
        if name == "small":
            steps += [
                ("first", fresh, lambda: timed(engine + ["--only-new"], what="engine --only-new")),
                ("again", no_preparation, lambda: timed(engine + ["--only-new"], what="engine --only-new, again")),
            ]

        def check(label):
            if label == "again":
                left = sorted(entry.name for entry in destination.iterdir())
                if left != ["copy", "copy.copied"]:
                    raise RuntimeError(f"a second arrival of an unchanged tree left {left}")
                return
            same_tree(source, destination / "copy")
            if label == "verify":
                check_list = subprocess.run(["sha256sum", "--quiet", "--strict", "-c", "copy.sha256"],
                                            cwd=destination, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                if check_list.returncode != 0:
                    raise RuntimeError(f"sha256sum -c failed:\n{check_list.stdout.decode()[-2000:]}")

        results[name] = run_rounds(name, steps, runs, verify=check)
    mounts.unmount(destination)
    return results


# --- the card model -------------------------------------------------------------------------
#
# On tmpfs a copy costs only CPU. A card's reads are the slow part, so the card model puts the source
# tree on an ext4 image on a loop device, mounted anew (read-only) before every run so nothing comes
# from the page cache, and limits the reads of the copying command with the blkio cgroup.

class CardModel:
    def __init__(self, key, title, read_bps, read_iops):
        self.key = key
        self.title = title
        self.read_bps = read_bps
        self.read_iops = read_iops


SD_CARD = CardModel("sd", "card model 90 MB/s", 90_000_000, 2000)
CFEXPRESS_CARD = CardModel("cfexpress", "card model 1,000 MB/s", 1_000_000_000, None)
# The card model's trees, as a scale of tree_specs: small 5,000 x 4 KiB, card 100 x 3 MiB, large
# 2 x 256 MiB (at 90 MB/s the full-size "large" takes 24 s a run).
CARD_MODEL_SCALE = 0.25
CARD_TARGETS = {"verify-sd": 1.05, "verify-cfexpress": 1.30, "verify-floor": 1.25, "two-sd": 1.05,
                "two-tmpfs": 1.35, "two-bytes": 1.02, "rsync": 0.90, "cp": 1.10}
NO_SECOND_DESTINATION = "not measured: engine without a second destination"


def device_number(device):
    rdev = os.stat(device).st_rdev
    return f"{os.major(rdev)}:{os.minor(rdev)}"


class ReadThrottle:
    """A cgroup of its own whose processes' reads from chosen block devices are limited, and that
    counts the bytes they read. blkio under cgroup v1, io.max and io.stat under v2."""

    V1_ROOT = Path("/sys/fs/cgroup/blkio")
    V2_ROOT = Path("/sys/fs/cgroup")

    def __init__(self, name):
        if (self.V1_ROOT / "blkio.throttle.read_bps_device").exists():
            self.v2 = False
            self.path = self.V1_ROOT / name
        elif "io" in (self.V2_ROOT / "cgroup.controllers").read_text().split():
            self.v2 = True
            self.path = self.V2_ROOT / name
            (self.V2_ROOT / "cgroup.subtree_control").write_text("+io")
        else:
            raise RuntimeError("no blkio (cgroup v1) or io (cgroup v2) controller")
        self.path.mkdir()

    def limit(self, device, read_bps, read_iops):
        """Limits (None: no limit) the reads from one device."""
        number = device_number(device)
        if self.v2:
            (self.path / "io.max").write_text(f"{number} rbps={read_bps or 'max'} riops={read_iops or 'max'}")
            return
        # Under v1 a limit of 0 removes the rule.
        (self.path / "blkio.throttle.read_bps_device").write_text(f"{number} {read_bps or 0}")
        (self.path / "blkio.throttle.read_iops_device").write_text(f"{number} {read_iops or 0}")

    def reads(self, device):
        """(bytes, requests) the cgroup's processes have read from the device."""
        number = device_number(device)
        if self.v2:
            for line in (self.path / "io.stat").read_text().splitlines():
                fields = dict(f.split("=", 1) for f in line.split()[1:] if "=" in f)
                if line.split()[:1] == [number]:
                    return int(fields.get("rbytes", 0)), int(fields.get("rios", 0))
            return 0, 0
        return (self._v1_read_count("blkio.throttle.io_service_bytes", number),
                self._v1_read_count("blkio.throttle.io_serviced", number))

    def _v1_read_count(self, file_name, number):
        for line in (self.path / file_name).read_text().splitlines():
            fields = line.split()
            if len(fields) == 3 and fields[0] == number and fields[1] == "Read":
                return int(fields[2])
        return 0

    def command(self, args):
        """args run inside the cgroup: a shell joins it, then becomes the command."""
        return ["sh", "-c", 'echo $$ > "$0" && exec "$@"', str(self.path / "cgroup.procs"), *map(str, args)]

    def close(self):
        # Only commands this script started are in the cgroup; one left by an interrupted run goes.
        procs = self.path / "cgroup.procs"
        for attempt in range(50):
            if not self.path.exists():
                return
            with contextlib.suppress(OSError):
                for pid in procs.read_text().split():
                    with contextlib.suppress(ProcessLookupError):
                        os.kill(int(pid), signal.SIGKILL)
            with contextlib.suppress(OSError):
                self.path.rmdir()
                return
            time.sleep(0.1)
        say(f"card model: could not remove the cgroup {self.path}")


class CardVolume:
    """A tree on an ext4 image on a loop device, mounted read-only anew for every run."""

    def __init__(self, spec, image, mount_point):
        self.spec = spec
        self.image = Path(image)
        self.mount_point = Path(mount_point)
        self.device = None
        self.mounted = False

    @property
    def source(self):
        return self.mount_point / self.spec.name

    def create(self, pattern):
        size = tree_mount_size(self.spec) + self.spec.total_bytes // 16 + 64 * MiB
        self.image.parent.mkdir(parents=True, exist_ok=True)
        self.image.unlink(missing_ok=True)
        with open(self.image, "wb") as image:
            image.truncate(size)
        # No journal and no lazy initialisation: nothing writes to the image in the background.
        subprocess.run(["mkfs.ext4", "-q", "-F", "-m", "0", "-O", "^has_journal",
                        "-E", "lazy_itable_init=0,lazy_journal_init=0", str(self.image)], check=True)
        self.device = subprocess.run(["losetup", "-f", "--show", str(self.image)], check=True,
                                     stdout=subprocess.PIPE).stdout.decode().strip()
        self.mount_point.mkdir(parents=True, exist_ok=True)
        subprocess.run(["mount", self.device, str(self.mount_point)], check=True)
        self.mounted = True
        write_tree(self.spec, self.source, pattern)
        self.unmount()

    def remount(self):
        """Mounted anew, read-only: the tree's pages and the device's buffers are gone."""
        self.unmount()
        subprocess.run(["mount", "-o", "ro", self.device, str(self.mount_point)], check=True)
        self.mounted = True

    def unmount(self):
        if self.mounted:
            subprocess.run(["umount", str(self.mount_point)], check=True)
            self.mounted = False
        subprocess.run(["blockdev", "--flushbufs", self.device], check=True)

    def close(self):
        if self.mounted:
            subprocess.run(["umount", "-l", str(self.mount_point)], check=False)
            self.mounted = False
        if self.device:
            subprocess.run(["losetup", "-d", self.device], check=False)
            self.device = None
        self.image.unlink(missing_ok=True)


def engine_has_second_destination():
    """Whether engine_copy takes --also-copy-to=DIR: a one-file copy must land in both folders."""
    probe = WORK / "second-destination-probe"
    shutil.rmtree(probe, ignore_errors=True)
    source, first, second = probe / "src", probe / "dst", probe / "dst2"
    for folder in (source, first, second):
        folder.mkdir(parents=True)
    (source / "probe.txt").write_text("probe\n")
    try:
        result = subprocess.run([str(ENGINE_COPY), str(source), str(first), "--host=null",
                                 f"--also-copy-to={second}"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return result.returncode == 0 and any(second.rglob("probe.txt"))
    finally:
        shutil.rmtree(probe, ignore_errors=True)


def second_copy(destination):
    """The copy's folder in the second destination: "copy" where the engine names it so, else the only folder."""
    if (destination / "copy").is_dir():
        return destination / "copy"
    folders = [entry for entry in destination.iterdir() if entry.is_dir()]
    if len(folders) != 1:
        raise RuntimeError(f"the second destination {destination} holds {sorted(f.name for f in folders)}")
    return folders[0]


def check_checksum_list(destination):
    result = subprocess.run(["sha256sum", "--quiet", "--strict", "-c", "copy.sha256"], cwd=destination,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise RuntimeError(f"sha256sum -c failed:\n{result.stdout.decode()[-2000:]}")


def card_commands(names, source, destination, second_destination):
    """The commands of a card-model comparison by name: (arguments, or a list of them run one after
    the other and timed together)."""
    engine = [ENGINE_COPY, source, destination, "--host=dialog", "--level=2"]
    copy = destination / "copy"
    hash_copy = ["sh", "-c", 'cd "$0" && find . -type f -print0 | xargs -0 openssl dgst -sha256 >/dev/null', copy]
    table = {
        "plain": [engine],
        "verify": [engine + ["--verify"]],
        "two": [engine + [f"--also-copy-to={second_destination}"]],
        "cp": [["cp", "-a", source, copy]],
        "rsync": [["rsync", "-a", f"{source}/", f"{copy}/"]],
        "floor": [["cp", "-a", source, copy], hash_copy],
        "read": [["sh", "-c", 'find "$0" -type f -exec cat {} + >/dev/null', source]],
    }
    return {name: table[name] for name in names}


def bench_card_setting(setting, spec, source, names, mounts, runs, throttle=None, volume=None):
    """One comparison: the named commands in turns, each from a freshly mounted source (a card
    model) into a fresh tmpfs, inside the throttled cgroup when there is one; each run's time
    carries the bytes it read from the card's device."""
    destination, second_destination = WORK / "mnt" / "dst", WORK / "mnt" / "dst2"
    size = tree_mount_size(spec)
    commands = card_commands(names, source, destination, second_destination)
    say(f"  card model, {setting}, tree {spec.name!r} ({spec.describe()}): {', '.join(names)}")

    def prepare(name):
        mounts.fresh(destination, size * (2 if name == "verify" else 1))
        if name == "two":
            mounts.fresh(second_destination, size)
        if volume is not None:
            volume.remount()

    def run(name):
        wall, cpu, before = 0.0, 0.0, throttle.reads(volume.device) if volume else (0, 0)
        for args in commands[name]:
            timing = timed(throttle.command(args) if throttle else args, what=f"{name} ({setting})")
            wall, cpu = wall + timing, cpu + timing.cpu
        result = Timing(wall, cpu)
        result.read_bytes = result.read_requests = None
        if volume is not None:
            after = throttle.reads(volume.device)
            result.read_bytes, result.read_requests = after[0] - before[0], after[1] - before[1]
        return result

    def check(name):
        if name == "read":
            return
        same_tree(source, destination / "copy")
        if name == "verify":
            check_checksum_list(destination)
        if name == "two":
            same_tree(source, second_copy(second_destination))

    steps = [(name, lambda name=name: prepare(name), lambda name=name: run(name)) for name in names]
    comparison = run_rounds(spec.name, steps, runs, verify=check)
    comparison.setting = setting
    comparison.tree_bytes = spec.total_bytes
    return comparison


def bench_card_model(specs, mounts, runs, pattern):
    """The card-model comparisons: {(setting, tree): Comparison}, and whether two destinations were
    measured. Every loop device, mount and the cgroup go on every way out."""
    two = engine_has_second_destination()
    if not two:
        say(f"  two destinations: {NO_SECOND_DESTINATION} (engine_copy refuses --also-copy-to)")
    with_two = ["two"] if two else []
    plan = {
        SD_CARD: {"small": ["plain", "rsync", "read"], "card": ["plain", "verify", "cp"] + with_two,
                  "large": ["plain", "verify", "cp", "read"] + with_two},
        CFEXPRESS_CARD: {"card": ["plain", "verify"], "large": ["plain", "verify", "read"]},
    }
    results = {}
    with contextlib.ExitStack() as cleanup:
        throttle = ReadThrottle(f"harvex-bench-{os.getpid()}")
        cleanup.callback(throttle.close)
        volumes = {}
        for name in ("small", "card", "large"):
            volume = CardVolume(specs[name], WORK / f"card-{name}.img", WORK / "mnt" / f"card-{name}")
            cleanup.callback(volume.close)
            volume.create(pattern)
            volumes[name] = volume
        for model, trees in plan.items():
            for name, volume in volumes.items():
                throttle.limit(volume.device, model.read_bps, model.read_iops)
            for name, names in trees.items():
                volume = volumes[name]
                results[(model.title, name)] = bench_card_setting(model.title, specs[name], volume.source, names,
                                                                  mounts, runs, throttle, volume)
    for name in ("card", "large"):
        source_mount = mounts.mount(WORK / "mnt" / f"tmpfs-src-{name}", tree_mount_size(specs[name]))
        write_tree(specs[name], source_mount / name, pattern)
        results[("tmpfs", name)] = bench_card_setting("tmpfs", specs[name], source_mount / name,
                                                      ["plain", "verify", "floor"] + with_two, mounts, runs)
        mounts.unmount(source_mount)
    for path in (WORK / "mnt" / "dst", WORK / "mnt" / "dst2"):
        if path in mounts.active:
            mounts.unmount(path)
    return results, two


def card_rows(results, two):
    """The card model's rows; those of two destinations say so where the engine lacks them."""
    rows = []

    def add(setting, tree, a, b, target, label):
        comparison = results.get((setting, tree))
        if comparison is None:
            return
        if a == "two" and not two:
            rows.append({"label": label, "tree": tree, "median": None, "verdict": "not measured", "target": target})
            return
        row = ratio_row(comparison, a, b, target, label)
        row["setting"] = setting
        rows.append(row)

    for tree in ("card", "large"):
        add(SD_CARD.title, tree, "verify", "plain", CARD_TARGETS["verify-sd"],
            f"Verify copies / engine, {SD_CARD.title}")
        add(CFEXPRESS_CARD.title, tree, "verify", "plain", CARD_TARGETS["verify-cfexpress"],
            f"Verify copies / engine, {CFEXPRESS_CARD.title}")
        add("tmpfs", tree, "verify", "floor", CARD_TARGETS["verify-floor"],
            "Verify copies / floor (cp -a, then openssl dgst -sha256 over the copy), tmpfs")
        add("tmpfs", tree, "verify", "plain", float("inf"), "Verify copies / engine, tmpfs")
        add(SD_CARD.title, tree, "two", "plain", CARD_TARGETS["two-sd"], f"two destinations / one, {SD_CARD.title}")
        add("tmpfs", tree, "two", "plain", CARD_TARGETS["two-tmpfs"], "two destinations / one, tmpfs")
    add(SD_CARD.title, "small", "plain", "rsync", CARD_TARGETS["rsync"], f"engine / rsync -a, {SD_CARD.title}")
    for tree in ("card", "large"):
        add(SD_CARD.title, tree, "plain", "cp", CARD_TARGETS["cp"], f"engine / cp -a, {SD_CARD.title}")
    add(SD_CARD.title, "small", "rsync", "read", float("inf"), f"rsync -a / reading the tree (cat), {SD_CARD.title}")
    for model in (SD_CARD, CFEXPRESS_CARD):
        for tree in ("small", "large"):
            add(model.title, tree, "plain", "read", float("inf"), f"engine / reading the tree (cat), {model.title}")
    return rows


def card_read_rows(results, two):
    """Bytes read from the card's device per run, against the tree's size."""
    rows = []
    for (setting, tree), comparison in results.items():
        if setting == "tmpfs":
            continue
        for name in comparison.names:
            ratios = [t.read_bytes / comparison.tree_bytes for t in comparison.times[name]]
            target = CARD_TARGETS["two-bytes"] if name == "two" else None
            requests = statistics.median(t.read_requests for t in comparison.times[name])
            rows.append({"setting": setting, "tree": tree, "command": name, "median": statistics.median(ratios),
                         "requests": requests,
                         "min": min(ratios), "max": max(ratios), "target": target,
                         "verdict": "-" if target is None else ("met" if statistics.median(ratios) <= target
                                                                else "MISSED")})
    if not two:
        rows.append({"setting": SD_CARD.title, "tree": "card", "command": "two", "median": None,
                     "target": CARD_TARGETS["two-bytes"], "verdict": "not measured"})
    return rows


CARD_COMMAND_NAMES = {"plain": "engine", "verify": "engine --verify", "two": "engine --also-copy-to",
                      "cp": "cp -a", "rsync": "rsync -a", "read": "cat of every file"}


def format_card_tables(rows, read_rows):
    lines = ["| comparison (A / B) | tree | median A/B | min | max | target | A median | B median | CPU A/B |",
             "|---|---|---|---|---|---|---|---|---|"]
    for row in rows:
        if row["median"] is None:
            lines.append(f"| {row['label']} | {row['tree']} | {NO_SECOND_DESTINATION} | | | "
                         f"<= {row['target']:.2f} | | | |")
            continue
        target = "-" if row["target"] == float("inf") else f"<= {row['target']:.2f} ({row['verdict']})"
        cpu = "-" if row.get("cpu_ratio") is None else f"{row['cpu_ratio']:.3f}"
        lines.append(f"| {row['label']} | {row['tree']} | {row['median']:.3f} | {row['min']:.3f} | "
                     f"{row['max']:.3f} | {target} | {row['time_a']:.3f} s | {row['time_b']:.3f} s | {cpu} |")
    read = ["| bytes read from the card's device per run / tree size | tree | command | median | min | max | "
            "target | read requests (median) |", "|---|---|---|---|---|---|---|---|"]
    for row in read_rows:
        command = CARD_COMMAND_NAMES[row["command"]]
        if row["median"] is None:
            read.append(f"| {row['setting']} | {row['tree']} | {command} | {NO_SECOND_DESTINATION} | | | "
                        f"<= {row['target']:.2f} | |")
            continue
        target = "-" if row["target"] is None else f"<= {row['target']:.2f} ({row['verdict']})"
        read.append(f"| {row['setting']} | {row['tree']} | {command} | {row['median']:.3f} | {row['min']:.3f} | "
                    f"{row['max']:.3f} | {target} | {row['requests']:,.0f} |")
    return "\n".join(lines) + "\n\n" + "\n".join(read)


def card_times_record(results):
    """Per comparison and command: [wall s, CPU s, bytes read, read requests] of each counted run."""
    return {f"{setting} / {tree}": {name: [[t, t.cpu, t.read_bytes, t.read_requests] for t in times]
                                    for name, times in comparison.times.items()}
            for (setting, tree), comparison in results.items()}


def sha256_speed():
    """libcrypto's SHA-256 on one core in MB/s (openssl speed, 16 KiB blocks), or None."""
    result = subprocess.run(["openssl", "speed", "-evp", "sha256", "-bytes", "16384", "-seconds", "2"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    for line in result.stdout.decode().splitlines():
        fields = line.split()
        if fields and fields[0] == "sha256" and fields[-1].endswith("k"):
            return float(fields[-1][:-1]) * 1000 / 1e6
    return None


def load_text():
    return ", ".join(f"{value:.2f}" for value in os.getloadavg()) + " (1, 5, 15 minutes)"


# --- harvex.exe under Wine ------------------------------------------------------------------

class Pinger:
    """hxprobe in the background: one WM_NULL round trip to the dialog every 50 ms."""

    PAIRS_PER_PROCESS = 400

    def __init__(self, prefix, hwnd):
        self.prefix = prefix
        self.hwnd = hwnd
        self.samples_ms = []
        self.failures = 0
        self._stop = threading.Event()
        self._thread = None
        self._process = None
        self._lock = threading.Lock()

    def __enter__(self):
        self._stop.clear()
        self._thread = threading.Thread(target=self._loop, daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        with self._lock:
            process = self._process
        if process is not None:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, 9)
        self._thread.join(timeout=30)
        return False

    def _loop(self):
        argv = ["wine", f"{harness.WINDOWS_DIR}\\hxprobe.exe", "target", "hwnd", self.hwnd]
        for _ in range(self.PAIRS_PER_PROCESS):
            argv += [";", "ping", "1", ";", "sleep", str(PING_INTERVAL_MS)]
        out_path = WORK / f"pinger-{threading.get_ident()}.out"
        while not self._stop.is_set():
            with open(out_path, "wb") as out:
                with self._lock:
                    self._process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out,
                                                     stderr=subprocess.DEVNULL, env=self.prefix.env(),
                                                     cwd=self.prefix.drive_c, start_new_session=True)
                self._process.wait()
            self._collect(out_path)

    def _collect(self, path):
        for line in path.read_text("utf-8", "replace").splitlines():
            if not line.startswith("{"):
                continue
            with contextlib.suppress(ValueError):
                record = json.loads(line)
                if record.get("cmd") != "ping":
                    continue
                if record.get("ok"):
                    self.samples_ms += [us / 1000.0 for us in record.get("samples_us", [])]
                else:
                    self.failures += 1


def percentile(values, fraction):
    if not values:
        return float("nan")
    ordered = sorted(values)
    index = min(len(ordered) - 1, max(0, int(round(fraction * (len(ordered) - 1)))))
    return ordered[index]


def set_x_resources(display):
    """Gives the bare Xvfb a resource database, as every desktop session has (xrdb). Without one,
    libX11 finds no database to keep and reads ~/.Xdefaults and ~/.Xdefaults-HOST anew on each
    XGetDefault: about 18 file opens per copied file in harvex.exe's user-interface thread, a cost
    of the test display that no user has."""
    subprocess.run(["xprop", "-display", display, "-root", "-f", "RESOURCE_MANAGER", "8s", "-set",
                    "RESOURCE_MANAGER", "Xft.dpi:\t96\n"], check=True, stdout=subprocess.DEVNULL)
    check = subprocess.run(["xprop", "-display", display, "-root", "RESOURCE_MANAGER"], stdout=subprocess.PIPE)
    if b"Xft.dpi" not in check.stdout:
        raise RuntimeError(f"the X resources did not stay on {display}: {check.stdout!r}")


class WineBench:
    """One prefix with harvex.exe running, a source letter and a destination letter on tmpfs."""

    def __init__(self, mounts):
        self.mounts = mounts
        self.session = harness.Session.get()
        self.prefix = harness.WinePrefix(self.session, "Bench")
        self.prefix.start()
        # Only now: Xvfb forgets root window properties whenever its last client leaves, and the
        # prefix's explorer.exe stays connected from here on.
        set_x_resources(self.session.display.name)
        shutil.copy2(BARECOPY_EXE, self.prefix.drive_c / "e2e" / BARECOPY_EXE.name)
        self.destination = WORK / "mnt" / "wine-dst"
        self.app = None

    def close(self):
        if self.app is not None:
            self.app.kill()
        self.prefix.stop()

    def start_harvex(self):
        self.prefix.reg_delete(harness.PROGRAM_KEY)
        for name, value in (("Folder name", 1), ("Log level", 2), ("Show popup", 0), ("Beep", 0),
                            ("Eject CD-ROM", 0)):
            self.prefix.reg_set(SETTINGS_KEY, name, "dword", value)
        self.prefix.reg_set(SETTINGS_KEY, "Save to", "sz", f"{DESTINATION_LETTER}:\\harvex")
        self.app = harness.Harvex(self.prefix, "bench-harvex").start()
        return self.app

    def stop_harvex(self):
        if self.app is not None and self.app.is_running():
            with contextlib.suppress(harness.HarnessError):
                self.app.quit(timeout=60)
            self.app.kill()
        self.app = None

    def map_source(self, folder):
        self.prefix.map_drive(SOURCE_LETTER, 2, folder)

    def fresh_destination(self, size):
        self.mounts.fresh(self.destination, size)
        # The drive letter follows the folder, whatever is mounted on it.
        self.prefix.map_drive(DESTINATION_LETTER, 3, self.destination)
        (self.destination / "harvex").mkdir()

    def harvex_copy(self, timeout_s=900):
        """From the arrival message to "Complete." on the progress line; seconds."""
        # A fresh log and progress line, so that the "Complete." looked for is this run's.
        self.app.probe(["click", IDC_CLEAR], ["settext", IDC_PROGRESS_TEXT, "Ready."])
        argv = [f"{harness.WINDOWS_DIR}\\hxprobe.exe", *self.app.target(), ";", "devchange", "arrival",
                SOURCE_LETTER, ";", "wait-text", IDC_PROGRESS_TEXT, "startswith", "Complete",
                int(timeout_s * 1000)]
        # The clock starts when the probe has found the dialog, just before it sends the arrival.
        elapsed, last = self.timed_between_lines(argv, lambda r: r.get("cmd") == "target",
                                                 lambda r: r.get("cmd") == "wait-text", timeout_s)
        if not last.get("ok"):
            raise RuntimeError(f"harvex.exe did not complete: {last}")
        text = self.app.text(IDC_PROGRESS_TEXT)
        if text != "Complete.":
            raise RuntimeError(f"harvex.exe ended its copy with {text!r}")
        return elapsed

    def bare_copy(self, timeout_s=900, temporary_names=False):
        """From barecopy.exe's start line to its result line; seconds."""
        argv = [f"{harness.WINDOWS_DIR}\\{BARECOPY_EXE.name}", f"{SOURCE_LETTER}:", f"{DESTINATION_LETTER}:\\bare"]
        if temporary_names:
            argv.append("--temporary-names")
        elapsed, last = self.timed_between_lines(argv, lambda r: "started" in r, lambda r: "failures" in r,
                                                 timeout_s)
        if last.get("failures") != 0:
            raise RuntimeError(f"barecopy.exe: {last}")
        return elapsed

    def timed_between_lines(self, argv, first, last, timeout_s):
        """Runs a Windows program that prints JSON lines (flushed) and times from the line for
        which first(record) holds to the one for which last(record) holds, so that neither
        program's own start counts. Gives the seconds and the last record."""
        process = subprocess.Popen(["wine", *[str(a) for a in argv]], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=self.prefix.env(),
                                   cwd=self.prefix.drive_c, start_new_session=True)
        timer = threading.Timer(timeout_s + 60, lambda: os.killpg(process.pid, 9))
        timer.start()
        start = end = None
        lines, record = [], {}
        try:
            for raw in process.stdout:
                now = time.perf_counter()
                line = raw.decode("utf-8", "replace").strip()
                lines.append(line)
                if not line.startswith("{"):
                    continue
                record = json.loads(line)
                if start is None and first(record):
                    start = now
                elif start is not None and last(record):
                    end = now
            process.wait()
        finally:
            timer.cancel()
        if start is None or end is None:
            raise RuntimeError(f"{argv[0]}: no start or end line; output: {lines[-5:]}")
        return end - start, record


def bench_wine(wine, specs, sources, runs):
    results = {}
    app = wine.start_harvex()
    for name in ("small", "card"):
        spec, source = specs[name], sources[name]
        say(f"  Wine, tree {name!r} ({spec.describe()})")
        wine.map_source(source)
        size = tree_mount_size(spec)
        pings = {"harvex": [], "barecopy": [], "barecopy-temp": []}
        failures = {"harvex": 0, "barecopy": 0, "barecopy-temp": 0}

        def with_pings(label, run):
            def measured():
                with Pinger(wine.prefix, app.hwnd) as pinger:
                    seconds = run()
                pings[label].extend(pinger.samples_ms)
                failures[label] += pinger.failures
                return seconds
            return measured

        steps = [("harvex", lambda: wine.fresh_destination(size), with_pings("harvex", wine.harvex_copy)),
                 ("barecopy", lambda: wine.fresh_destination(size), with_pings("barecopy", wine.bare_copy)),
                 ("barecopy-temp", lambda: wine.fresh_destination(size),
                  with_pings("barecopy-temp", lambda: wine.bare_copy(temporary_names=True)))]
        copies = {"harvex": wine.destination / "harvex" / "000", "barecopy": wine.destination / "bare",
                  "barecopy-temp": wine.destination / "bare"}
        comparison = run_rounds(name, steps, runs, verify=lambda label: same_tree(source, copies[label]))
        comparison.pings = pings
        comparison.ping_failures = failures
        results[name] = comparison
    wine.stop_harvex()
    return results


# --- memory ---------------------------------------------------------------------------------

def wine_process_of(prefix, exe_name):
    """The Linux pid of the wine process that runs exe_name in prefix."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        with contextlib.suppress(OSError):
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
            if exe_name not in cmdline:
                continue
            environ = (entry / "environ").read_bytes().split(b"\0")
            if f"WINEPREFIX={prefix.path}".encode() in environ:
                return int(entry.name)
    raise RuntimeError(f"no wine process runs {exe_name}")


def memory_figures(pid):
    figures = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        key, _, value = line.partition(":")
        if key in ("VmHWM", "VmRSS"):
            figures[key] = int(value.split()[0]) * 1024
    return figures


def count_files(folder):
    count = 0
    for current, _, files in os.walk(folder):
        count += len(files)
    return count


def bench_memory(wine, files, mounts):
    """One copy of many tiny files at log level 2: the peak, and the growth per logged line from
    samples of VmRSS against the files copied so far, taken once the log box is full."""
    spec = memory_spec(files)
    source = WORK / "mnt" / "memory-src"
    mounts.mount(source, tree_mount_size(spec))
    write_tree(spec, source / "tree", PatternSource())
    say(f"  memory: {spec.describe()}")
    app = wine.start_harvex()
    wine.map_source(source / "tree")
    pid = wine_process_of(wine.prefix, "harvex.exe")
    figures = {"files": files, "idle": memory_figures(pid)}
    wine.fresh_destination(tree_mount_size(spec))
    copy = wine.destination / "harvex" / "000"
    samples = []
    done = threading.Event()

    def sample():
        # Counting a tree of a million files takes a while itself: the pause grows with it, so
        # that the sampler never takes more than a fifth of a core from the copy it measures.
        pause = 1.0
        while not done.wait(pause):
            with contextlib.suppress(OSError):
                counted = time.perf_counter()
                samples.append((count_files(copy), memory_figures(pid)["VmRSS"]))
                pause = max(1.0, 4 * (time.perf_counter() - counted))

    sampler = threading.Thread(target=sample, daemon=True)
    sampler.start()
    app.probe(["settext", IDC_PROGRESS_TEXT, "Ready."])
    start = time.perf_counter()
    try:
        limit_s = max(1800, files // 200)
        app.probe(["devchange", "arrival", SOURCE_LETTER],
                  ["wait-text", IDC_PROGRESS_TEXT, "startswith", "Complete", limit_s * 1000],
                  timeout=limit_s + 100)
    finally:
        done.set()
        sampler.join()
    seconds = time.perf_counter() - start
    figures["after"] = memory_figures(pid)
    figures["seconds"] = seconds
    samples.append((spec.files, figures["after"]["VmRSS"]))
    # Each file is a line, each folder one more; the log box holds 5,000 lines and is full early.
    threshold = max(6000, spec.files // 10)
    later = [(n * (1 + spec.folders / spec.files), rss) for n, rss in samples if n >= threshold]
    figures["growth_per_line"] = slope(later)
    figures["samples"] = len(later)
    # The bound the job histories keep: memory after the whole run against memory after 10,000 files.
    early = [rss for n, rss in samples if n >= 10000]
    figures["rss_at_10000"] = early[0] if early else float("nan")
    app.probe(["click", IDC_CLEAR], ["sync"])
    time.sleep(0.5)
    figures["cleared"] = memory_figures(pid)
    say(f"    after the run ({seconds:.1f} s): VmHWM {figures['after']['VmHWM'] / MiB:.1f} MiB, "
        f"VmRSS {figures['after']['VmRSS'] / MiB:.1f} MiB; growth per line {figures['growth_per_line']:.0f} "
        f"bytes ({len(later)} samples); after Clear: VmRSS {figures['cleared']['VmRSS'] / MiB:.1f} MiB; "
        f"VmRSS after 10,000 files {figures['rss_at_10000'] / MiB:.1f} MiB")
    wine.stop_harvex()
    mounts.unmount(source)
    return figures


def slope(points):
    """Least-squares slope of y over x; NaN with fewer than two distinct x."""
    if len({x for x, _ in points}) < 2:
        return float("nan")
    mean_x = statistics.fmean(x for x, _ in points)
    mean_y = statistics.fmean(y for _, y in points)
    covariance = sum((x - mean_x) * (y - mean_y) for x, y in points)
    variance = sum((x - mean_x) ** 2 for x, _ in points)
    return covariance / variance


# --- reporting ------------------------------------------------------------------------------

def machine_info():
    def first_line(args):
        with contextlib.suppress(OSError, subprocess.CalledProcessError):
            return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  check=True).stdout.decode().splitlines()[0].strip()
        return "?"

    memory = "?"
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory = f"{int(line.split()[1]) / (1 << 20):.1f} GiB"
    cpu = "?"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    return {
        "nproc": os.cpu_count(),
        "cpu": cpu,
        "memory": memory,
        "kernel": host_platform.release(),
        "wine": first_line(["wine", "--version"]),
        "cp": first_line(["cp", "--version"]),
        "rsync": first_line(["rsync", "--version"]),
        "date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
    }


def ratio_row(comparison, a, b, target, label, scaled=""):
    ratio = comparison.ratio(a, b)
    verdict = "met" if ratio["median"] <= target else "MISSED"
    return {
        "label": label, "tree": comparison.tree + scaled, "median": ratio["median"], "min": ratio["min"],
        "max": ratio["max"], "target": target, "verdict": verdict,
        "time_a": comparison.median_time(a), "time_b": comparison.median_time(b), "a": a, "b": b,
        "runs": len(ratio["all"]), "cpu_ratio": comparison.cpu_ratio(a, b),
    }


def collect_rows(engine, wine, trust=None):
    rows = []
    for tree, comparison in (trust or {}).items():
        rows.append(ratio_row(comparison, "verify", "plain", VERIFY_TARGETS.get(tree, float("inf")),
                              "engine, Verify copies / engine"))
        if "again" in comparison.names:
            rows.append(ratio_row(comparison, "again", "first", ONLY_NEW_TARGET,
                                  "engine, only new files: unchanged tree again / first copy"))
    for tree, comparison in (engine or {}).items():
        rows.append(ratio_row(comparison, "engine", "cp", ENGINE_TARGET, "engine (dialog sink) / cp -a"))
        rows.append(ratio_row(comparison, "engine", "rsync", ENGINE_TARGET, "engine (dialog sink) / rsync -a"))
        if "engine-null" in comparison.names:
            rows.append(ratio_row(comparison, "engine", "engine-null", float("inf"),
                                  "engine (dialog sink) / engine (null host)"))
        rows.append(ratio_row(comparison, "engine-50ms", "cp", float("inf"),
                              "engine (dialog sink, batches >= 50 ms apart) / cp -a"))
        if "engine-null" in comparison.names:
            rows.append(ratio_row(comparison, "engine-50ms", "engine-null", float("inf"),
                                  "engine (dialog sink, batches >= 50 ms apart) / engine (null host)"))
    for tree, comparison in (wine or {}).items():
        rows.append(ratio_row(comparison, "harvex", "barecopy", WINE_TARGET, "harvex.exe / barecopy.exe (Wine)"))
        if "barecopy-temp" in comparison.names:
            rows.append(ratio_row(comparison, "barecopy-temp", "barecopy", float("inf"),
                                  "barecopy.exe with temporary names / barecopy.exe (Wine)"))
            rows.append(ratio_row(comparison, "harvex", "barecopy-temp", WINE_TEMPORARY_NAMES_TARGET,
                                  "harvex.exe / barecopy.exe with temporary names (Wine)"))
    return rows


def ping_rows(wine):
    rows = []
    for tree, comparison in (wine or {}).items():
        for label in ("harvex", "barecopy"):
            samples = comparison.pings[label]
            rows.append({"tree": tree, "during": label, "samples": len(samples),
                         "p50": percentile(samples, 0.50), "p99": percentile(samples, 0.99),
                         "max": max(samples) if samples else float("nan"),
                         "failures": comparison.ping_failures[label]})
    return rows


def format_table(rows, pings, memory):
    sections = []
    if rows:
        lines = ["| comparison (A / B) | tree | median A/B | min | max | target | A median | B median | "
                 "CPU A/B |",
                 "|---|---|---|---|---|---|---|---|---|"]
        for row in rows:
            target = "-" if row["target"] == float("inf") else f"<= {row['target']:.2f} ({row['verdict']})"
            cpu = "-" if row.get("cpu_ratio") is None else f"{row['cpu_ratio']:.3f}"
            lines.append(f"| {row['label']} | {row['tree']} | {row['median']:.3f} | {row['min']:.3f} | "
                         f"{row['max']:.3f} | {target} | {row['time_a']:.3f} s | {row['time_b']:.3f} s | {cpu} |")
        sections.append(lines)
    if pings:
        lines = ["| dialog round trip (WM_NULL) while... | tree | samples | median | 99th percentile | max | "
                 "failed | target |",
                 "|---|---|---|---|---|---|---|---|"]
        for row in pings:
            target = (f"p99 <= {PING_TARGET_MS:.0f} ms ({'met' if row['p99'] <= PING_TARGET_MS else 'MISSED'})"
                      if row["during"] == "harvex" else "(reference: harvex.exe idle)")
            lines.append(f"| {row['during']} copies | {row['tree']} | {row['samples']} | {row['p50']:.2f} ms | "
                         f"{row['p99']:.2f} ms | {row['max']:.2f} ms | {row['failures']} | {target} |")
        sections.append(lines)
    if memory:
        lines = ["| harvex.exe memory (the wine process running it), log level 2 | VmRSS | VmHWM (peak) |",
                 "|---|---|---|"]
        for key, label in (("idle", "started, idle"),
                           ("after", f"after {memory['files']:,} logged files ({memory['seconds']:.0f} s)"),
                           ("cleared", "after Clear")):
            figures = memory[key]
            lines.append(f"| {label} | {figures['VmRSS'] / MiB:.1f} MiB | {figures['VmHWM'] / MiB:.1f} MiB |")
        lines.append(f"| growth per logged line once the log box is full ({memory['samples']} samples) | "
                     f"{memory['growth_per_line']:.0f} bytes | |")
        rss_early = memory.get("rss_at_10000", float("nan"))
        lines.append(f"| after 10,000 files (the run's end minus this: "
                     f"{(memory['after']['VmRSS'] - rss_early) / MiB:.1f} MiB) | {rss_early / MiB:.1f} MiB | |")
        sections.append(lines)
    return "\n\n".join("\n".join(lines) for lines in sections)


def write_plot(rows, path):
    """A bar per comparison and tree: the median ratio, with min..max, against the targets."""
    if shutil.which("gnuplot") is None:
        say("gnuplot is missing: no plot")
        return False
    series = [("engine (dialog sink) / cp -a", "engine / cp -a", "#4472c4"),
              ("engine (dialog sink) / rsync -a", "engine / rsync -a", "#70ad47"),
              ("engine (dialog sink) / engine (null host)", "engine, dialog sink / null host", "#a5a5a5"),
              ("engine (dialog sink, batches >= 50 ms apart) / cp -a", "engine, 50 ms batches / cp -a", "#5b9bd5"),
              ("harvex.exe / barecopy.exe (Wine)", "harvex.exe / barecopy.exe under Wine", "#ed7d31")]
    trees = list(dict.fromkeys(row["tree"] for row in rows))
    width = 0.8 / len(series)
    blocks, plots = [], []
    for i, (label, title, colour) in enumerate(series):
        points = []
        for j, tree in enumerate(trees):
            row = next((r for r in rows if r["tree"] == tree and r["label"] == label), None)
            if row is not None:
                x = j + (i - (len(series) - 1) / 2) * width
                points.append(f"{x:.3f} {row['median']:.4f} {row['min']:.4f} {row['max']:.4f}")
        if not points:
            continue
        blocks.append("\n".join(points))
        index = len(blocks) - 1
        plots.append(f"data index {index} using 1:2 with boxes lc rgb '{colour}' title '{title}'")
        plots.append(f"data index {index} using 1:2:3:4 with yerrorbars lc rgb 'black' pt 0 notitle")
    data = WORK / "plot.dat"
    data.write_text("\n\n\n".join(blocks) + "\n")
    tics = ", ".join(f"'{tree}' {j}" for j, tree in enumerate(trees))
    script = f"""
set terminal pngcairo size 960,560 font 'sans,10'
set output '{path}'
set title 'Copy time ratio A / B per tree: median of paired runs, whiskers min..max (lower is faster)'
set ylabel 'time ratio A / B'
data = '{data}'
set boxwidth {width * 0.9:.3f}
set style fill solid 0.8 border -1
set xtics ({tics})
set xrange [-0.6:{len(trees) - 0.4}]
set yrange [0:*]
set grid ytics
set key below
set arrow from graph 0, first 1 to graph 1, first 1 nohead lc rgb '#404040'
set arrow from graph 0, first {ENGINE_TARGET} to graph 1, first {ENGINE_TARGET} nohead dt 2 lc rgb '#c00000'
set arrow from graph 0, first {WINE_TARGET} to graph 1, first {WINE_TARGET} nohead dt 3 lc rgb '#800080'
set label 'engine target {ENGINE_TARGET:.2f}' at graph 0.005, first {ENGINE_TARGET} offset 0,-0.7 tc rgb '#c00000' front
set label 'Wine target {WINE_TARGET:.2f}' at graph 0.005, first {WINE_TARGET} offset 0,0.7 tc rgb '#800080' front
plot {", ".join(plots)}
"""
    result = subprocess.run(["gnuplot"], input=script.encode(), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        say(f"gnuplot failed: {result.stdout.decode()[-1000:]}")
        return False
    return True


BEGIN_MARK = "<!-- bench results: begin (written by bench/bench.py) -->"
END_MARK = "<!-- bench results: end -->"
CARD_BEGIN_MARK = "<!-- card model results: begin (written by bench/bench.py) -->"
CARD_END_MARK = "<!-- card model results: end -->"


def replace_docs_block(begin, end, body):
    """Puts body between the page's two marks (added at the end where missing)."""
    text = DOCS_PAGE.read_text() if DOCS_PAGE.exists() else "# Benchmarks\n"
    if begin not in text or end not in text:
        text += f"\n{begin}\n{end}\n"
    before, _, rest = text.partition(begin)
    _, _, after = rest.partition(end)
    DOCS_PAGE.parent.mkdir(parents=True, exist_ok=True)
    DOCS_PAGE.write_text(before + begin + "\n" + body + "\n" + end + after)


def write_card_docs(info, command, table, specs, sha256_mb_s, loads):
    trees = "\n".join(f"- `{spec.name}`: {spec.describe()}" for spec in specs.values())
    sha = "?" if sha256_mb_s is None else f"{sha256_mb_s:,.0f} MB/s"
    replace_docs_block(CARD_BEGIN_MARK, CARD_END_MARK, f"""Measured {info['date']} with `{command}`.

Machine: {info['nproc']} cores ({info['cpu']}), {info['memory']} memory, kernel {info['kernel']};
{info['cp']}; {info['rsync']}. SHA-256 of libcrypto on one core (`openssl speed -evp sha256`,
16 KiB blocks): {sha}. The machine is shared with other sessions' builds; load (`/proc/loadavg`) at
the start of the part: {loads[0]}; at its end: {loads[1]}.

Trees (the card model's scale):
{trees}

{table}""")


def write_docs(info, command, table, specs, wine_scale_note):
    text = DOCS_PAGE.read_text() if DOCS_PAGE.exists() else f"# Benchmarks\n\n{BEGIN_MARK}\n{END_MARK}\n"
    if BEGIN_MARK not in text or END_MARK not in text:
        text += f"\n{BEGIN_MARK}\n{END_MARK}\n"
    trees = "\n".join(f"- `{spec.name}`: {spec.describe()}" for spec in specs.values())
    block = f"""{BEGIN_MARK}
Measured {info['date']} with `{command}`.

Machine: {info['nproc']} cores ({info['cpu']}), {info['memory']} memory, kernel {info['kernel']},
{info['wine']}; {info['cp']}; {info['rsync']}.

Trees:
{trees}
{wine_scale_note}

{table}

![Copy time ratio per tree](benchmark-ratios.png)
{END_MARK}"""
    before, _, rest = text.partition(BEGIN_MARK)
    _, _, after = rest.partition(END_MARK)
    DOCS_PAGE.parent.mkdir(parents=True, exist_ok=True)
    DOCS_PAGE.write_text(before + block + after)


# --- main -----------------------------------------------------------------------------------

def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="trees at a tenth of their size, no docs")
    parser.add_argument("--scale", type=float, help="tree scale (default 1, 0.1 with --quick)")
    parser.add_argument("--runs", type=int, default=5, help="counted rounds per Wine comparison (at least 5)")
    parser.add_argument("--engine-runs", type=int, default=9,
                        help="counted rounds per native comparison (at least 5; short runs, so more)")
    parser.add_argument("--card-runs", type=int, default=7,
                        help="counted rounds per card-model comparison (at least 5; runs of seconds each)")
    parser.add_argument("--parts", default="engine,trust,wine,memory,card-model",
                        help="engine,trust,wine,memory,card-model")
    parser.add_argument("--memory-files", type=int, help="files logged in the memory part (default 100,000)")
    parser.add_argument("--docs", action=argparse.BooleanOptionalAction, default=None,
                        help="rewrite docs/benchmarks.md and the plot (default: on for a full run)")
    options = parser.parse_args(argv)
    if options.scale is None:
        options.scale = 0.1 if options.quick else 1.0
    if options.memory_files is None:
        options.memory_files = int(100000 * options.scale)
    if options.docs is None:
        options.docs = not options.quick and options.scale == 1.0
    options.parts = [p for p in options.parts.split(",") if p]
    if options.runs < 5 or options.engine_runs < 5 or options.card_runs < 5:
        parser.error("--runs, --engine-runs, --card-runs: at least 5 counted runs")
    unknown = set(options.parts) - {"engine", "trust", "wine", "memory", "card-model"}
    if unknown:
        parser.error(f"--parts: unknown {', '.join(sorted(unknown))}")
    return options


def stop_on_signal(signum, frame):
    raise SystemExit(f"stopped by signal {signum}")


def main(argv):
    options = parse_args(argv)
    signal.signal(signal.SIGTERM, stop_on_signal)
    signal.signal(signal.SIGHUP, stop_on_signal)
    command = " ".join(["./bench/run.sh", *argv])
    started = time.monotonic()
    WORK.mkdir(parents=True, exist_ok=True)
    RESULTS_DIR.mkdir(parents=True, exist_ok=True)
    info = machine_info()
    say(f"machine: {info['nproc']} cores, {info['memory']}, kernel {info['kernel']}, {info['wine']}")
    specs = tree_specs(options.scale)
    mounts = Mounts()
    wine = None
    engine_results = wine_results = memory = trust_results = None
    card_results, card_two, card_specs, card_loads, sha256_mb_s = {}, False, None, None, None
    try:
        pattern = PatternSource()
        if "card-model" in options.parts:
            card_specs = tree_specs(CARD_MODEL_SCALE * options.scale)
            say("card model: " + "; ".join(f"{n}: {s.describe()}" for n, s in card_specs.items()))
            sha256_mb_s = sha256_speed()
            card_loads = [load_text()]
            card_results, card_two = bench_card_model(card_specs, mounts, options.card_runs, pattern)
            card_loads.append(load_text())
        sources = {}
        if {"engine", "trust", "wine", "memory"} & set(options.parts):
            for name, spec in specs.items():
                mount = mounts.mount(WORK / "mnt" / f"src-{name}", tree_mount_size(spec))
                write_tree(spec, mount / name, pattern)
                sources[name] = mount / name
            say(f"trees ready after {time.monotonic() - started:.0f} s: "
                + "; ".join(f"{n}: {s.describe()}" for n, s in specs.items()))
        if "engine" in options.parts:
            say("engine_copy against cp -a and rsync -a")
            engine_results = bench_engine(specs, sources, mounts, options.engine_runs)
        if "trust" in options.parts:
            say("engine_copy with Verify copies and Copy only files not copied before")
            trust_results = bench_trust(specs, sources, mounts, options.engine_runs)
        if "wine" in options.parts or "memory" in options.parts:
            wine = WineBench(mounts)
        if "wine" in options.parts:
            say("harvex.exe against barecopy.exe under Wine")
            wine_results = bench_wine(wine, specs, sources, options.runs)
        if "memory" in options.parts:
            for name in list(sources):
                if name != "small":
                    mounts.unmount(sources[name].parent)
            say("harvex.exe memory under Wine")
            memory = bench_memory(wine, options.memory_files, mounts)
    finally:
        if wine is not None:
            wine.close()
        harness.Session.shutdown()
        mounts.close()

    rows = collect_rows(engine_results, wine_results, trust_results)
    pings = ping_rows(wine_results)
    table = format_table(rows, pings, memory)
    card_row_list = card_rows(card_results, card_two)
    card_read_list = card_read_rows(card_results, card_two)
    card_table = format_card_tables(card_row_list, card_read_list) if card_results else ""
    say("")
    say(table)
    if card_results:
        say("")
        say(f"card model (load {card_loads[0]} at the start, {card_loads[1]} at the end; SHA-256 on one core: "
            f"{sha256_mb_s} MB/s)")
        say(card_table)
    stamp = datetime.datetime.now().strftime("%Y%m%d-%H%M%S")
    record = {"machine": info, "command": command, "scale": options.scale, "runs": options.runs,
              "engine_runs": options.engine_runs,
              "rows": rows, "pings": pings, "memory": memory,
              "card_model": {"rows": card_row_list, "read": card_read_list, "loads": card_loads,
                             "sha256_mb_s": sha256_mb_s,
                             "times": card_times_record(card_results)},
              "times": {kind: {tree: c.times for tree, c in (results or {}).items()}
                        for kind, results in (("engine", engine_results), ("wine", wine_results),
                                              ("trust", trust_results))}}
    (RESULTS_DIR / f"{stamp}.json").write_text(json.dumps(record, indent=1, default=str))
    (RESULTS_DIR / f"{stamp}.md").write_text(table + "\n\n" + card_table + "\n")
    plot_path = PLOT_PNG if options.docs else RESULTS_DIR / f"{stamp}.png"
    if not rows or not write_plot(rows, plot_path):
        plot_path = "none"
    if options.docs and rows:
        note = "" if options.scale == 1.0 else f"\nAll trees at scale {options.scale}.\n"
        write_docs(info, command, table, specs, note)
        say(f"wrote {DOCS_PAGE.relative_to(ROOT)} and {PLOT_PNG.relative_to(ROOT)}")
    if options.docs and card_results:
        write_card_docs(info, command, card_table, card_specs, sha256_mb_s, card_loads)
        say(f"wrote the card model's results into {DOCS_PAGE.relative_to(ROOT)}")
    say(f"results: {RESULTS_DIR / stamp}.json; plot: {plot_path}; took {time.monotonic() - started:.0f} s")
    missed = [r for r in rows + card_row_list + card_read_list if r["verdict"] == "MISSED"]
    missed += [p for p in pings if p["during"] == "harvex" and not p["p99"] <= PING_TARGET_MS]
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
