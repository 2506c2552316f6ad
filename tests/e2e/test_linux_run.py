"""Harvex on a Linux machine: ./scripts/run.sh's first run and its demo, and the watcher that gives
Harvex the volumes the desktop mounts."""

import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import ids
import faults_support as fs
from harness import (CACHE_DIR, ROOT, HarnessError, HarvexTestCase, base_wine_env, compare_trees, make_tree,
                     run, wait_until)

sys.path.insert(0, str(ROOT / "scripts"))
import volume_watcher  # noqa: E402

KEY = r"SOFTWARE\Quenby\Harvex2"


class Script:
    """A script started in the background with its output in a file."""

    def __init__(self, args, env, log_path):
        self.log_path = log_path
        with open(log_path, "wb") as sink:
            self.process = subprocess.Popen([str(a) for a in args], stdin=subprocess.DEVNULL, stdout=sink,
                                            stderr=subprocess.STDOUT, env=env, cwd=ROOT, start_new_session=True)

    def output(self):
        return self.log_path.read_text("utf-8", "replace")

    def wait_for_line(self, pattern, timeout):
        def found():
            match = re.search(pattern, self.output(), re.MULTILINE)
            if match is None and self.process.poll() is not None:
                raise HarnessError(f"ended with {self.process.returncode} before /{pattern}/:\n{self.output()[-3000:]}")
            return match
        return wait_until(found, timeout=timeout, interval=0.2, what=f"/{pattern}/ in {self.log_path.name}")

    def wait(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"no end within {timeout} s:\n{self.output()[-3000:]}") from None

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(timeout=10)


class MountTable(unittest.TestCase):
    def test_mounts_under_the_roots_or_of_removable_devices_count_as_volumes(self):
        text = ("36 25 8:1 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                "90 36 0:50 / /media/me/MY\\040CARD rw,nosuid shared:60 - fuseblk /dev/sdb1 rw,user_id=0\n"
                "91 36 0:51 / /mediafiles rw - ext4 /dev/vdb rw\n"
                "92 36 11:0 / /mnt/disc ro - iso9660 /dev/sr0 ro\n"
                "93 36 0:52 / /run/media/me/STICK rw - vfat /dev/sdc1 rw\n"
                "garbage line\n")
        mounts = volume_watcher.parse_mountinfo(text)
        self.assertEqual([m.point for m in mounts],
                         ["/", "/media/me/MY CARD", "/mediafiles", "/mnt/disc", "/run/media/me/STICK"])
        removable = {"/dev/sr0"}
        chosen = [m.point for m in mounts
                  if volume_watcher.is_volume(m, volume_watcher.DEFAULT_ROOTS, lambda source: source in removable)]
        self.assertEqual(chosen, ["/media/me/MY CARD", "/mnt/disc", "/run/media/me/STICK"])
        self.assertEqual([volume_watcher.drive_type(m) for m in mounts[1:]], [2, 2, 5, 2])


class RunScript(HarvexTestCase):
    def test_the_demo_copies_the_sample_card_before_the_eyes_of_the_user(self):
        env = self.prefix.env()
        script = Script([ROOT / "scripts" / "run.sh"], env, self.prefix.root / "run.log")
        self.addCleanup(script.stop)
        copied = script.wait_for_line(r"^run\.sh: demo: Harvex copied the sample card into .* \(on Linux: (.*)\)$",
                                      timeout=300)
        self.assertEqual(compare_trees(ROOT / "build" / "demo" / "card", Path(copied.group(1))), [])
        script.wait_for_line(r"demo: the sample card has been taken out again", timeout=30)
        self.prefix.probe(["target", "main"], ["click", ids.IDC_QUIT])
        self.assertEqual(script.wait(60), 0, script.output())
        self.assertIn("Harvex ended (exit code 0).", script.output())


