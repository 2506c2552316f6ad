#!/usr/bin/env python3
"""Floors of the tmpfs rows, measured beside the engine in paired rounds of one run.

    unshare --mount --propagation private python3 bench/floors.py [--engine PATH] [--rounds N]

On tmpfs a copy between two file systems is reads and writes through a buffer, one memory copy each:
one destination costs a read and a write, two a read and two writes. The floor of "two destinations
/ one" is therefore a plain loop doing exactly that (1 MiB reads into one buffer, written to one or
to two files), timed beside engine_copy with one and with two destinations. Also: engine_copy
--verify held to one core (taskset) against the same on both, which shows what the verifier thread
and the hash thread gain from the second core; with --other, a second engine_copy build's --verify
beside this one's (a build without the hash thread, say). Trees: "card" (100 files of 3 MiB) and "large" (2 of
256 MiB), as in the card model. Needs root (tmpfs mounts in a private namespace).
"""

import argparse
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
WORK = ROOT / "build" / "bench-work" / "floors"
MiB = 1 << 20
TREES = {"card": (100, 3 * MiB), "large": (2, 256 * MiB)}

LOOP = r"""
import os, sys
source, targets = sys.argv[1], sys.argv[2:]
buffer = bytearray(1 << 20)
view = memoryview(buffer)
for folder, _, files in os.walk(source):
    for name in files:
        rel = os.path.relpath(os.path.join(folder, name), source)
        outs = []
        for target in targets:
            os.makedirs(os.path.dirname(os.path.join(target, rel)), exist_ok=True)
            outs.append(os.open(os.path.join(target, rel), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644))
        fd = os.open(os.path.join(folder, name), os.O_RDONLY)
        while True:
            got = os.readv(fd, [view])
            if got == 0:
                break
            for out in outs:
                os.write(out, view[:got])
        os.close(fd)
        for out in outs:
            os.close(out)
"""


def mount(path, size):
    path.mkdir(parents=True, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "none", str(path)], check=True)


def unmount(path):
    subprocess.run(["umount", str(path)], check=True)


def timed(args):
    start = time.monotonic()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", default=str(ROOT / "build" / "bench-release" / "engine_copy"))
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--other", help="another engine_copy build, timed with --verify beside this one")
    options = parser.parse_args(argv)
    engine = options.engine
    source, first, second = WORK / "src", WORK / "dst", WORK / "dst2"
    for tree, (count, size) in TREES.items():
        total = count * size
        mount(source, total + 64 * MiB)
        try:
            (source / tree).mkdir()
            for i in range(count):
                (source / tree / f"f{i:03d}.bin").write_bytes(os.urandom(size))
            commands = {
                "loop one": [sys.executable, "-c", LOOP, source / tree, first / "copy"],
                "loop two": [sys.executable, "-c", LOOP, source / tree, first / "copy", second / "copy"],
                "engine one": [engine, source / tree, first, "--host=null"],
                "engine two": [engine, source / tree, first, "--host=null", f"--also-copy-to={second}"],
                "verify": [engine, source / tree, first, "--host=null", "--verify"],
                "verify one core": ["taskset", "-c", "0", engine, source / tree, first, "--host=null", "--verify"],
            }
            pairs = [("loop two", "loop one"), ("engine two", "engine one"), ("verify one core", "verify")]
            if options.other:
                commands["verify other"] = [options.other, source / tree, first, "--host=null", "--verify"]
                pairs.append(("verify other", "verify"))
            times = {name: [] for name in commands}
            for round_number in range(options.rounds + 1):
                for name, args in commands.items():
                    mount(first, 2 * total + 64 * MiB)
                    mount(second, total + 64 * MiB)
                    try:
                        seconds = timed([str(a) for a in args])
                    finally:
                        unmount(second)
                        unmount(first)
                    if round_number > 0:  # the first round warms up
                        times[name].append(seconds)
            for a, b in pairs:
                ratios = [x / y for x, y in zip(times[a], times[b])]
                print(f"| {a} / {b} | {tree} | {statistics.median(ratios):.3f} | {min(ratios):.3f} | "
                      f"{max(ratios):.3f} | {statistics.median(times[a]):.3f} s | {statistics.median(times[b]):.3f} s |")
        finally:
            unmount(source)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
