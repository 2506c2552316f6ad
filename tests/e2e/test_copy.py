"""A volume arrival ends in a full copy: naming rules, the log, progress and completion."""

import unittest

import ids
from harness import HarvexTestCase, Volume, compare_trees

KEY = r"SOFTWARE\Quenby\Harvex2"
CARD = {
    "DCIM/100MEDIA/IMG_0001.JPG": 300_000,
    "DCIM/100MEDIA/IMG_0002.JPG": 1_200_000,
    "DCIM/Empty folder": None,
    "Notes with spaces.txt": "hello",
    "Ünïcödé – fotos/straße.jpg": 4096,
    "root.bin": 2_000_000,
}


class CopyOnArrival(HarvexTestCase):
    def fresh_volume(self, letter, drive_type, label=None, entries=None):
        """A volume folder of this test alone, so tests sharing a prefix do not see each other's files."""
        return Volume(self.prefix, letter, drive_type, label, entries, name=f"{self._testMethodName}-{letter}")

    def start_with(self, folder_name=1, log_level=0):
        self.dest = self.prefix.drive_c / f"copies-{self._testMethodName}"
        self.dest.mkdir(exist_ok=True)
        self.prefix.reg_set(KEY, "Save to", "sz", self.prefix.windows_path(self.dest))
        self.prefix.reg_set(KEY, "Folder name", "dword", folder_name)
        self.prefix.reg_set(KEY, "Log level", "dword", log_level)
        return self.start_harvex()

    def arrive(self, app, volume):
        volume.insert()
        app.probe1("devchange", "arrival", volume.letter)

    def wait_complete(self, app, timeout_ms=60000):
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "startswith", "Complete", timeout_ms, timeout=timeout_ms / 1000 + 30)

    def log_lines(self, app):
        return [line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line]

    def test_arrival_copies_the_whole_tree_into_a_numbered_folder(self):
        app = self.start_with(folder_name=1, log_level=0)
        card = self.fresh_volume("Q", 2, label="CARD", entries=CARD)
        self.arrive(app, card)
        self.wait_complete(app)
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Complete.")
        self.assertEqual(compare_trees(card.folder, self.dest / "000"), [])
        self.assertEqual(self.log_lines(app), ["Ready.", "[Q]: drive attached", "[Q]: Copying...", "[Q]: Finished."])
        self.assertEqual(app.probe1("progress", ids.IDC_PROGRESS_BAR)["pos"], 100)

        # A second arrival gets a folder of its own.
        app.probe1("devchange", "arrival", "Q")
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "Finished.\r\n[Q]: drive attached", 20000)
        self.wait_complete(app)
        self.assertEqual(compare_trees(card.folder, self.dest / "001"), [])
        self.assertEqual(app.quit(), 0)

    def test_volume_label_names_the_folder_and_files_are_logged_at_level_two(self):
        app = self.start_with(folder_name=3, log_level=2)
        card = self.fresh_volume("R", 2, label="HOLIDAY", entries=CARD)
        self.arrive(app, card)
        self.wait_complete(app)
        self.assertEqual(compare_trees(card.folder, self.dest / "HOLIDAY"), [])
        lines = self.log_lines(app)
        folder_line = lines.index("[R]: R:\\DCIM")
        self.assertLess(folder_line, lines.index("[R]: R:\\DCIM\\100MEDIA"))
        self.assertLess(lines.index("[R]: R:\\DCIM\\100MEDIA"), lines.index("[R]: R:\\DCIM\\100MEDIA\\IMG_0001.JPG"))
        self.assertIn("[R]: R:\\Notes with spaces.txt", lines)
        self.assertEqual(lines[-1], "[R]: Finished.")


if __name__ == "__main__":
    unittest.main()
