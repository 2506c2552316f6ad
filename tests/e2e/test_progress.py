"""The log box and the progress line while copies run: levels, Clear, Stop, two drives, the pop-up."""

import unittest

import faults_support as fs
import ids
from harness import HarvexTestCase, Volume, compare_trees, make_tree, wait_until

KEY = r"SOFTWARE\Quenby\Harvex2"
MB = 1024 * 1024


def many_files(count, size=2048, folder="DCIM"):
    return {f"{folder}/{i // 100:03d}/IMG_{i:05d}.JPG": size for i in range(count)}


class LogAndProgress(HarvexTestCase):
    def fresh_volume(self, letter, drive_type, label=None, entries=None):
        """A volume folder of this test alone, so tests sharing a prefix do not see each other's files."""
        return Volume(self.prefix, letter, drive_type, label, entries, name=f"{self._testMethodName}-{letter}")

    def held_volume(self, letter, entries):
        """A volume of this test alone seen through FaultFs, its letter defined: a "[held]" file of
        entries stops the copy inside it while the gate is held. Gives the backing folder and the view."""
        if not hasattr(self, "cleanup"):
            self.cleanup = fs.Cleanup()
            # After tearDown, which ends harvex.exe: it may hold files open on the view.
            self.addCleanup(self.cleanup.run)
        backing = make_tree(self.prefix.work_dir / f"{self._testMethodName}-{letter}", entries)
        view = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / f"{self._testMethodName}-{letter}-view")
        self.prefix.map_drive(letter, 2, view.folder)
        return backing, view

    def start_with(self, log_level=0, **values):
        self.dest = self.prefix.drive_c / f"copies-{self._testMethodName}"
        self.dest.mkdir(exist_ok=True)
        self.prefix.reg_set(KEY, "Save to", "sz", self.prefix.windows_path(self.dest))
        self.prefix.reg_set(KEY, "Folder name", "dword", 1)
        self.prefix.reg_set(KEY, "Log level", "dword", log_level)
        for name, value in values.items():
            self.prefix.reg_set(KEY, name.replace("_", " "), "dword", value)
        return self.start_harvex()

    def lines(self, app):
        return [line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line]

    def test_raising_the_level_mid_run_shows_file_lines_from_then_on(self):
        app = self.start_with(log_level=0)
        # Held in its second folder: the first folder's files are copied before the level is raised.
        backing, view = self.held_volume("Q", {**many_files(300), "DCIM/001/IMG_00150[held].JPG": MB})
        view.hold()
        app.probe1("devchange", "arrival", "Q")
        wait_until(view.reached_gate, timeout=60, what="the copy held in its second folder")
        app.probe1("combo-select", ids.IDC_LOG_LEVEL_COMBO, 2, "notify=1")
        view.open_gate()
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 120000, timeout=150)
        lines = self.lines(app)
        file_lines = [line for line in lines if line.endswith(".JPG")]
        self.assertGreater(len(file_lines), 0, "file lines appear once the level is raised")
        # IMG_00151 to IMG_00299 and the held file, which ends after the change.
        self.assertEqual(len(file_lines), 150, "files copied before the change are not shown")
        self.assertEqual(lines[:3], ["Ready.", "[Q]: drive attached", "[Q]: Copying..."])
        self.assertEqual(lines[-1], "[Q]: Finished.")
        self.assertEqual(compare_trees(backing, self.dest / "000"), [])

    def test_no_selection_shows_no_line_but_the_copy_completes(self):
        self.prefix.reg_set(KEY, "Log level", "dword", -1)
        app = self.start_with(log_level=-1)
        card = self.fresh_volume("Q", 2, entries={"a.jpg": 1000})
        card.insert()
        app.probe1("devchange", "arrival", "Q")
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 30000)
        self.assertEqual(app.text(ids.IDC_LOG_EDIT), "Ready.\r\n")

    def test_stop_and_clear_while_two_drives_copy(self):
        app = self.start_with(log_level=0)
        # Each copy is held inside a file of its first folder until Clear and Stop have come.
        first, first_view = self.held_volume("Q", {**many_files(400), "DCIM/000/IMG_00050[held].JPG": MB})
        second, second_view = self.held_volume("R", {**many_files(400, folder="VIDEO"),
                                                     "VIDEO/000/IMG_00050[held].JPG": MB})
        for view in (first_view, second_view):
            view.hold()
        app.probe1("devchange", "arrival", "QR")
        wait_until(lambda: first_view.reached_gate() and second_view.reached_gate(), timeout=60,
                   what="both copies held")
        app.probe1("click", ids.IDC_CLEAR)
        self.assertNotIn("Ready.", app.text(ids.IDC_LOG_EDIT), "Clear empties the box")
        app.probe1("click", ids.IDC_STOP)
        for view in (first_view, second_view):
            view.open_gate()
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Stopped.", 30000)
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[R]: Stopped.", 30000)
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[Q]: Stopped.", 30000)
        lines = self.lines(app)
        self.assertNotIn("[Q]: Finished.", lines)
        self.assertNotIn("[R]: Finished.", lines)
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Stopped.")
        copied = list((self.dest / "000").rglob("*.JPG")) + list((self.dest / "001").rglob("*.JPG"))
        self.assertLess(len(copied), 802, "Stop ended the copies early")

        # Stop does not stick: the next arrival copies normally.
        app.probe1("devchange", "arrival", "Q")
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 120000, timeout=150)
        self.assertEqual(compare_trees(first, self.dest / "002"), [])

    def test_two_drives_interleave_with_their_own_letters(self):
        app = self.start_with(log_level=2)
        first = self.fresh_volume("Q", 2, entries=many_files(400))
        second = self.fresh_volume("R", 2, entries=many_files(400, folder="VIDEO"))
        first.insert()
        second.insert()
        app.probe1("devchange", "arrival", "QR")
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[Q]: Finished.", 60000)
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[R]: Finished.", 60000)
        lines = self.lines(app)
        q_lines = [line for line in lines if line.startswith("[Q]: Q:\\")]
        r_lines = [line for line in lines if line.startswith("[R]: R:\\")]
        self.assertEqual(len([l for l in q_lines if l.endswith(".JPG")]), 400)
        self.assertEqual(len([l for l in r_lines if l.endswith(".JPG")]), 400)
        self.assertEqual(compare_trees(first.folder, self.dest / "000"), [])
        self.assertEqual(compare_trees(second.folder, self.dest / "001"), [])

    def test_completion_popup_names_the_device(self):
        app = self.start_with(log_level=0, Show_popup=1)
        card = self.fresh_volume("Q", 2, entries={"a.jpg": 1000})
        card.insert()
        app.probe1("devchange", "arrival", "Q")
        box = self.prefix.probe(["target", "title", "Harvex", "class=#32770"], ["wait-window", 20000],
                                ["controls"])
        texts = [c.get("text", "") for c in box[2]["controls"]]
        self.assertIn("Copying finished for drive \\\\.\\Q:", texts)
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Complete.")
        self.prefix.probe(["target", "title", "Harvex", "class=#32770"], ["close"], ["wait-no-window", 10000])
        self.assertEqual(app.quit(), 0)


if __name__ == "__main__":
    unittest.main()