class FirstRun(unittest.TestCase):
    """As a newcomer runs it: a fresh home, no display at all."""

    def test_the_first_run_without_a_display_shows_the_dialog(self):
        home = Path(tempfile.mkdtemp(prefix="first-run-home-", dir=CACHE_DIR))
        number = next(n for n in random.sample(range(900, 990), 40)
                      if not Path(f"/tmp/.X{n}-lock").exists() and not Path(f"/tmp/.X11-unix/X{n}").exists())
        env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WINEPREFIX", "WINESERVER")}
        env.update(HOME=str(home), HARVEX_VIRTUAL_DISPLAY=f":{number}")
        prefix = home / ".harvex-wine"
        wine_env = dict(base_wine_env(f":{number}"), WINEPREFIX=str(prefix))
        self.addCleanup(shutil.rmtree, home, True)
        self.addCleanup(self.stop_display, number)
        self.addCleanup(run, ["wineserver", "-k"], timeout=30, what="wineserver -k", env=wine_env, check=False)

        log_path = home.parent / f"{home.name}.log"
        self.addCleanup(log_path.unlink, missing_ok=True)
        script = Script([ROOT / "scripts" / "run.sh", "--no-demo"], env, log_path)
        self.addCleanup(script.stop)
        script.wait_for_line(r"^run\.sh: Harvex is running", timeout=240)
        self.assertNotIn("retrying", script.output(), "the first start needed a second Wine session")
        probe = ["wine", ROOT / "build" / "win" / "hxprobe.exe", "target", "main", ";", "window", ";", "click", ids.IDC_QUIT]
        result = run(probe, timeout=60, what="hxprobe in the first run's prefix", env=wine_env)
        self.assertIn('"visible":true', result.stdout)
        self.assertEqual(script.wait(60), 0, script.output())
        self.assertNotIn("demo:", script.output())

    def test_a_display_that_does_not_answer_is_named_with_what_to_do(self):
        log_path = CACHE_DIR / f"run-bad-display-{os.getpid()}.log"
        self.addCleanup(log_path.unlink, missing_ok=True)
        env = dict(os.environ, DISPLAY=":987654")
        script = Script([ROOT / "scripts" / "run.sh"], env, log_path)
        self.assertEqual(script.wait(120), 1)
        self.assertIn("run.sh: cannot open the display :987654. Check that it runs and that you may use it "
                      "(xhost), or unset DISPLAY to use a virtual display.", script.output())

    @staticmethod
    def stop_display(number):
        lock = Path(f"/tmp/.X{number}-lock")
        if lock.exists():
            pid = int(lock.read_text().strip())
            os.kill(pid, signal.SIGTERM)
            wait_until(lambda: not lock.exists(), timeout=10, what="Xvfb to end")


class WatchedMounts(HarvexTestCase):
    def test_a_mounted_exfat_stick_is_copied_and_its_unmount_removes_the_letter(self):
        cleanup = fs.Cleanup()
        self.addCleanup(lambda: self.assertEqual(cleanup.run(), []))
        dest = self.prefix.drive_c / "copies-watched"
        dest.mkdir(exist_ok=True)
        self.prefix.reg_set(KEY, "Save to", "sz", self.prefix.windows_path(dest))
        self.prefix.reg_set(KEY, "Folder name", "dword", 3)  # the volume label names the folder
        app = self.start_harvex()

        # Filled where the watcher does not look, then mounted where it does, as a desktop would.
        stick = fs.ExfatStick(cleanup, self.prefix.work_dir / "staging", "stick", "WATCHED", 24)
        make_tree(stick.folder, {"DCIM/100CAM/IMG_0001.JPG": 700_000, "DCIM/100CAM/IMG_0002.JPG": 90_000,
                                 "Notes ü.txt": "stick"})
        stick.unmount()
        media = self.prefix.work_dir / "media"
        stick.folder = media / "me" / "WATCHED"
        stick.folder.mkdir(parents=True)

        env = self.prefix.env()
        watcher = Script([sys.executable, ROOT / "scripts" / "volume_watcher.py", "--probe", "C:\\e2e\\hxprobe.exe",
                          "--root", media], env, self.prefix.root / "watcher.log")
        self.addCleanup(watcher.stop)
        watcher.wait_for_line(r"^watcher: watching", timeout=30)
        stick.mount()
        mapped = watcher.wait_for_line(r"^watcher: .*/WATCHED is ([A-Z]): \(WATCHED\)", timeout=60)
        letter = mapped.group(1)
        self.assertEqual(self.prefix.probe1("drive", letter)["type"], 2)
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "startswith", "Complete", 60000, timeout=90)
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Complete.")
        self.assertEqual(compare_trees(stick.folder, dest / "WATCHED"), [])

        stick.unmount()
        watcher.wait_for_line(rf"^watcher: .*/WATCHED was unmounted; {letter}: removed", timeout=60)
        self.assertEqual(self.prefix.probe1("drive", letter)["type"], 1)
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", f"[{letter}]: drive detached", 10000)
        watcher.stop()
        self.assertEqual(app.quit(), 0)


if __name__ == "__main__":
    unittest.main()
