"""Verified copies with their checksum list, and copying only what is new on a card that comes back."""

import os
import shutil
import signal
import subprocess
import unittest

import ids
import faults_support as fs
from harness import HarvexTestCase, Volume, compare_trees, make_tree, tree_listing, wait_until
from test_faults import FaultCase

KEY = r"SOFTWARE\Quenby\Harvex2"
MB = 1024 * 1024
VERIFY_A_COPY = ids.ID_TRAY_VERIFY_COPY
FILE_NAME_BOXES = (1148, 1152)  # cmb13 or edt1: the file name box of the system's open dialog
CARD = {
    "DCIM/100MEDIA/IMG_0001.JPG": 300_000,
    "DCIM/100MEDIA/IMG_0002.JPG": 1_200_000,
    "Notes with spaces.txt": "hello",
    "Ünïcödé – fotos/straße.jpg": 4096,
}


class VerifyAndOnlyNew(HarvexTestCase):
    def card(self, letter, serial, entries):
        """A volume of this test alone; Wine reads its serial number from .windows-serial."""
        volume = Volume(self.prefix, letter, 2, None, entries, name=f"{self._testMethodName}-{letter}")
        (volume.folder / ".windows-serial").write_text(serial)
        return volume

    def start_with(self, **dwords):
        self.dest = self.prefix.drive_c / f"copies-{self._testMethodName}"
        self.dest.mkdir(exist_ok=True)
        self.prefix.reg_set(KEY, "Save to", "sz", self.prefix.windows_path(self.dest))
        self.prefix.reg_set(KEY, "Folder name", "dword", 1)
        self.prefix.reg_set(KEY, "Log level", "dword", 0)
        for name, value in dwords.items():
            self.prefix.reg_set(KEY, name.replace("_", " "), "dword", value)
        return self.start_harvex()

    def copy_once(self, app, volume, lines_before):
        """One arrival of volume, up to its last line; the run's log lines."""
        app.probe1("devchange", "arrival", volume.letter)
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", f"[{volume.letter}]: Finished", 60000, timeout=90)
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "startswith", "Complete", 60000, timeout=90)
        lines = [line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line]
        return lines[lines_before:]

    def test_verified_run_writes_a_list_that_sha256sum_accepts(self):
        app = self.start_with(Verify=1)
        card = self.card("Q", "1234abcd", CARD)
        card.insert()
        lines = self.copy_once(app, card, 0)
        self.assertEqual(lines[-1], "[Q]: Finished. 5 files verified.")
        self.assertEqual(compare_trees(card.folder, self.dest / "000"), [])
        listing = (self.dest / "000.sha256").read_text(encoding="utf-8")
        self.assertIn("# Drive Q:, volume label \"\", serial number 1234-ABCD\n", listing)
        self.assertIn("  000/Ünïcödé – fotos/straße.jpg\n", listing)
        check = subprocess.run(["sha256sum", "--strict", "-c", "000.sha256"], cwd=self.dest,
                               capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertEqual(check.stdout.count(": OK\n"), 5)
        self.assertEqual(app.quit(), 0)

    def verify_a_copy(self, app, list_path, lines_before):
        """"Verify a copy..." from the tray menu on list_path; the check's log lines."""
        app.probe1("command", VERIFY_A_COPY)
        dialog = ["target", "title", "Verify a copy", f"pid={app.pid}"]
        controls = self.prefix.probe(dialog, ["wait-window", 10000, "visible"], ["controls"])[2]["controls"]
        ids_shown = {c["id"] for c in controls}
        name_box = next((i for i in FILE_NAME_BOXES if i in ids_shown), None)
        self.assertIsNotNone(name_box, controls)
        self.prefix.probe(dialog, ["settext", name_box, list_path], ["post-click", 1], ["wait-no-window", 10000])
        started = app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[Verify]: Veri", 60000, timeout=90, check=False)
        if not started.get("ok"):
            app.screenshot("verify-a-copy-not-started")
            self.fail(f"the check did not start: {started}; windows: {self.prefix.probe(['windows'], check=False)}")
        lines = [line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line][lines_before:]
        while not lines[-1].startswith(("[Verify]: Verified:", "[Verify]: Verify found")):
            app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", lines[-1] + "\r\n[Verify]: ", 30000, timeout=60)
            lines = [line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line][lines_before:]
        return [line for line in lines if line.startswith("[Verify]: ")]

    def test_verify_a_copy_finds_a_changed_and_a_missing_file(self):
        app = self.start_with(Verify=1)
        card = self.card("S", "5eed0001", CARD)
        card.insert()
        lines = self.copy_once(app, card, 0)
        list_path = self.prefix.windows_path(self.dest / "000.sha256")
        before = len(lines)
        checked = self.verify_a_copy(app, list_path, before)
        self.assertEqual(checked[-1], "[Verify]: Verified: 5 files match.", checked)

        (self.dest / "000/Notes with spaces.txt").write_text("HELLO")
        (self.dest / "000/DCIM/100MEDIA/IMG_0001.JPG").unlink()
        before = len([line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line])
        checked = self.verify_a_copy(app, list_path, before)
        folder = self.prefix.windows_path(self.dest / "000")
        self.assertIn(f"[Verify]: Differs: {folder}\\Notes with spaces.txt", checked)
        self.assertIn(f"[Verify]: Missing: {folder}\\DCIM\\100MEDIA\\IMG_0001.JPG", checked)
        self.assertEqual(checked[-1], "[Verify]: Verify found 2 problems.")
        self.assertEqual(app.quit(), 0)

    def test_a_card_that_comes_back_gives_only_its_new_files(self):
        app = self.start_with(Only_new_files=1)
        card = self.card("R", "c0ffee01", CARD)
        card.insert()
        self.copy_once(app, card, 0)
        self.assertEqual(compare_trees(card.folder, self.dest / "000"), [])

        (card.folder / "DCIM/100MEDIA/IMG_0003.JPG").write_bytes(b"three" * 1000)
        (card.folder / "New folder").mkdir()
        (card.folder / "New folder/clip.mov").write_bytes(b"clip" * 5000)
        before = len([line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line])
        lines = self.copy_once(app, card, before)
        self.assertEqual(lines[-1], "[R]: Finished.")
        copied = sorted(str(p.relative_to(self.dest / "001")) for p in (self.dest / "001").rglob("*") if p.is_file())
        self.assertEqual(copied, ["DCIM/100MEDIA/IMG_0003.JPG", "New folder/clip.mov"])
        self.assertEqual((self.dest / "001/New folder/clip.mov").read_bytes(), b"clip" * 5000)

        before = len([line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line])
        lines = self.copy_once(app, card, before)
        self.assertIn("[R]: Nothing new on R:: 7 files were copied before.", lines)
        self.assertFalse((self.dest / "002").exists(), "nothing new makes no folder")
        self.assertEqual(app.quit(), 0)


class SideFilesOfARun(FaultCase):
    """The checksum list and the copy record say only what their own run did."""

    def start_records(self, copies, folder_name=1, **dwords):
        for name, value in dwords.items():
            self.prefix.reg_set(KEY, name.replace("_", " "), "dword", value)
        return self.start_with(copies, folder_name=folder_name)

    def run_once(self, app, letter, arrival=1):
        self.arrive(app, letter)
        return fs.run_lines(self.wait_runs_ended(app, letter, arrival), letter)

    def card(self, letter, serial, entries):
        volume = Volume(self.prefix, letter, 2, None, entries, name=f"{self._testMethodName[5:25]}-{letter}")
        (volume.folder / ".windows-serial").write_text(serial)
        volume.insert()
        return volume

    def test_a_reused_folder_name_gets_a_list_of_its_own(self):
        copies = self.copies_folder()
        app = self.start_records(copies, Verify=1)
        self.card("Q", "1111aaaa", {"DCIM/old1.jpg": 5000, "old2.txt": "old"})
        self.assertEqual(self.run_once(app, "Q")[-1], "Finished. 3 files verified.")
        shutil.rmtree(copies / "000")  # as the README says, to make its files count as new
        self.assertTrue((copies / "000.sha256").exists())

        self.card("P", "2222bbbb", {"DCIM/new1.jpg": 7000, "new2.txt": "new", "new3.txt": "newer"})
        run_text = self.run_once(app, "P")
        self.assertFalse([t for t in run_text if t.startswith("Cannot write")], run_text)
        self.assertEqual(run_text[-1], "Finished. 4 files verified.")
        listing = (copies / "000.sha256").read_text(encoding="utf-8")
        self.assertNotIn("old1.jpg", listing)
        self.assertNotIn("old2.txt", listing)
        check = subprocess.run(["sha256sum", "--strict", "-c", "000.sha256"], cwd=copies, capture_output=True,
                               text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertEqual(check.stdout.count(": OK\n"), 4, check.stdout)
        self.assertEqual(sorted(os.listdir(copies)), ["000", "000.sha256"])
        self.assertEqual(app.quit(), 0)

    def test_copies_under_other_names_are_not_copied_again(self):
        copies = self.copies_folder()
        (copies / "notes.txt").write_text("the user's own")
        app = self.start_records(copies, folder_name=0xFFFFFFFF, Only_new_files=1)
        entries = {"a.": "dot", "com1": "device", "IMG.JPG": "upper", "img.jpg": "lower",
                   "notes.txt": "the card's", "DCIM/x.jpg": "x"}
        self.card("Q", "3333cccc", entries)
        self.assertEqual(self.run_once(app, "Q")[-1], "Finished.")
        first = tree_listing(copies)
        self.assertIn("notes (2).txt", first)
        self.assertIn("a_", first)

        run_text = self.run_once(app, "Q", 2)
        # The card's files and its .windows-serial.
        self.assertIn(f"Nothing new on Q:: {len(entries) + 1} files were copied before.", run_text)
        self.assertEqual(tree_listing(copies), first, "the second arrival adds no file")
        self.assertEqual(app.quit(), 0)

    def test_stop_ends_a_verified_copy_inside_its_file(self):
        # Eight chunks of the verified copy; Stop comes while the first is held.
        backing = make_tree(self.prefix.work_dir / "stopbacking", {"VIDEO/clip[held].mov": 8 * MB})
        (backing / ".windows-serial").write_text("0000beef")
        held = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "stopvol")
        copies = self.copies_folder()
        app = self.start_records(copies, Verify=1)
        self.define("T", held.folder)
        held.hold()
        self.arrive(app, "T")
        wait_until(held.reached_gate, timeout=60, interval=0.05, what="the verified copy held inside its file")
        app.probe1("click", ids.IDC_STOP)
        held.open_gate()
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[T]: Stopped.", 30000)
        self.assertNotIn("[T]: Finished", app.text(ids.IDC_LOG_EDIT))
        self.assertLess(held.served_end("/VIDEO/clip[held].mov"), 8 * MB, "the copy ended inside the file")
        self.assertFalse((copies / "000/VIDEO/clip[held].mov").exists(), "no unverified or partial copy is left")
        listing = (copies / "000.sha256").read_text(encoding="utf-8")
        self.assertIn("# Not complete: the run was stopped", listing)
        self.assertEqual(app.quit(), 0)

    def test_a_killed_verified_run_leaves_the_lines_of_what_it_filed(self):
        filed = {f"A/f{i:02d}.jpg": 3000 + i for i in range(12)}
        backing = make_tree(self.prefix.work_dir / "gatebacking", {**filed, "Z/held[gate].bin": 300_000})
        # Wine lists a folder's names in order, so A is copied and ended before Z is entered.
        gated = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "gatevol")
        copies = self.copies_folder()
        app = self.start_records(copies, Verify=1)
        self.define("K", gated.folder)
        gated.hold()
        self.arrive(app, "K")
        wait_until(gated.reached_gate, timeout=60, interval=0.05, what="the held file at the gate")
        pid = fs.wine_process_of("harvex.exe", self.prefix.path)
        self.assertIsNotNone(pid)
        os.kill(pid, signal.SIGKILL)
        # A request the FUSE view has taken is not left even for a fatal signal: the gate opens
        # after the kill, and the killed process ends without another step.
        gated.open_gate()
        app.wait_exit(timeout=30)

        listing = (copies / "000.sha256").read_text(encoding="utf-8")
        entries = [line for line in listing.splitlines() if line and not line.startswith("#")]
        self.assertEqual(sorted(line.split("  ", 1)[1] for line in entries),
                         sorted(f"000/{rel}" for rel in filed), listing)
        self.assertNotIn("# Ended", listing)
        check = subprocess.run(["sha256sum", "--strict", "-c", "000.sha256"], cwd=copies, capture_output=True,
                               text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertEqual(check.stdout.count(": OK\n"), len(filed))


if __name__ == "__main__":
    unittest.main()
