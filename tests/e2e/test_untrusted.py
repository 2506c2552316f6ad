"""Untrusted volumes: links and link loops, names that meet or that Windows programs cannot use, a
name listed twice, names at the length limit and names Harvex gives its own files, a "Copy to" that
already holds files, a kill in the middle of a file, and another card at the letter.
docs/reliability.md lists each case.
"""

import os
import signal

import ids
import faults_support as fs
from harness import Volume, make_tree, tree_listing, wait_until
from test_faults import KEY, FaultCase

REMOVABLE = 2
MB = 1024 * 1024


def names(folder):
    return set(os.listdir(folder))


class UntrustedVolumes(FaultCase):
    def run_once(self, app, letter, count=1):
        lines = self.wait_runs_ended(app, letter, count=count, timeout=90)
        return fs.run_lines(lines, letter, count - 1)

    def test_links_and_link_loops_are_named_and_not_followed(self):
        # Wine lists a link to a file as the file itself (only links to folders are reparse points
        # there), so file links are tested natively.
        outside = make_tree(self.prefix.work_dir / "outside", {"secret.txt": "outside the volume", "sub/s": "s"})
        volume = make_tree(self.prefix.work_dir / "links", {"DCIM/a.jpg": 5000})
        links = {"DCIM/self1": ".", "DCIM/self2": ".", "DCIM/up": "..", "out": str(outside)}
        for link, target in links.items():
            os.symlink(target, volume / link)
        copies = self.copies_folder()
        app = self.start_with(copies)
        self.define("Q", volume)
        self.arrive(app, "Q")
        run_text = self.run_once(app, "Q")
        for link in links:
            self.assertIn("Not copied: Q:\\" + link.replace("/", "\\") + " is a link.", run_text)
        self.assertEqual(run_text[-1], "Finished with 4 errors.")
        self.assertEqual(set(tree_listing(copies / "000")), {"DCIM", "DCIM/a.jpg"})
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Complete with 4 errors.")

    def test_names_that_meet_or_that_windows_cannot_use(self):
        volume = Volume(self.prefix, "N", REMOVABLE, entries={
            "IMG.JPG": "upper", "img.jpg": "lower", "a": "plain", "a.": "dot", "com1": "device",
            "sub/CON.txt": "device with extension", "sub/x ": "blank"})
        copies = self.copies_folder()
        app = self.start_with(copies)
        volume.insert()
        self.arrive(app, "N")
        run_text = self.run_once(app, "N")
        self.assertEqual(run_text[-1], "Finished.", run_text)
        run = copies / "000"
        jpgs = {name for name in names(run) if name.lower().endswith(".jpg")}
        self.assertEqual({name.lower() for name in jpgs}, {"img.jpg", "img (2).jpg"})
        self.assertEqual({(run / name).read_text() for name in jpgs}, {"upper", "lower"})
        self.assertEqual(names(run) - jpgs, {"a", "a_", "com1_", "sub"})
        self.assertEqual(names(run / "sub"), {"CON_.txt", "x_"})
        for name, content in (("a", "plain"), ("a_", "dot"), ("com1_", "device"), ("sub/x_", "blank")):
            self.assertEqual((run / name).read_text(), content, name)
        self.assertIn("N:\\com1 is copied as com1_: Windows programs cannot use its name.", run_text)
        self.assertTrue(any(t.endswith(" (2).jpg: its name is taken in the destination.") for t in run_text),
                        run_text)

    def test_no_folder_rule_keeps_the_files_already_in_copy_to(self):
        copies = self.copies_folder()
        (copies / "notes.txt").write_text("the user's own")
        volume = Volume(self.prefix, "M", REMOVABLE, entries={"notes.txt": "card", "DCIM/x.jpg": "x"})
        app = self.start_with(copies, folder_name=0xFFFFFFFF)
        volume.insert()
        for arrival in (1, 2):
            self.arrive(app, "M")
            run_text = self.run_once(app, "M", arrival)
            self.assertEqual(run_text[-1], "Finished.", run_text)
        self.assertEqual((copies / "notes.txt").read_text(), "the user's own")
        self.assertEqual((copies / "notes (2).txt").read_text(), "card")
        self.assertEqual((copies / "notes (3).txt").read_text(), "card")
        self.assertEqual(names(copies / "DCIM"), {"x.jpg", "x (2).jpg"})
        self.assertIn("M:\\notes.txt is copied as notes (3).txt: its name is taken in the destination.", run_text)

    def test_a_kill_mid_file_leaves_no_file_under_its_name(self):
        backing = make_tree(self.prefix.work_dir / "killbacking", {"clip[held].bin": MB, "z.txt": "z"})
        held = fs.FaultFs(self.cleanup, backing, self.prefix.work_dir / "killvol")
        copies = self.copies_folder()
        app = self.start_with(copies)
        self.define("K", held.folder)
        held.hold()
        self.arrive(app, "K")
        partial = copies / "000" / ("clip[held].bin" + fs.TEMPORARY_SUFFIX)
        # Held past its first chunk: written in part, and no further until the gate opens.
        wait_until(lambda: held.reached_gate() and partial.exists() and partial.stat().st_size > 0, timeout=60,
                   interval=0.02, what="the held file written in part")
        pid = fs.wine_process_of("harvex.exe", self.prefix.path)
        self.assertIsNotNone(pid)
        os.kill(pid, signal.SIGKILL)
        # A process in a FUSE request ends, even for SIGKILL, only once the request is answered.
        held.open_gate()
        app.wait_exit(timeout=30)
        self.assertEqual(names(copies / "000"), {partial.name})
        self.assertLess(partial.stat().st_size, MB)

        again = self.start_with(copies)
        self.arrive(again, "K")
        lines = self.wait_runs_ended(again, "K", timeout=90)
        audit, run_text = self.audit(fs.source_listing(backing), copies / "001", lines, "K")
        self.assert_sound(audit)
        self.assertEqual(run_text[-1], "Finished.")
        self.assertEqual(len(audit.identical), 2)

    def test_a_changed_serial_number_ends_the_run(self):
        # Wine reads a mapped drive's serial number from .windows-serial at its root when the letter
        # is defined; the letter defined again over a new number is another card to the program.
        first = make_tree(self.prefix.work_dir / "card1", {
            ".windows-serial": "1111AAAA", ".windows-label": "CARD",
            "DCIM/100/IMG_0001[held].JPG": MB, "DCIM/101/IMG_0100.JPG": "later"})
        # Read-only: its dropped copy, read-only too, is removed all the same.
        os.chmod(first / "DCIM/100/IMG_0001[held].JPG", 0o444)
        held = fs.FaultFs(self.cleanup, first, self.prefix.work_dir / "card1view")
        copies = self.copies_folder()
        app = self.start_with(copies)
        self.define("W", held.folder)
        held.hold()
        self.arrive(app, "W")
        partial = copies / "000" / "DCIM" / "100" / ("IMG_0001[held].JPG" + fs.TEMPORARY_SUFFIX)
        wait_until(lambda: held.reached_gate() and partial.exists(), timeout=60, interval=0.02,
                   what="the held file under way")
        (first / ".windows-serial").write_text("2222BBBB")
        self.define("W", held.folder)
        held.open_gate()
        run_text = self.run_once(app, "W")
        self.assertEqual(run_text[-1], "Stopped: the volume in W: was changed.", run_text)
        copied = [rel for rel, listing in tree_listing(copies / "000").items()
                  if listing[0] == "file" and rel.startswith("DCIM")]
        self.assertEqual(copied, [], "nothing is filed after the change, and nothing is left")
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Stopped.")

    def test_a_name_listed_twice_is_an_error_at_every_arrival(self):
        # Wine lists both Linux names, which are not UTF-8, as "bad\ufffd.jpg": one name for two files.
        folder = make_tree(self.prefix.work_dir / "twice", {"ok.jpg": "ok", ".windows-serial": "7777AAAA"})
        for name, data in ((b"bad\xff.jpg", b"ff"), (b"bad\xfe.jpg", b"fe")):
            with open(os.path.join(os.fsencode(folder), name), "wb") as file:
                file.write(data)
        copies = self.copies_folder()
        self.prefix.reg_set(KEY, "Only new files", "dword", 1)
        app = self.start_with(copies)
        self.define("T", folder)
        for arrival in (1, 2):
            self.arrive(app, "T")
            run_text = self.run_once(app, "T", arrival)
            twice = [t for t in run_text if t.startswith("Not copied: T:\\bad")]
            self.assertEqual(len(twice), 1, run_text)
            self.assertTrue(twice[0].endswith(": the volume lists another entry under the same name."), twice)
            self.assertEqual(run_text[-1], "Finished with 1 error.", run_text)
        copied = names(copies / "000") - {".windows-serial"}
        self.assertEqual(len(copied), 2, copied)
        self.assertEqual((copies / "000" / "ok.jpg").read_text(), "ok")
        bad = [copies / "000" / name for name in copied if name != "ok.jpg"]
        self.assertIn(bad[0].read_bytes(), (b"ff", b"fe"))

    def test_long_names_and_harvexs_own_names_fit(self):
        # Wine keeps a Linux name to 255 UTF-8 bytes: 80 characters of three bytes and a temporary
        # name's 15 more did not fit.
        entries = {"a" * 250: "ascii", "M" * 251 + ".jpg": "upper", "m" * 251 + ".jpg": "lower",
                   "\u6f22" * 80 + ".jpg": "cjk", "x.harvex-partial": "leftover"}
        volume = Volume(self.prefix, "L", REMOVABLE, entries=entries)
        copies = self.copies_folder()
        app = self.start_with(copies)
        volume.insert()
        self.arrive(app, "L")
        run_text = self.run_once(app, "L")
        self.assertEqual(run_text[-1], "Finished.", run_text)
        run = copies / "000"
        self.assertEqual(len(names(run)), 5, names(run))
        self.assertEqual(sorted((run / name).read_text() for name in names(run)), sorted(entries.values()))
        for name in ("a" * 250, "\u6f22" * 80 + ".jpg", "x.harvex-partial_"):
            self.assertIn(name, names(run))
        self.assertIn("L:\\x.harvex-partial is copied as x.harvex-partial_: its name is one that Harvex gives "
                      "its own files.", run_text)
        self.assertTrue(any(name.lower().endswith(" (2).jpg") and len(name) == 255 for name in names(run)),
                        names(run))
