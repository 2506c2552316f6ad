"""Two builds of engine_copy side by side: alternating runs on the bench's "small" and "card" trees,
each copy into a fresh private tmpfs, and the median ratio of the paired wall times. Used to put a
figure on one change to the engine (docs/benchmarks.md names the commits compared).

    unshare --mount --propagation private python3 bench/paired_engines.py BEFORE AFTER [--rounds N] [--scale S]
        [--batch-ms N]

BEFORE and AFTER are engine_copy executables. Must run as root (mount).
"""

import argparse
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import bench  # noqa: E402  (tree_specs, write_tree, PatternSource)

WORK = Path("/tmp/harvex-paired")


def mount_fresh(path, size):
    subprocess.run(["umount", "-l", str(path)], stderr=subprocess.DEVNULL, check=False)
    path.mkdir(parents=True, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "none", str(path)], check=True)


def timed(args):
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--batch-ms", type=int, default=0,
                        help="engine_copy's --batch-ms: 50 takes reports as harvex.exe's dialog does")
    options = parser.parse_args()
    specs = bench.tree_specs(options.scale)
    source_root, destination = WORK / "src", WORK / "dst"
    mount_fresh(source_root, "3g")
    pattern = bench.PatternSource()
    for name in ("small", "card"):
        spec = specs[name]
        source = source_root / name
        bench.write_tree(spec, source, pattern)
        size = bench.tree_mount_size(spec)
        times = {"before": [], "after": []}
        for round_index in range(options.rounds):
            order = ("before", "after") if round_index % 2 == 0 else ("after", "before")
            for label in order:
                mount_fresh(destination, size)
                engine = options.before if label == "before" else options.after
                times[label].append(timed([engine, str(source), str(destination), "--host=dialog", "--level=2",
                                           f"--batch-ms={options.batch_ms}"]))
        ratios = [a / b for a, b in zip(times["after"], times["before"])]
        print(f"{name}: {spec.describe()}; before median {statistics.median(times['before']):.3f} s, "
              f"after median {statistics.median(times['after']):.3f} s; after/before median of paired ratios "
              f"{statistics.median(ratios):.3f} (min {min(ratios):.3f}, max {max(ratios):.3f}, {options.rounds} rounds)")
        shutil.rmtree(source)
    subprocess.run(["umount", "-l", str(destination)], check=False)
    subprocess.run(["umount", "-l", str(source_root)], check=False)


if __name__ == "__main__":
    main()
