"""Faults and bad input: volumes that vanish, disks that fill, entries that cannot be read, odd
names and labels, many drives at once, churn, quitting mid-copy, and damaged stored settings.

Every copy is audited file by file against its source (size and SHA-256): a file that is not
identical must be one that the log reported as failed, and no file may be left that looks copied
but is not. FAULTS_FULL=1 scales the volumes up (a few hundred MB); docs/reliability.md tells the
commands.
"""

import contextlib
import os
import time
import unittest

import ids
import faults_support as fs
from harness import CACHE_DIR, HarvexTestCase, Volume, compare_trees, make_tree, pattern_bytes, wait_until

KEY = r"SOFTWARE\Quenby\Harvex2"
MB = 1024 * 1024
REMOVABLE = 2


class FaultCase(HarvexTestCase):
    """Mounts and FUSE processes of each test go on self.cleanup and are undone after it, after
    harvex.exe has been ended (it may hold files open on them)."""

    @classmethod
    def setUpClass(cls):
        fs.sweep_stale(CACHE_DIR / "runs")
        super().setUpClass()

    def setUp(self):
        self.cleanup = fs.Cleanup()
        super().setUp()

    def tearDown(self):
        try:
            super().tearDown()
        finally:
            problems = self.cleanup.run()
            if problems:
                print("cleanup problems:", *problems, sep="\n  ")

    def copies_folder(self):
        """A new, empty "Copy to" folder in drive_c for this test."""
        folder = self.prefix.drive_c / f"copies-{self._testMethodName[5:25]}"
        folder.mkdir()
        return folder

    # --- the program ---

    def start_with(self, copy_to, folder_name=1, log_level=2):
        self.prefix.reg_set(KEY, "Save to", "sz", self.prefix.windows_path(copy_to))
        self.prefix.reg_set(KEY, "Folder name", "dword", folder_name)
        self.prefix.reg_set(KEY, "Log level", "dword", log_level)
        return self.start_harvex()

    def lines(self, app):
        return [line for line in app.text(ids.IDC_LOG_EDIT).split("\r\n") if line]

    def ends_of(self, app, letter):
        prefix = f"[{letter}]: "
        return [line for line in self.lines(app) if line.startswith(prefix) and fs.is_run_end(line[len(prefix):])]

    def wait_runs_ended(self, app, letter, count=1, timeout=120):
        """Waits until the letter's runs have ended count times; gives the log lines."""
        wait_until(lambda: len(self.ends_of(app, letter)) >= count, timeout=timeout, interval=0.3,
                   what=f"{count} run end(s) of {letter}:")
        return self.lines(app)

    def define(self, letter, folder, drive_type=REMOVABLE):
        return self.prefix.map_drive(letter, drive_type, folder)

    def arrive(self, app, letters):
        app.probe1("devchange", "arrival", letters)

    def remove(self, app, letter):
        self.prefix.unmap_drive(letter)
        app.probe1("devchange", "removecomplete", letter)

    def audit(self, source, destination, lines, letter, run=-1, unreadable=()):
        run_text = fs.run_lines(lines, letter, run)
        return fs.Audit(source, destination, run_text, letter, self.prefix.windows_path(destination),
                        unreadable), run_text

    def assert_sound(self, audit):
        self.assertEqual(audit.problems(), [], audit.summary())

    def assert_error_count(self, run_text):
        """The end line counts exactly the failure lines of the run."""
        failures = [t for t in run_text if t.startswith(fs.FAILURE_PREFIXES)]
        if failures:
            self.assertEqual(run_text[-1], f"Finished with {len(failures)} error{'s' if len(failures) != 1 else ''}.",
                             "\n".join(run_text[-30:]))
        else:
            self.assertEqual(run_text[-1], "Finished.", "\n".join(run_text[-30:]))
        return failures


def card_entries(files, size, folders=("DCIM/100CANON", "DCIM/101CANON")):
    entries = {}
    for i in range(files):
        entries[f"{folders[i % len(folders)]}/IMG_{i:04d}.JPG"] = size
    entries["MISC/notes.txt"] = "notes"
    entries["MISC/Empty"] = None
    return entries


