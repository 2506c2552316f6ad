#!/usr/bin/env python3
"""Runs the end-to-end tests: every tests/e2e/test_*.py, or the tests named on the command line.

    run.py [-v] [-k PATTERN]... [NAME]...

NAME is a module, class or test (test_shell, test_shell.FirstStart.test_defaults). The last line
is "N passed, N failed" (", N skipped" when some were); the exit code is 1 when any failed.
"""

import argparse
import signal
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402


class CountingResult(unittest.TextTestResult):
    latest = None  # kept so that an interrupted run still reports what it did

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        CountingResult.latest = self
        self.passed = 0
        self.durations = []
        self._started = None

    def startTest(self, test):
        self._started = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        self.durations.append((time.monotonic() - self._started, test.id()))

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed += 1

    def print_slowest(self, count):
        for seconds, name in sorted(self.durations, reverse=True)[:count]:
            self.stream.writeln(f"{seconds:6.1f} s  {name}")


def load(names, patterns):
    loader = unittest.TestLoader()
    if patterns:
        loader.testNamePatterns = [p if "*" in p else f"*{p}*" for p in patterns]
    if names:
        return loader.loadTestsFromNames(names)
    return loader.discover(str(HERE), pattern="test_*.py", top_level_dir=str(HERE))


def stop_on_signal(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-v", "--verbose", action="store_true", help="one line per test")
    parser.add_argument("--slowest", type=int, default=5, metavar="N", help="list the N slowest tests")
    parser.add_argument("-k", dest="patterns", action="append", default=[], help="only tests matching")
    parser.add_argument("names", nargs="*")
    options = parser.parse_args()

    signal.signal(signal.SIGTERM, stop_on_signal)
    signal.signal(signal.SIGHUP, stop_on_signal)
    suite = load(options.names, options.patterns)
    total = suite.countTestCases()
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2 if options.verbose else 1,
                                     resultclass=CountingResult)
    started = time.monotonic()
    interrupted = False
    try:
        runner.run(suite)
    except KeyboardInterrupt as interrupt:
        interrupted = True
        print(f"\ninterrupted: {interrupt}", flush=True)
    finally:
        harness.Session.shutdown()
    result = CountingResult.latest
    passed = result.passed if result else 0
    skipped = len(result.skipped) if result else 0
    failed = total - passed - skipped  # tests whose class could not be set up count as failed
    summary = f"{passed} passed, {failed} failed"
    if skipped:
        summary += f", {skipped} skipped"
    if result and options.slowest:
        print("slowest tests (set-up of the class not included):")
        result.print_slowest(options.slowest)
    print(f"e2e: {time.monotonic() - started:.1f} s")
    print(summary, flush=True)
    return 1 if failed or interrupted or result is None else 0


if __name__ == "__main__":
    sys.exit(main())
