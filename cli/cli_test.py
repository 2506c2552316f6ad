"""harvex, the Linux program, as a user runs it: exit statuses, the lines it prints, the settings file.

    python3 cli/cli_test.py HARVEX [unittest arguments]

Unreadable files and a held read come from the end-to-end suite's FUSE view (faults_support.FaultFs),
so that they hold for root too; those tests are skipped where FUSE cannot be mounted.
"""

import hashlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import faults_support as fs  # noqa: E402

HARVEX = None
RUN_TIMEOUT = 120


def fuse_usable():
    return os.geteuid() == 0 and os.path.exists("/dev/fuse") and shutil.which("fusermount3") is not None


def digest(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def tree(root):
    """Every file below root by its relative path, with its SHA-256."""
    root = Path(root)
    return {str(p.relative_to(root)): digest(p) for p in sorted(root.rglob("*")) if p.is_file()}


class HarvexCase(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="harvex-cli-"))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.home = self.work / "home"
        self.home.mkdir()
        self.env = dict(os.environ, HOME=str(self.home), XDG_CONFIG_HOME=str(self.home / "config"))
        self.conf = self.home / "config" / "harvex" / "harvex.conf"
        self.card = self.work / "CARD01"
        (self.card / "DCIM" / "100").mkdir(parents=True)
        (self.card / "DCIM" / "100" / "a.jpg").write_bytes(os.urandom(300_000))
        (self.card / "DCIM" / "b.txt").write_bytes(b"b\n")
        self.out = self.work / "out"
        self.out.mkdir()

    def harvex(self, *args):
        return subprocess.run([HARVEX, *map(str, args)], env=self.env, capture_output=True, text=True,
                              timeout=RUN_TIMEOUT, stdin=subprocess.DEVNULL)

    def write_conf(self, text):
        self.conf.parent.mkdir(parents=True, exist_ok=True)
        self.conf.write_text(text, encoding="utf-8")

    def run_folders(self, parent):
        return sorted(p.name for p in Path(parent).iterdir() if p.is_dir())