class FaultsPulledStick(FaultCase):
    def test_stick_pulled_mid_copy_then_plugged_in_again(self):
        files, size = (40, 8 * MB) if fs.FULL_SIZE else (32, MB)
        stick = fs.ExfatStick(self.cleanup, self.prefix.work_dir, "stick", "PULLTEST", files * size // MB + 32)
        make_tree(stick.folder, card_entries(files, size))
        os.sync()
        source = fs.source_listing(stick.folder)
        copies = self.copies_folder()
        app = self.start_with(copies)

        self.define("Q", stick.folder)
        self.arrive(app, "Q")
        first = copies / "000" / "DCIM" / "100CANON"
        seen = wait_until(lambda: first.is_dir() and len(os.listdir(first)) >= 5 and len(os.listdir(first)),
                          timeout=60, interval=0.005, what="the first files of the stick")
        stick.pull()
        self.remove(app, "Q")
        lines = self.wait_runs_ended(app, "Q", timeout=120)

        audit, run_text = self.audit(source, copies / "000", lines, "Q")
        self.assert_sound(audit)
        failures = self.assert_error_count(run_text)
        self.assertTrue(failures, "a pulled stick must end the run with errors")
        # Files finished before the pull are there, whole; the one in progress may have failed.
        self.assertGreaterEqual(len(audit.identical), seen - 1, audit.summary())
        self.assertLess(len(audit.identical), files, "the pull came after the copy had ended")
        self.assertIn("[Q]: drive detached", lines)
        self.assertTrue(app.is_running())
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), f"Complete with {len(failures)} errors.")

        # Plugged in again: a whole copy in a new folder.
        stick.replug()
        self.define("Q", stick.folder)
        self.arrive(app, "Q")
        lines = self.wait_runs_ended(app, "Q", count=2, timeout=240)
        self.assertEqual(fs.run_lines(lines, "Q")[-1], "Finished.")
        self.assertEqual(compare_trees(stick.folder, copies / "001"), [])
        self.record("pulled stick", audit, failures)
        self.assertEqual(app.quit(), 0)

    def record(self, case, audit, failures):
        reasons = sorted({reason for reason in audit.failures.values()})
        print(f"\n[{case}] {audit.summary()}; {len(failures)} error lines; reasons: {reasons}")


class FaultsFullDestination(FaultCase):
    def test_files_that_do_not_fit_are_reported_and_leave_nothing(self):
        small = self.prefix.drive_c / "small"
        fs.mount_tmpfs(self.cleanup, small, "5m")
        entries = {f"clips/clip{i:02d}.MP4": 1536 * 1024 for i in range(6)}
        entries.update({f"photos/p{i:02d}.jpg": 100_000 for i in range(10)})
        card = Volume(self.prefix, "T", REMOVABLE, label="FULL", entries=entries)
        source = fs.source_listing(card.folder)
        app = self.start_with(small)

        card.insert()
        self.arrive(app, "T")
        lines = self.wait_runs_ended(app, "T")
        audit, run_text = self.audit(source, small / "000", lines, "T")
        self.assert_sound(audit)
        failures = self.assert_error_count(run_text)
        self.assertTrue(audit.reported_missing, "9 MB cannot fit into 5 MB")
        for rel in audit.reported_missing:
            reason = audit.failures[rel].lower()
            self.assertTrue("disk full" in reason or "space" in reason, f"{rel}: {reason}")
        print(f"\n[destination full] {audit.summary()}; {len(failures)} error lines")

        # Room again: the next arrival copies everything.
        fs.resize_tmpfs(small, "64m")
        self.arrive(app, "T")
        lines = self.wait_runs_ended(app, "T", count=2)
        self.assertEqual(fs.run_lines(lines, "T")[-1], "Finished.")
        self.assertEqual(compare_trees(card.folder, small / "001"), [])
        self.assertEqual(app.quit(), 0)


