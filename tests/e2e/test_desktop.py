"""Harvex as a desktop program: "Start with Windows" and the start in the tray that it asks for."""

import subprocess
import time
import unittest

import ids
from harness import MAIN_TITLE, HarvexTestCase, Volume, compare_trees, wait_until

KEY = r"SOFTWARE\Quenby\Harvex2"
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
OPTIONS, OK, START_WITH_WINDOWS = ids.IDC_OPTIONS, ids.IDOK, ids.IDC_START_WITH_WINDOWS
THIS_EXE = "C:\\e2e\\harvex.exe"


class StartWithWindows(HarvexTestCase):
    def setUp(self):
        super().setUp()
        self.prefix.reg_delete(RUN_KEY, "Harvex")

    def options(self, app, *commands):
        return self.prefix.probe(["target", "title", "Options", f"pid={app.pid}"], *commands)[1:]

    def box_in_options(self, app):
        """Opens Options and gives the "Start with Windows" box's tick (0 or 1)."""
        app.probe1("post-click", OPTIONS)
        return self.options(app, ["wait-window", 5000, "visible"], ["button", START_WITH_WINDOWS])[1]["check"]

    def click_box_and_ok(self, app):
        self.options(app, ["click", START_WITH_WINDOWS], ["click", OK], ["wait-no-window", 5000])

    def run_value(self):
        value = self.prefix.reg_value(RUN_KEY, "Harvex")
        return value["string"] if value else None

    def test_the_box_writes_the_run_value_for_this_exe_and_removes_it(self):
        moved = '"C:\\Old place\\harvex.exe" /tray'
        self.prefix.reg_set(RUN_KEY, "Harvex", "sz", moved)
        app = self.start_harvex()

        self.assertEqual(self.box_in_options(app), 0, "a value naming another exe shows unticked")
        self.click_box_and_ok(app)
        self.assertEqual(self.run_value(), f'"{THIS_EXE}" /tray')
        self.assertEqual(self.prefix.reg_value(RUN_KEY, "Harvex")["type"], 1, "REG_SZ")

        self.assertEqual(self.box_in_options(app), 1)
        self.click_box_and_ok(app)
        self.assertIsNone(self.run_value())

        # Unticked with another copy's value in place: that value is not this program's to remove.
        self.prefix.reg_set(RUN_KEY, "Harvex", "sz", moved)
        self.assertEqual(self.box_in_options(app), 0)
        self.options(app, ["click", OK], ["wait-no-window", 5000])
        self.assertEqual(self.run_value(), moved)
        self.assertEqual(app.quit(), 0)


class TrayStart(HarvexTestCase):
    def test_started_with_tray_the_dialog_stays_hidden_the_icon_shows_and_arrivals_copy(self):
        dest = self.prefix.drive_c / "copies-tray"
        dest.mkdir(exist_ok=True)
        self.prefix.reg_set(KEY, "Save to", "sz", self.prefix.windows_path(dest))
        self.prefix.reg_set(KEY, "Folder name", "dword", 1)
        app = self.start_harvex(args=["/tray", "ignored words"])
        # Wine's modal loop shows a dialog when its queue first runs empty: give it every chance.
        app.probe1("sync", 3)
        time.sleep(1)
        self.assertFalse(app.window()["visible"])
        self.assertTrue(app.probe1("tray-icon")["present"])

        card = Volume(self.prefix, "T", 2, "TRAY", {"DCIM/100CAM/IMG_0001.JPG": 200_000, "a.txt": "a"})
        card.insert()
        app.probe1("devchange", "arrival", "T")
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "startswith", "Complete", 60000, timeout=90)
        self.assertEqual(compare_trees(card.folder, dest / "000"), [])
        self.assertFalse(app.window()["visible"])

        app.probe1("tray", "dblclk")
        app.probe1("wait-state", "visible", 1, 5000)
        self.assertEqual(app.quit(), 0)

    def test_started_with_tray_where_the_tray_takes_no_icon_the_dialog_starts_minimised(self):
        trays = len(self.prefix.probe1("windows", "class=Shell_TrayWnd")["windows"])
        refusing = subprocess.Popen(
            ["wine", "C:\\e2e\\hxprobe.exe", "refusing-tray", "30000"], stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.prefix.env(), cwd=self.prefix.drive_c,
            start_new_session=True)
        self.addCleanup(refusing.wait, 10)
        self.addCleanup(refusing.kill)
        wait_until(lambda: len(self.prefix.probe1("windows", "class=Shell_TrayWnd")["windows"]) > trays, timeout=20,
                   what="the refusing notification area")
        app = self.start_harvex(args=["/tray"])
        app.probe1("sync", 3)
        time.sleep(1)
        window = app.window()
        self.assertTrue(window["visible"] and window["iconic"], window)
        app.probe1("syscommand", "restore")
        app.probe1("wait-state", "iconic", 0, 5000)
        self.assertTrue(app.window()["visible"])
        self.assertEqual(app.quit(), 0)

    def test_a_start_in_the_tray_where_one_runs_ends_at_once_and_a_plain_start_does_not(self):
        first = self.start_harvex()  # started by the user, then Windows starts it at sign-in
        second = subprocess.run(["wine", THIS_EXE, "/tray"], stdin=subprocess.DEVNULL, capture_output=True,
                                env=self.prefix.env(), cwd=self.prefix.drive_c, timeout=30)
        self.assertEqual(second.returncode, 0)
        dialogs = [w for w in self.prefix.probe1("windows", "class=#32770")["windows"] if w["title"] == MAIN_TITLE]
        self.assertEqual(len(dialogs), 1, "no second instance, so no second icon")
        plain = self.start_harvex()
        self.assertNotEqual(plain.pid, first.pid)
        self.assertEqual(plain.quit(), 0)
        self.assertEqual(first.quit(), 0)

if __name__ == "__main__":
    unittest.main()
