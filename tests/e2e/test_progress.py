"""The log box and the progress line while copies run: levels, Clear, Stop, two drives, the pop-up."""

import unittest

import ids
from harness import HarvexTestCase, Volume, compare_trees, wait_until

KEY = r"SOFTWARE\Quenby\Harvex2"


def many_files(count, size=2048, folder="DCIM"):
    return {f"{folder}/{i // 100:03d}/IMG_{i:05d}.JPG": size for i in range(count)}


class LogAndProgress(HarvexTestCase):
    def fresh_volume(self, letter, drive_type, label=None, entries=None):
        """A volume folder of this test alone, so tests sharing a prefix do not see each other's files."""
        return Volume(self.prefix, letter, drive_type, label, entries, name=f"{self._testMethodName}-{letter}")

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
        card = self.fresh_volume("Q", 2, label="CARD", entries=many_files(3000))
        card.insert()
        app.probe1("devchange", "arrival", "Q")
        wait_until(lambda: len(list((self.dest / "000").rglob("*.JPG"))) >= 200, timeout=60,
                   what="the first 200 files copied")
        app.probe1("combo-select", ids.IDC_LOG_LEVEL_COMBO, 2, "notify=1")
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 120000, timeout=150)
        lines = self.lines(app)
        file_lines = [line for line in lines if line.endswith(".JPG")]
        self.assertGreater(len(file_lines), 0, "file lines appear once the level is raised")
        self.assertLess(len(file_lines), 3000, "files copied before the change were not shown")
        self.assertEqual(lines[:3], ["Ready.", "[Q]: drive attached", "[Q]: Copying..."])
        self.assertEqual(lines[-1], "[Q]: Finished.")
        self.assertEqual(compare_trees(card.folder, self.dest / "000"), [])

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
        first = self.fresh_volume("Q", 2, entries=many_files(4000))
        second = self.fresh_volume("R", 2, entries=many_files(4000, folder="VIDEO"))
        first.insert()
        second.insert()
        app.probe(["devchange", "arrival", "QR"], ["wait-text", ids.IDC_LOG_EDIT, "contains", "[R]: Copying...", 10000],
                  ["click", ids.IDC_CLEAR])
        self.assertNotIn("Ready.", app.text(ids.IDC_LOG_EDIT), "Clear empties the box")
        app.probe(["click", ids.IDC_STOP], ["wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Stopped.", 30000])
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[R]: Stopped.", 30000)
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[Q]: Stopped.", 30000)
        lines = self.lines(app)
        self.assertNotIn("[Q]: Finished.", lines)
        self.assertNotIn("[R]: Finished.", lines)
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Stopped.")
        copied = list((self.dest / "000").rglob("*.JPG")) + list((self.dest / "001").rglob("*.JPG"))
        self.assertLess(len(copied), 8000, "Stop ended the copies early")

        # Stop does not stick: the next arrival copies normally.
        app.probe1("devchange", "arrival", "Q")
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 120000, timeout=150)
        self.assertEqual(compare_trees(first.folder, self.dest / "002"), [])

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