class FaultsSourceAndDestination(FaultCase):
    def test_unreadable_files_and_folders(self):
        backing = self.prefix.work_dir / "backing"
        make_tree(backing, {
            "good/a.jpg": 200_000,
            "good/b.jpg": 3000,
            "bad[eio].bin": 300_000,
            "locked[eacces].txt": "secret",
            "good/worse[eio].mov": 1_000_000,
            "Private[nolist]/hidden.txt": "x",
            "Private[nolist]/deeper/y.txt": "y",
            "Gone[noent]/g.txt": "g",
            "later/z.txt": "z",
        })
        (backing / ".windows-label").write_text("FAULTY")
        volume = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "faultvol")
        source = fs.source_listing(backing)
        unreadable = {rel for rel in source if any(mark in rel for mark in ("[eio]", "[eacces]", "[nolist]", "[noent]"))}
        copies = self.copies_folder()
        app = self.start_with(copies)

        self.define("R", volume.folder)
        self.arrive(app, "R")
        lines = self.wait_runs_ended(app, "R")
        audit, run_text = self.audit(source, copies / "000", lines, "R", unreadable=unreadable)
        self.assert_sound(audit)
        failures = self.assert_error_count(run_text)
        self.assertEqual(audit.lost_readable, [], audit.summary())
        for rel in ("bad[eio].bin", "locked[eacces].txt", "good/worse[eio].mov"):
            self.assertIn(rel, audit.failures)
        self.assertIn("Private[nolist]", audit.failed_folders)
        # A folder whose listing finds "not found" is one error with its reason, not an empty folder.
        gone = [t for t in failures if "Gone[noent]" in t]
        self.assertEqual(len(gone), 1, failures)
        self.assertRegex(gone[0], r"^FindFirstFile failed for R:\\Gone\[noent\]: .+")
        print(f"\n[unreadable] {audit.summary()}; failures: {failures}")
        self.assertEqual(app.quit(), 0)

    def test_a_time_the_destination_cannot_take_keeps_the_data(self):
        # Year 36812 fits a Linux time but no FILETIME that SetFileTime takes.
        card = self.prefix.work_dir / "farfuture"
        fs.mount_tmpfs(self.cleanup, card, "5m")
        make_tree(card, {"DCIM/far.jpg": 70_000, "DCIM/near.jpg": 5000})
        far = (36812 - 1970) * 31_556_952 * 1_000_000_000
        os.utime(card / "DCIM/far.jpg", ns=(far, far))
        copies = self.copies_folder()
        self.prefix.reg_set(KEY, "Verify", "dword", 1)
        app = self.start_with(copies)
        self.define("F", card)
        self.arrive(app, "F")
        run_text = fs.run_lines(self.wait_runs_ended(app, "F"), "F")
        self.assertEqual(run_text[-1], "Finished. 2 files verified.", run_text)
        self.assertIn("Warning: F:\\DCIM\\far.jpg is copied without its time: the destination cannot take it.",
                      run_text)
        self.assertEqual(compare_trees(card, copies / "000"), [])

    def test_read_only_destination(self):
        copies = self.copies_folder()
        card = Volume(self.prefix, "U", REMOVABLE, label="RO", entries=card_entries(6, 50_000))
        app = self.start_with(copies)

        # Read-only from the start (a read-only bind mount refuses root too): nothing is made.
        fs.bind_read_only(self.cleanup, copies)
        card.insert()
        self.arrive(app, "U")
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[U]: No copy is made", 20000)
        self.assertEqual(os.listdir(copies), [])
        fs.unmount(str(copies))

        # Read-only in the middle of a run (chattr +i on ext4, root included): each file and folder
        # that cannot be made is reported; what was written stays whole.
        # The first files of A are written, the held one in part, before the folders refuse changes.
        backing = self.prefix.work_dir / "slowbacking"
        make_tree(backing, {**{f"A/f{i:02d}.bin": 100_000 for i in range(8)}, "A/f02[held].bin": MB,
                            "B/later.txt": "later", "C/x.bin": 10_000})
        held = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "slowvol")
        source = fs.source_listing(backing)
        self.define("V", held.folder)
        held.hold()
        self.arrive(app, "V")
        run_folder = copies / "000"
        wait_until(held.reached_gate, timeout=60, interval=0.02, what="the held file of A")
        fs.set_immutable(self.cleanup, run_folder / "A")
        fs.set_immutable(self.cleanup, run_folder)
        held.open_gate()
        lines = self.wait_runs_ended(app, "V", timeout=120)
        fs.set_immutable(self.cleanup, run_folder, on=False)
        fs.set_immutable(self.cleanup, run_folder / "A", on=False)
        audit, run_text = self.audit(source, run_folder, lines, "V")
        self.assert_sound(audit)
        failures = self.assert_error_count(run_text)
        self.assertTrue(failures)
        self.assertTrue(any(t.startswith("CreateDirectory failed for ") for t in failures), failures)
        print(f"\n[read-only destination] {audit.summary()}; failures: {failures}")
        self.assertEqual(app.quit(), 0)


