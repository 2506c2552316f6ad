"""The life of the copies around them: arrivals while quitting, Stop of a run that waits for its
drive, a "Copy to" that hangs, the end of the session, and a finished run with errors."""

import threading
import time
import unittest

import faults_support as fs
import ids
from harness import Volume, make_tree, wait_until
from test_faults import KEY, FaultCase

WM_QUERYENDSESSION = 0x11
WM_ENDSESSION = 0x16
QUIT = ids.ID_TRAY_QUIT
STOP = ids.IDC_STOP
COPY_TO = ids.IDC_COPY_TO_EDIT
LOG = ids.IDC_LOG_EDIT
PROGRESS_TEXT = ids.IDC_PROGRESS_TEXT
MB = 1024 * 1024


class Lifecycle(FaultCase):
    def slow_card(self, name, files):
        """A volume whose files each take about 0.2 s to read (Wine's file copy cannot be cancelled,
        so a stop takes effect after the file in progress)."""
        backing = self.prefix.work_dir / f"{name}-backing"
        make_tree(backing, {f"clip{i:03d}[slow].bin": 20_000 for i in range(files)})
        return backing, fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / name)

    def own_lines(self, app, letter):
        prefix = f"[{letter}]: "
        return [line[len(prefix):] for line in self.lines(app) if line.startswith(prefix)]

    def test_an_arrival_while_quit_waits_starts_no_copy(self):
        backing, slow = self.slow_card("quitwait", 3)
        # Last in the listing and held until the arrivals have come: in progress when Quit comes.
        make_tree(backing, {"zz big[gate].bin": 2 * 1024 * 1024})
        other = Volume(self.prefix, "R", 2, label="OTHER", entries={"a.jpg": 1000})
        copies = self.copies_folder()
        app = self.start_with(copies, log_level=0)
        self.define("Q", slow.folder)
        other.insert()
        slow.hold()
        self.arrive(app, "Q")
        wait_until(slow.reached_gate, timeout=60, interval=0.05, what="the copy held at its last file")
        started = time.monotonic()
        # Quit hides the dialog first, then waits for the file in progress; the arrivals come then.
        app.probe(["command", QUIT], ["wait-state", "visible", 0, 10000], ["devchange", "arrival", "R"],
                  ["devchange", "arrival", "Q"])
        slow.open_gate()
        code = app.wait_exit(timeout=60)
        took = time.monotonic() - started
        print(f"\n[quit wait] ended {took:.1f} s after Quit")
        self.assertEqual(code, 0)
        self.assertLess(took, 30)
        self.assertEqual(sorted(p.name for p in copies.iterdir()), ["000"], "no copy started after Quit")

    def test_stop_cancels_a_run_that_waits_for_its_drive(self):
        backing, slow = self.slow_card("restop", 3)
        make_tree(backing, {"clip003[gate].bin": 20_000, "clip004.bin": 20_000})
        copies = self.copies_folder()
        app = self.start_with(copies, log_level=0)
        self.define("Q", slow.folder)
        slow.hold()
        self.arrive(app, "Q")
        wait_until(slow.reached_gate, timeout=60, interval=0.05, what="the copy held at its gated file")
        # The card comes again while its copy is held: a new run waits for the old one; Stop ends
        # both. Both messages are sent, so both are handled before the gate opens.
        app.probe(["devchange", "arrival", "Q"], ["click", STOP])
        slow.open_gate()
        app.probe1("wait-text", LOG, "contains", "[Q]: Stopped.", 30000)
        time.sleep(2.0)  # room for a waiting run that was wrongly kept to start
        own = self.own_lines(app, "Q")
        self.assertEqual(own, ["drive attached", "Copying...", "drive attached", "Stopped."])
        self.assertFalse((copies / "001").exists())
        self.assertEqual(app.quit(), 0)

    def test_an_arrival_that_makes_no_copy_says_why_on_the_progress_line(self):
        card = Volume(self.prefix, "Q", 2, label="CARD", entries={"a.jpg": 1000})
        app = self.start_with(self.copies_folder(), log_level=0)
        card.insert()
        app.probe(["settext", COPY_TO, ""], ["devchange", "arrival", "Q"])
        why = 'No copy is made: the "Copy to" folder is empty, missing or cannot be written.'
        app.probe1("wait-text", PROGRESS_TEXT, "equals", why, 20000)
        self.assertEqual(self.own_lines(app, "Q"), ["drive attached", why])
        self.assertEqual(app.quit(), 0)

    def test_a_copy_to_that_hangs_leaves_the_dialog_and_other_drives_alone(self):
        backing = self.prefix.work_dir / "share-backing"
        make_tree(backing, {"copies[gate]/keep.txt": "x"})
        share = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "share")
        self.define("S", share.folder, 4)
        card = Volume(self.prefix, "Q", 2, label="CARD", entries={"a.jpg": 1000})
        other = Volume(self.prefix, "R", 2, label="OTHER", entries={"b.jpg": 2000})
        copies = self.copies_folder()
        hanging = "S:\\copies[gate]"
        app = self.start_with(copies, log_level=0)
        card.insert()
        other.insert()
        # A dead share: every look-up of the folder waits until the gate opens.
        share.hold()
        app.probe(["settext", COPY_TO, hanging], ["devchange", "arrival", "Q"])
        # The next arrival is handed the "Copy to" as it stands then.
        timing = app.probe(["settext", COPY_TO, self.prefix.windows_path(copies)], ["devchange", "arrival", "R"],
                           ["ping", 20])[-1]
        print(f"\n[hanging copy to] round trips: median {timing['median_us']} us, most {timing['max_us']} us")
        self.assertLess(timing["max_us"], 100_000)
        app.probe1("wait-text", LOG, "contains", "[R]: Finished.", 30000)
        self.assertTrue((copies / "000" / "b.jpg").is_file())
        wait_until(share.reached_gate, timeout=30, what="Q's look-up of its folder held")
        self.assertNotIn("Copying...", self.own_lines(app, "Q"), "Q still waits for its folder")
        self.assertLess(app.probe1("ping", 5)["max_us"], 100_000)
        # Quit does not wait for a worker that only waits for its folder: nothing is half written.
        # The look-up it waits in is answered only after Quit, as a share that comes back late.
        started = time.monotonic()
        app.probe1("click", ids.IDC_QUIT)
        share.open_gate()
        self.assertEqual(app.wait_exit(timeout=30), 0)
        print(f"[hanging copy to] quit took {time.monotonic() - started:.1f} s")

    def test_the_end_of_the_session_stops_the_copies_and_stores_nothing(self):
        backing, slow = self.slow_card("session", 60)
        # Held in part until the session's end has reached the copy.
        make_tree(backing, {"clip002[held].bin": MB})
        sizes = {path.name: path.stat().st_size for path in backing.iterdir()}
        copies = self.copies_folder()
        app = self.start_with(copies, log_level=0)
        app.probe1("combo-select", ids.IDC_LOG_LEVEL_COMBO, 2)  # a change that only Quit would store
        self.define("Q", slow.folder)
        slow.hold()
        self.arrive(app, "Q")
        wait_until(slow.reached_gate, timeout=60, interval=0.05, what="the copy held inside a file")
        asked = app.probe1("send-message", WM_QUERYENDSESSION, 0, 0)
        self.assertEqual(asked.get("result"), 1, "the session may end")
        started = time.monotonic()
        # The message is answered only once the copies have ended: it is sent from a thread of its
        # own, and the gate opens once the program has told the copy to stop.
        ending = threading.Thread(target=lambda: app.probe(["set-timeout", 20000], ["send-message", WM_ENDSESSION, 1, 0],
                                                           check=False))
        ending.start()
        try:
            app.probe1("wait-text", LOG, "contains", "[Q]: The session is ending: the copy is stopped.", 20000)
        finally:
            slow.open_gate()
            ending.join(timeout=40)
        code = app.wait_exit(timeout=30)
        took = time.monotonic() - started
        print(f"\n[session end] ended {took:.1f} s after WM_ENDSESSION")
        self.assertEqual(code, 0)
        self.assertLess(took, 10)
        copied = sorted((copies / "000").glob("*.bin"))
        self.assertLess(len(copied), len(sizes), "the copy was stopped")
        self.assertEqual([p.name for p in copied if p.stat().st_size != sizes[p.name]], [], "no file is cut short")
        self.assertEqual(self.prefix.reg_value(KEY, "Log level")["dword"], 0, "nothing is stored")

    def test_a_run_with_errors_says_so_in_its_message_box(self):
        backing = self.prefix.work_dir / "errors-backing"
        make_tree(backing, {"good.jpg": 3000, "locked[eacces].txt": "secret", "also[eacces].txt": "x"})
        volume = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "errorvol")
        copies = self.copies_folder()
        self.prefix.reg_set(KEY, "Show popup", "dword", 1)
        app = self.start_with(copies, log_level=0)
        self.define("Q", volume.folder)
        self.arrive(app, "Q")
        box = self.prefix.probe(["target", "title", "Harvex", "class=#32770"], ["wait-window", 20000],
                                ["controls"])
        texts = [c.get("text", "") for c in box[2]["controls"]]
        self.assertIn("Copying finished for drive \\\\.\\Q:\n2 files or folders could not be copied.", texts)
        # The box comes after the progress line tells the outcome.
        self.assertEqual(app.text(PROGRESS_TEXT), "Complete with 2 errors.")
        self.prefix.probe(["target", "title", "Harvex", "class=#32770"], ["close"], ["wait-no-window", 10000])
        self.assertEqual(app.quit(), 0)


if __name__ == "__main__":
    unittest.main()