class Copy(HarvexCase):
    def test_a_verified_copy_exits_0_and_the_settings_file_is_made_then_followed_and_overridden(self):
        result = self.harvex("copy", self.card, "--to", self.out, "--verify", "--only-new", "--folder-name",
                             "three-digits")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("Finished. 2 files verified.", result.stdout.splitlines())
        self.assertEqual(tree(self.out / "000"), tree(self.card))
        made = self.conf.read_text(encoding="utf-8")
        for name in ("Save to", "Folder name", "Log level", "Verify", "Only new files", "Also copy to"):
            self.assertIn(f"# {name} = ", made, "each setting is there, commented out at its default")

        # The file's values hold where no option is given; an option beats the file.
        self.write_conf(f"Save to = {self.out}\nFolder name = 1\nOnly new files = 1\nLog level = 2\n")
        result = self.harvex("copy", self.card)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn(f"Nothing new on {self.card}: 2 files were copied before.", result.stdout)
        self.assertEqual(self.run_folders(self.out), ["000"], "nothing new leaves no folder")
        second = self.work / "second"
        second.mkdir()
        with open(self.conf, "a", encoding="utf-8") as conf:
            conf.write(f"Also copy to = {second}\n")
        result = self.harvex("copy", self.card, "--no-only-new", "--log-level", "basic")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn(str(self.card / "DCIM" / "b.txt"), result.stdout, "files are not logged at basic")
        self.assertEqual(self.run_folders(self.out), ["000", "001"])
        self.assertEqual(tree(self.out / "001"), tree(self.card))
        self.assertEqual(tree(second / "000"), tree(self.card), "the second destination of the file")

    def test_bad_usage_and_a_bad_settings_line_exit_2_with_the_reason_on_stderr_and_copy_nothing(self):
        cases = [
            (["copy"], "no SOURCE given"),
            (["copy", self.card, "--colour"], "usage:"),
            (["copy", self.card, "--folder-name", "weekly"], 'no folder name rule is called "weekly"'),
            (["copy", self.work / "no-such-card", "--to", self.out], "SOURCE is not a folder"),
            (["verify"], "no list given"),
            (["eject"], "unknown command: eject"),
        ]
        for args, reason in cases:
            with self.subTest(args=args):
                result = self.harvex(*args)
                self.assertEqual(result.returncode, 2)
                self.assertIn(reason, result.stderr)
                self.assertIn("usage:", result.stderr)
                self.assertEqual(result.stdout, "")
        for text, line, reason in [
            (f"# mine\nSave to = {self.out}\n\nVerify = yes\n", 4, '"Verify" must be 0 or 1, not "yes"'),
            ("Folder name = 2\nColour = red\n", 2, 'no setting is called "Colour"'),
            ("Verify = 1\nverify = 0\n", 2, '"Verify" is given a second time (first on line 1)'),
            ("Save to = out\n", 1, '"Save to" must be an absolute folder'),
            ("Log level = 1\nthis is no setting\n", 2, "not a setting"),
            ("Save to = /" + "x" * 300 + "\n", 1, "the line is longer than"),
        ]:
            with self.subTest(conf=text[:40]):
                self.write_conf(text)
                result = self.harvex("copy", self.card, "--to", self.out)
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertTrue(result.stderr.startswith(f"{self.conf}:{line}: {reason}"), result.stderr)
        self.assertEqual(list(self.out.iterdir()), [], "a refused start copies nothing")

    @unittest.skipUnless(fuse_usable(), "needs root and FUSE")
    def test_an_unreadable_file_exits_1_and_is_named_while_the_rest_is_copied(self):
        (self.card / "DCIM" / "100" / "c[eacces].jpg").write_bytes(b"c" * 1000)
        cleanup = fs.Cleanup()
        self.addCleanup(cleanup.run)
        view = fs.FaultFs(cleanup, self.card, self.work / "mnt" / "CARD01")
        result = self.harvex("copy", view.folder, "--to", self.out, "--folder-name", "none", "--verify")
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        failed = [line for line in result.stdout.splitlines() if "c[eacces].jpg" in line]
        self.assertEqual(len(failed), 1, result.stdout)
        self.assertIn(f"{view.folder}/DCIM/100/c[eacces].jpg: Access is denied.", failed[0])
        self.assertIn("Finished with 1 error.", result.stdout)
        copied = tree(self.out)
        self.assertEqual(copied["DCIM/100/a.jpg"], digest(self.card / "DCIM" / "100" / "a.jpg"))
        self.assertNotIn("DCIM/100/c[eacces].jpg", copied)

    @unittest.skipUnless(fuse_usable(), "needs root and FUSE")
    def test_sigint_stops_the_run_leaving_the_file_in_writing_only_under_its_temporary_name(self):
        for path in (self.card / "DCIM" / "100" / "a.jpg", self.card / "DCIM" / "b.txt"):
            path.unlink()
        (self.card / "DCIM" / "d[held].mov").write_bytes(os.urandom(1 << 20))
        cleanup = fs.Cleanup()
        self.addCleanup(cleanup.run)
        view = fs.FaultFs(cleanup, self.card, self.work / "mnt" / "CARD01")
        view.hold()
        log = self.work / "copy.log"
        with open(log, "w", encoding="utf-8") as sink:
            copy = subprocess.Popen([HARVEX, "copy", view.folder, "--to", self.out, "--folder-name", "none"],
                                    env=self.env, stdout=sink, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.addCleanup(lambda: copy.poll() is None and copy.kill())

        def wait_for(what, condition):
            deadline = time.monotonic() + RUN_TIMEOUT
            while not condition():
                self.assertIsNone(copy.poll(), f"harvex ended before {what}: {log.read_text()}")
                self.assertLess(time.monotonic(), deadline, f"no {what}: {log.read_text()}")
                time.sleep(0.02)

        wait_for("held read", lambda: "/DCIM/d[held].mov" in view.reached_gate())
        copy.send_signal(signal.SIGINT)
        wait_for("stop", lambda: "Stopping..." in log.read_text())
        view.open_gate()
        self.assertEqual(copy.wait(timeout=RUN_TIMEOUT), 1, log.read_text())
        self.assertIn("Stopped.", log.read_text().splitlines())
        left = [p.name for p in (self.out / "DCIM").iterdir()] if (self.out / "DCIM").exists() else []
        self.assertNotIn("d[held].mov", left, "no half file under the final name")
        self.assertTrue(all(name.endswith(fs.TEMPORARY_SUFFIX) for name in left), left)


class Verify(HarvexCase):
    def test_an_intact_copy_exits_0_and_a_changed_and_a_missing_file_exit_1_each_named(self):
        self.assertEqual(self.harvex("copy", self.card, "--to", self.out, "--folder-name", "five-digits", "--verify")
                         .returncode, 0)
        listing = self.out / "00000.sha256"
        result = self.harvex("verify", listing)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("Verified: 2 files match.", result.stdout.splitlines())

        changed = self.out / "00000" / "DCIM" / "b.txt"
        missing = self.out / "00000" / "DCIM" / "100" / "a.jpg"
        changed.write_bytes(b"B\n")
        missing.unlink()
        result = self.harvex("verify", listing)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        self.assertIn(f"Differs: {changed}", lines)
        self.assertIn(f"Missing: {missing}", lines)
        self.assertIn("Verify found 2 problems.", lines)


if __name__ == "__main__":
    HARVEX = os.path.abspath(sys.argv.pop(1))
    unittest.main()