class FaultsNames(FaultCase):
    def test_long_paths_and_unusual_names(self):
        deep = "/".join(f"level {i:02d} {'x' * 20}" for i in range(12))  # about 370 characters
        entries = {
            f"{deep}/deep file.txt": "deep",
            f"{deep}/{'n' * 200}.bin": 70_000,
            "n" * 255: "255 characters",
            "Ünïcödé – fotos/straße ßü.jpg": 4096,
            "日本語のフォルダ/写真.jpg": 5000,
            "😀 smile/𝄞 clef 🎵.txt": "outside the basic plane",
            "Ωμέγα/ψυχή.txt": "greek",
            "Empty 😀": None,
        }
        card = Volume(self.prefix, "W", REMOVABLE, label="NAMES", entries=entries)
        copies = self.copies_folder()
        source = fs.source_listing(card.folder)
        app = self.start_with(copies)
        card.insert()
        self.arrive(app, "W")
        lines = self.wait_runs_ended(app, "W")
        audit, run_text = self.audit(source, copies / "000", lines, "W")
        self.assertEqual(self.assert_error_count(run_text), [])
        self.assert_sound(audit)
        self.assertEqual(compare_trees(card.folder, copies / "000"), [])
        longest = max(len(self.prefix.windows_path(copies / "000")) + 1 + len(rel) for rel in source)
        self.assertGreater(longest, 400)
        self.assertIn("[W]: W:\\" + deep.replace("/", "\\") + "\\deep file.txt", lines)
        self.assertIn("[W]: W:\\😀 smile\\𝄞 clef 🎵.txt", lines)
        self.assertEqual(app.quit(), 0)

    def test_odd_labels_never_name_a_folder_outside_copy_to(self):
        parent = self.prefix.drive_c / "labelroot"
        copies = parent / "labels"
        copies.mkdir(parents=True)
        before_c = set(os.listdir(self.prefix.drive_c))
        app = self.start_with(copies, folder_name=3, log_level=0)
        labels = ["", "..", ".", "a\\b", "..\\..\\escape", "bad*:?\"<>|name", "CON", "  ", "Fotos 2024", "Fotos 2024"]
        made = []
        for i, label in enumerate(labels):
            letter = "X"
            folder = self.prefix.work_dir / f"label-{i}"
            make_tree(folder, {"photo.jpg": 1000 + i, "sub/x.txt": label or "empty"})
            (folder / ".windows-label").write_text(label, encoding="utf-8")
            self.define(letter, folder)
            existing = set(os.listdir(copies))
            self.arrive(app, letter)
            self.wait_runs_ended(app, letter, count=i + 1, timeout=60)
            self.remove(app, letter)
            new = set(os.listdir(copies)) - existing
            self.assertEqual(len(new), 1, f"label {label!r}: {new}")
            name = new.pop()
            made.append((label, name))
            self.assertEqual(compare_trees(folder, copies / name), [], f"label {label!r} -> {name!r}")
        self.assertEqual(os.listdir(parent), ["labels"])
        self.assertEqual(set(os.listdir(self.prefix.drive_c)), before_c)
        names = dict(made)
        self.assertEqual(made[-2][1], "Fotos 2024")
        self.assertEqual(made[-1][1], "Fotos 2024.000")
        for label in ("", "..", ".", "a\\b", "..\\..\\escape", "bad*:?\"<>|name", "CON", "  "):
            self.assertTrue(names[label].startswith("[no name]"), f"{label!r} -> {names[label]!r}")
        print("\n[labels] " + ", ".join(f"{label!r} -> {name!r}" for label, name in made))
        self.assertEqual(app.quit(), 0)


