""""Verify a copy..." on lists whose files are slow to look up, and after a start in the tray."""

import hashlib
import time
import unittest

import faults_support as fs
import ids
from harness import wait_until
from test_faults import FaultCase

VERIFY_A_COPY = ids.ID_TRAY_VERIFY_COPY
FILE_NAME_BOXES = (1148, 1152)  # cmb13 or edt1: the file name box of the system's open dialog
LOG = ids.IDC_LOG_EDIT
FIXED = 3


def write_list(folder, names, ended=True):
    """A checksum list run.sha256 in folder for the files folder/run/NAME, as a verified run writes it."""
    lines = ["# Harvex checksum list (SHA-256); check with: sha256sum -c", "# Started: 2026-01-02 03:04:05"]
    for name in names:
        digest = hashlib.sha256((folder / "run" / name).read_bytes()).hexdigest()
        lines.append(f"{digest}  run/{name}")
    if ended:
        lines.append("# Ended: 2026-01-02 03:04:06")
    (folder / "run.sha256").write_text("\n".join(lines) + "\n", encoding="utf-8")


class ListCheck(FaultCase):
    def gated_share(self, name):
        """A share V: whose listed files wait at a gate on each look-up, as on a dead network share."""
        backing = self.prefix.work_dir / f"{name}-backing"
        (backing / "run").mkdir(parents=True)
        names = [f"{i}[gate].jpg" for i in range(1, 4)]
        for i, file_name in enumerate(names):
            (backing / "run" / file_name).write_bytes(bytes([i]) * 5000)
        write_list(backing, names)
        share = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / name)
        self.define("V", share.folder, FIXED)
        return share

    def choose_list(self, app, list_path):
        """"Verify a copy..." from the tray menu on list_path, up to the check's first line."""
        app.probe1("command", VERIFY_A_COPY)
        dialog = ["target", "title", "Verify a copy", f"pid={app.pid}"]
        controls = self.prefix.probe(dialog, ["wait-window", 10000, "visible"], ["controls"])[2]["controls"]
        name_box = next((i for i in FILE_NAME_BOXES if i in {c["id"] for c in controls}), None)
        self.assertIsNotNone(name_box, controls)
        self.prefix.probe(dialog, ["settext", name_box, list_path], ["post-click", 1], ["wait-no-window", 10000])
        app.probe1("wait-text", LOG, "contains", "[Verify]: Verifying ", 30000)

    def check_lines(self, app):
        return [line for line in self.lines(app) if line.startswith("[Verify]: ")]

    def test_stop_ends_a_check_held_in_a_look_up_and_no_other_look_up_begins(self):
        share = self.gated_share("stopshare")
        share.hold()
        app = self.start_with(self.copies_folder(), log_level=0)
        self.choose_list(app, "V:\\run.sha256")
        wait_until(share.reached_gate, timeout=30, what="the check held in its first look-up")
        app.probe1("click", ids.IDC_STOP)  # sent: handled before the gate opens
        share.open_gate()
        app.probe1("wait-text", LOG, "contains", "[Verify]: Stopped.", 30000)
        self.assertEqual(self.check_lines(app), ["[Verify]: Verifying V:\\run.sha256...", "[Verify]: Stopped."])
        self.assertEqual(share.reached_gate(), ["/run/1[gate].jpg"], "no look-up after Stop")
        self.assertEqual(app.quit(), 0)

    def test_quit_gives_up_a_check_held_in_a_look_up(self):
        share = self.gated_share("quitshare")
        share.hold()
        app = self.start_with(self.copies_folder(), log_level=0)
        self.choose_list(app, "V:\\run.sha256")
        wait_until(share.reached_gate, timeout=30, what="the check held in its first look-up")
        started = time.monotonic()
        app.probe1("command", ids.ID_TRAY_QUIT)
        # The dialog goes when Quit's wait is over. The process itself cannot end before the gate
        # opens: Linux lets no thread leave a FUSE request that the file system holds.
        app.probe1("wait-no-window", 30000, timeout=60)
        took = time.monotonic() - started
        print(f"\n[quit with a held check] Quit's wait over {took:.1f} s after Quit")
        share.open_gate()
        self.assertEqual(app.wait_exit(timeout=30), 0)
        self.assertLess(took, 20, "a check that writes nothing does not hold Quit")
        self.assertEqual(share.reached_gate(), ["/run/1[gate].jpg"], "no look-up after Quit")

    def test_verify_a_copy_shows_the_dialog_after_a_start_in_the_tray(self):
        folder = self.prefix.drive_c / "listed"
        (folder / "run").mkdir(parents=True)
        (folder / "run" / "a.jpg").write_bytes(b"a" * 3000)
        write_list(folder, ["a.jpg"], ended=False)  # a run that was killed
        app = self.start_harvex(args=["/tray"])
        app.probe1("sync", 3)
        self.assertFalse(app.window()["visible"])
        self.choose_list(app, self.prefix.windows_path(folder / "run.sha256"))
        app.probe1("wait-state", "visible", 1, 5000)
        app.probe1("wait-text", LOG, "contains", "[Verify]: Verify found 1 problem.", 30000)
        self.assertIn("[Verify]: The list has no closing \"# Ended:\" line: the run that wrote it did not end, so it "
                      "may not name every file of the copy.", self.check_lines(app))
        self.assertEqual(app.quit(), 0)


if __name__ == "__main__":
    unittest.main()
