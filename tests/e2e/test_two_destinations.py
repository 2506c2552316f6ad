""""Also copy to": a second destination set in Options, stored at Quit, and handed to every arrival;
left empty, a run copies once, as it always did."""

import os
import re
import subprocess
import unittest

import ids
import faults_support as fs
from harness import Volume, compare_trees
from test_faults import KEY, REMOVABLE, FaultCase, card_entries

REG_SZ = 1
ALSO_COPY_TO = "Also copy to"
EDIT, BROWSE = ids.IDC_ALSO_COPY_TO_EDIT, ids.IDC_ALSO_COPY_TO_BROWSE
LABEL, HINT = ids.IDC_ALSO_COPY_TO_LABEL, ids.IDC_ALSO_COPY_TO_HINT


class TwoDestinations(FaultCase):
    def options(self, app, *commands):
        return self.prefix.probe(["target", "title", "Options", f"pid={app.pid}"], *commands)[1:]

    def open_options(self, app):
        app.probe1("post-click", ids.IDC_OPTIONS)
        self.options(app, ["wait-window", 5000, "visible"])

    def close_with(self, target, command):
        self.prefix.probe(target, command, check=False)
        self.prefix.probe(target, ["wait-no-window", 5000])

    def set_also_copy_to(self, app, text, button=ids.IDOK):
        """Types text into "Also copy to" and closes Options with button."""
        self.open_options(app)
        self.options(app, ["settext", EDIT, text], ["click", button], ["wait-no-window", 5000])

    def shown_also_copy_to(self, app):
        self.open_options(app)
        text = self.options(app, ["gettext", EDIT])[0]["text"]
        self.options(app, ["click", ids.IDCANCEL], ["wait-no-window", 5000])
        return text

    def stored_also_copy_to(self):
        value = self.prefix.reg_value(KEY, ALSO_COPY_TO)
        self.assertIsNotNone(value, "stored at quit")
        self.assertEqual((value["type"], value["terminated"]), (REG_SZ, True))
        return value["string"]

    def copy_card(self, app, card, runs):
        card.insert()
        self.arrive(app, card.letter)
        lines = self.wait_runs_ended(app, card.letter, count=runs)
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "startswith", "Complete", 30000)
        return lines

    def test_also_copy_to_is_stored_at_quit_and_shown_after_a_restart_and_cancel_keeps_it(self):
        app = self.start_with(self.copies_folder())
        self.open_options(app)
        texts = {c["id"]: c["text"] for c in self.options(app, ["controls"])[0]["controls"]}
        self.assertEqual([texts.get(LABEL), texts.get(EDIT), texts.get(BROWSE), texts.get(HINT)],
                         ["Also copy to:", "", "Browse", "leave empty for one copy"], "missing: off")
        self.options(app, ["post-click", BROWSE])
        picker = ["target", "title", "Browse for Folder", f"pid={app.pid}"]
        shown = self.prefix.probe(picker, ["wait-window", 10000, "visible"], ["controls"], check=False)
        self.assertTrue(shown[-1].get("ok"), f"the folder picker opens: {self.prefix.probe(['windows'], check=False)}")
        self.assertIn("Select folder:", [c.get("text") for c in shown[-1]["controls"]])
        self.close_with(picker, ["close"])
        self.options(app, ["click", ids.IDCANCEL], ["wait-no-window", 5000])

        backup = "C:\\Backup\\Cards – zweite Kopie"
        self.set_also_copy_to(app, backup)
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.stored_also_copy_to(), backup)

        again = self.start_harvex()
        self.assertEqual(self.shown_also_copy_to(again), backup, "read from the registry")
        self.set_also_copy_to(again, "D:\\Elsewhere", ids.IDCANCEL)
        self.assertEqual(self.shown_also_copy_to(again), backup, "Cancel changes nothing")
        self.set_also_copy_to(again, "")
        self.assertEqual(self.shown_also_copy_to(again), "", "OK takes the cleared text")
        self.assertEqual(again.quit(), 0)
        self.assertEqual(self.stored_also_copy_to(), "", "an empty text is stored: one copy")

    def test_empty_also_copy_to_copies_once_with_the_same_lines(self):
        copies, elsewhere = self.copies_folder(), self.prefix.drive_c / "elsewhere"
        elsewhere.mkdir()
        card = Volume(self.prefix, "Q", REMOVABLE, label="CARD", entries=card_entries(4, 50_000))
        app = self.start_with(copies)
        never_set = fs.run_lines(self.copy_card(app, card, 1), "Q")

        self.set_also_copy_to(app, self.prefix.windows_path(elsewhere))
        self.set_also_copy_to(app, "")
        cleared = fs.run_lines(self.copy_card(app, card, 2), "Q")

        self.assertEqual(sorted(os.listdir(copies)), ["000", "001"])
        self.assertEqual(compare_trees(card.folder, copies / "001"), [])
        self.assertEqual(os.listdir(elsewhere), [], "nothing is made in a destination no longer set")
        folder = self.prefix.windows_path(copies)
        self.assertEqual([line.replace(f"{folder}\\001", f"{folder}\\000") for line in cleared], never_set)
        self.assertEqual(app.quit(), 0)

    def test_a_second_destination_that_fills_up_stops_alone_and_the_first_is_complete(self):
        copies, small = self.copies_folder(), self.prefix.drive_c / "small"
        fs.mount_tmpfs(self.cleanup, small, "5m")
        entries = {f"clips/clip{i:02d}.MP4": 1536 * 1024 for i in range(6)}
        entries.update({f"photos/p{i:02d}.jpg": 100_000 for i in range(10)})
        card = Volume(self.prefix, "T", REMOVABLE, label="FULL", entries=entries)
        self.prefix.reg_set(KEY, "Verify", "dword", 1)
        self.prefix.reg_set(KEY, ALSO_COPY_TO, "sz", self.prefix.windows_path(small))
        app = self.start_with(copies, log_level=0)

        run_text = fs.run_lines(self.copy_card(app, card, 1), "T")
        first, second = self.prefix.windows_path(copies / "000"), self.prefix.windows_path(small / "000")
        files = sum(1 for path in card.folder.rglob("*") if path.is_file())  # the label file too

        self.assertEqual(compare_trees(card.folder, copies / "000"), [])
        check = subprocess.run(["sha256sum", "--strict", "-c", "000.sha256"], cwd=copies, capture_output=True,
                               text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertEqual(check.stdout.count(": OK\n"), files)

        listing = (small / "000.sha256").read_text(encoding="utf-8").splitlines()
        self.assertTrue(listing[-1].startswith("# Not complete"), listing[-3:])

        *body, last = run_text
        full_lines = [line for line in body if self.prefix.windows_path(small) in line and line != f"Copying into {second}"]
        self.assertEqual(len(full_lines), 1, "\n".join(body))
        self.assertRegex(full_lines[0].lower(), "disk full|space", "the system's reason")

        self.assertTrue(last.startswith("Finished with "), last)
        self.assertIn(first, last)
        self.assertIn(second, last)
        self.assertLess(last.index(first), last.index("verified"))
        self.assertIn("full", last[last.index(second):])

        progress = app.text(ids.IDC_PROGRESS_TEXT)
        match = re.fullmatch(r"Complete with (\d+) errors\.", progress)
        self.assertIsNotNone(match, progress)
        # The files the full destination did not get are the run's errors; the first has them all.
        self.assertGreaterEqual(int(match.group(1)), 1)
        self.assertEqual(app.quit(), 0)


if __name__ == "__main__":
    unittest.main()