class FaultsManyAndChurn(FaultCase):
    def test_six_letters_in_one_notification_copy_in_parallel(self):
        letters = "KLMNOP"
        # Folders with many small files.
        files, size, small = (40, 2 * MB, 8000) if fs.FULL_SIZE else (12, 200_000, 600)
        volumes = [Volume(self.prefix, letter, REMOVABLE, label=f"VOL{letter}",
                          entries={**card_entries(files, size),
                                   **{f"THUMBS/{i // 500:02d}/t{i:05d}.jpg": 1024 for i in range(small)}})
                   for letter in letters]
        # Each volume is seen through a FaultFs view of its own, its last file held: every run is
        # held there until all six are, so they are shown to run at the same time.
        views = []
        for volume in volumes:
            make_tree(volume.folder, {"ZZ/clip[held].bin": MB})
            views.append(fs.FaultFs(self.cleanup, volume.folder, self.prefix.work_dir / f"view-{volume.letter}"))
            views[-1].hold()
        copies = self.copies_folder()
        # Basic lines and errors only: the audit needs no more, and the box stays small.
        app = self.start_with(copies, folder_name=3, log_level=0)
        for volume, view in zip(volumes, views):
            self.define(volume.letter, view.folder)
        self.arrive(app, letters)
        wait_until(lambda: all(view.reached_gate() for view in views), timeout=240, interval=0.2,
                   what="all six runs held")
        for view in views:
            view.open_gate()
        for letter in letters:
            lines = self.wait_runs_ended(app, letter, timeout=240)
        for volume in volumes:
            audit, run_text = self.audit(fs.source_listing(volume.folder), copies / f"VOL{volume.letter}",
                                         lines, volume.letter)
            self.assertEqual(self.assert_error_count(run_text), [])
            self.assert_sound(audit)
            self.assertEqual(len(audit.identical), files + 2 + small)
        # They ran at the same time: the most runs going at once.
        running = most = 0
        for line in lines:
            if line.endswith("Copying..."):
                running += 1
                most = max(most, running)
            elif line.endswith("Finished."):
                running -= 1
        print(f"\n[six letters] up to {most} runs at once")
        self.assertEqual(most, len(letters), [line for line in lines if line.endswith(("Copying...", "Finished."))])
        self.assertEqual(app.quit(), 0)

    def slow_volume(self, name, files):
        backing = self.prefix.work_dir / f"{name}-backing"
        make_tree(backing, {f"clip{i:03d}[slow].bin": 20_000 for i in range(files)})
        (backing / ".windows-label").write_text(name.upper())
        return backing, fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / name)

    def test_churn_of_one_letter_while_its_copy_runs(self):
        # Many small files: a run takes a second or two under Wine, and stops within one file.
        count = 6000 if fs.FULL_SIZE else 2500
        churn = Volume(self.prefix, "S", REMOVABLE, label="CHURN",
                       entries={f"f{i // 500:02d}/{i:05d}.dat": 2048 for i in range(count)})
        backing = churn.folder
        copies = self.copies_folder()
        app = self.start_with(copies, folder_name=1, log_level=0)
        pid = fs.wine_process_of("harvex.exe", self.prefix.path)
        self.assertIsNotNone(pid)
        # Resting level: after one whole run, so the threads Wine starts on first use exist.
        warm = Volume(self.prefix, "G", REMOVABLE, label="WARM", entries=card_entries(4, 10_000))
        warm.insert()
        self.arrive(app, "G")
        self.wait_runs_ended(app, "G")
        time.sleep(1.0)
        rest_threads, rest_rss = fs.process_resources(pid)

        arrivals = 30
        churn.insert()
        self.arrive(app, "S")
        for i in range(arrivals - 1):
            time.sleep(0.15)
            if i % 3 == 0:
                # The letter goes away: the run in progress fails on and ends with errors.
                self.remove(app, "S")
                churn.insert()
            else:
                # A reader that reports its slot empty and full again: the letter stays.
                app.probe1("devchange", "removecomplete", "S")
            self.arrive(app, "S")
            peak_threads, _ = fs.process_resources(pid)
            self.assertLess(peak_threads, rest_threads + 10)
        def settled():
            own = [line[5:] for line in self.lines(app) if line.startswith("[S]: ")]
            return own if own.count("Copying...") == own.count("Stopped.") + sum(
                t.startswith("Finished") for t in own) and own[-1].startswith("Finished") else None

        try:
            own = wait_until(settled, timeout=60, interval=0.3, what="the last run of S to finish")
        except Exception:
            print("\n".join(self.lines(app)[-60:]))
            raise
        self.assertEqual(own.count("drive attached"), arrivals)
        self.assertEqual(own.count("drive detached"), arrivals - 1)
        # Each run ends before the next begins, and a new run follows an arrival.
        running = False
        attached_since_start = False
        for text in own:
            if text == "Copying...":
                self.assertFalse(running, own)
                self.assertTrue(attached_since_start, own)
                running, attached_since_start = True, False
            elif text == "Stopped." or text.startswith("Finished"):
                self.assertTrue(running, own)
                running = False
            elif text == "drive attached":
                attached_since_start = True
        self.assertFalse(running)
        self.assertEqual(own[-1], "Finished.", [t for t in own if "failed" in t][-10:])
        runs = own.count("Copying...")
        stopped = own.count("Stopped.")
        self.assertEqual(stopped + sum(text.startswith("Finished") for text in own), runs)
        self.assertGreater(stopped, 0, own)

        # Every folder holds whole files only; the last one holds everything.
        source = fs.source_listing(backing)
        folders = sorted(os.listdir(copies))[1:]  # 000 is the warm-up's
        self.assertEqual(len(folders), runs)
        for folder in folders:
            audit = fs.Audit(source, copies / folder, [], "S", self.prefix.windows_path(copies / folder))
            self.assertEqual(audit.corrupt + audit.extra, [], folder)
        self.assertEqual(compare_trees(backing, copies / folders[-1]), [])

        # The last run's threads end after its last line: waited for, not slept on.
        try:
            wait_until(lambda: fs.process_resources(pid)[0] <= rest_threads, timeout=15, interval=0.2,
                       what="the threads back at their resting level")
        finally:
            threads, rss = fs.process_resources(pid)
            print(f"\n[churn] {arrivals} arrivals, {runs} runs; threads {rest_threads} -> {threads}; "
                  f"RSS {rest_rss // 1024} -> {rss // 1024} MiB")
        self.assertEqual(threads, rest_threads)
        self.assertLess(rss - rest_rss, 32 * 1024)
        self.assertEqual(app.quit(), 0)

    def quit_during_copies(self, big, most_seconds):
        """Quit while two drives copy, the slow one in the middle of a file of big bytes."""
        backing, slow = self.slow_volume("quitslow", 20)
        # Last in the listing, and held past its first chunk until Quit has been chosen.
        make_tree(backing, {"zz big[slow][held].bin": big})
        fast = Volume(self.prefix, "I", REMOVABLE, label="FAST", entries=card_entries(30, 200_000))
        copies = self.copies_folder()
        app = self.start_with(copies, folder_name=3, log_level=2)
        app.probe1("combo-select", ids.IDC_LOG_LEVEL_COMBO, 1)  # a change that must be stored at quit
        self.define("H", slow.folder)
        fast.insert()
        slow.hold()
        self.arrive(app, "HI")
        # Under way under its temporary name; the final name comes with the last byte.
        partial = copies / "QUITSLOW" / ("zz big[slow][held].bin" + fs.TEMPORARY_SUFFIX)
        wait_until(lambda: slow.reached_gate() and partial.exists() and partial.stat().st_size > 0, timeout=60,
                   interval=0.05, what="the big slow file held in part")
        started = time.monotonic()
        in_progress = partial.stat().st_size
        # The click returns once Quit is handled: the file goes on only after that.
        app.probe1("click", ids.IDC_QUIT)
        slow.open_gate()
        code = app.wait_exit(timeout=most_seconds + 30)
        took = time.monotonic() - started
        print(f"\n[quit] ended {took:.1f} s after Quit (big file at {in_progress} of {big} bytes then), "
              f"exit code {code}")
        self.assertLess(in_progress, big, "the big file was done before Quit: nothing was tested")
        self.assertEqual(code, 0)
        self.assertLess(took, most_seconds)
        self.assertEqual(self.prefix.reg_value(KEY, "Log level")["dword"], 1)
        self.assertEqual(self.prefix.reg_value(KEY, "Save to")["string"], self.prefix.windows_path(copies))
        for name, root in (("QUITSLOW", backing), ("FAST", fast.folder)):
            audit = fs.Audit(fs.source_listing(root), copies / name, [], "H", self.prefix.windows_path(copies / name))
            self.assertEqual(audit.corrupt + audit.extra, [], f"{name}: {audit.summary()}")

    def test_quit_during_copies(self):
        # The file in progress ends within a few seconds.
        self.quit_during_copies(2 * MB, 8.0)

    def test_quit_during_a_long_file_leaves_no_partial_file(self):
        # Wine's file copy cannot be cancelled: the quit lets the file in progress finish (the window
        # and the tray icon are gone meanwhile) rather than leave it half written. About 20 s here.
        self.quit_during_copies(6 * MB, 60.0)


class FaultsStoredSettings(FaultCase):
    """Every setting and record value with the wrong type or size: the stated defaults, no crash."""

    def put(self, values):
        for key, name, kind, data in values:
            self.prefix.reg_set(key, name, kind, data)

    def stored(self, name):
        return self.prefix.reg_value(KEY, name)

    def test_settings_of_the_wrong_type_and_size(self):
        documents = self.prefix.probe1("special-folder", "personal")["path"]
        cases = [
            # (values, Folder names selection, Log selection, Copy to text, stored flags at quit)
            ([("Folder name", "qword", 2), ("Log level", "binary", "02"), ("Save to", "dword", 1),
              ("Eject CD-ROM", "sz", "1"), ("Show popup", "binary", "0100000000"), ("Beep", "binary", ""),
              ("Beep by speaker", "expand_sz", "")],
             0, 2, "\x01", {"Eject CD-ROM": 0x31, "Show popup": 0, "Beep": 0, "Beep by speaker": 0}),
            ([("Folder name", "dword", 0xFFFFFFFF), ("Log level", "dword", 7), ("Save to", "sz", "C:\\" + "s" * 256),
              ("Eject CD-ROM", "dword", 0xFFFFFFFF), ("Show popup", "raw:7", "61000000"),
              ("Beep", "raw:99", "01"), ("Beep by speaker", "qword", 1)],
             -1, -1, "C:\\" + "s" * 256,
             {"Eject CD-ROM": 0xFFFFFFFF, "Show popup": 0x61, "Beep": 1, "Beep by speaker": 0}),
            ([("Folder name", "sz", "3"), ("Log level", "sz", ""), ("Save to", "sz", "C:\\" + "t" * 257),
              ("Eject CD-ROM", "binary", "0102030405"), ("Show popup", "sz", ""),
              ("Beep", "dword", 2), ("Beep by speaker", "binary", "ff")],
             -1, 0, documents, {"Eject CD-ROM": 0, "Show popup": 0, "Beep": 2, "Beep by speaker": 0xFF}),
            ([("Save to", "binary", "430041"), ("Folder name", "binary", "03")],
             3, 0, "C", {"Eject CD-ROM": 0, "Show popup": 0, "Beep": 0, "Beep by speaker": 0}),
        ]
        for values, folder_sel, log_sel, copy_to, flags in cases:
            with self.subTest(values=values):
                self.prefix.reg_delete(r"SOFTWARE\Quenby")
                self.put([(KEY, *value) for value in values])
                app = self.start_harvex()
                self.assertEqual(app.combo(ids.IDC_FOLDER_NAMES_COMBO)["cursel"], folder_sel)
                self.assertEqual(app.combo(ids.IDC_LOG_LEVEL_COMBO)["cursel"], log_sel)
                self.assertEqual(app.text(ids.IDC_COPY_TO_EDIT), copy_to)
                if copy_to in ("\x01", "C"):
                    # Not an absolute folder: an arrival copies nothing, and says so.
                    card = Volume(self.prefix, "Y", REMOVABLE, label="REL", entries={"a.txt": "a"})
                    card.insert()
                    self.arrive(app, "Y")
                    app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[Y]: No copy is made", 20000)
                    self.prefix.unmap_drive("Y")
                self.assertEqual(app.quit(), 0)
                for name, value in flags.items():
                    self.assertEqual(self.stored(name)["dword"], value, name)
                self.assertEqual(self.stored("Folder name")["dword"], folder_sel & 0xFFFFFFFF)
                self.assertEqual(self.stored("Log level")["dword"], log_sel & 0xFFFFFFFF)

    def test_drive_records_of_the_wrong_type_and_size(self):
        drives = KEY + r"\Drives"
        self.put([
            (drives + r"\E", "Seen", "binary", "01"), (drives + r"\E", "Last type", "sz", "9"),
            (drives + r"\E", "Managed", "dword", 5),
            (drives + r"\F", "Seen", "qword", 1), (drives + r"\F", "Last type", "dword", 2),
            (drives + r"\G", "Seen", "sz", ""), (drives + r"\H", "Seen", "dword", 1),
            (drives + r"\H", "Last type", "dword", 0xFFFFFFFF), (drives + r"\H", "Managed", "binary", "0000000000"),
            (drives + r"\J", "Seen", "dword", 1), (drives + r"\J", "Last type", "binary", "05"),
            (drives + r"\Removable", "Managed", "sz", "0"), (drives + r"\Fixed", "Managed", "qword", 1),
            (drives + r"\CD-ROM", "Managed", "binary", "00"),
        ])
        app = self.start_harvex()
        rows = {row["text"]: row["check"] for row in app.rows()}
        expected = {
            "C:\\ [FIXED]": 1, "E:\\ [NONE (UNKNOWN)]": 2, "H:\\ [NONE (UNKNOWN)]": 1, "J:\\ [NONE (CD-ROM)]": 1,
            "New removable drives": 2, "New fixed drives": 1, "New remote drives": 1, "New CD-ROM drives": 1,
            "New ramdisk drives": 1, "Other new drives": 1,
        }
        self.assertEqual(rows, expected)
        # Only present letters are written: E keeps its value as it was stored.
        self.assertEqual(self.prefix.reg_value(drives + r"\E", "Last type")["type"], 1)
        # A newly seen removable drive takes the removable policy ("0" as text is the number 0x30).
        card = Volume(self.prefix, "F", REMOVABLE, label="F", entries={"a.txt": "a"})
        card.insert()
        app.probe1("devchange", "arrival", "F")
        self.assertEqual(self.prefix.reg_value(drives + r"\F", "Managed")["dword"], 1)
        self.assertEqual(self.prefix.reg_value(drives + r"\F", "Seen")["dword"], 1)
        self.assertEqual(app.quit(), 0)


if __name__ == "__main__":
    unittest.main()
