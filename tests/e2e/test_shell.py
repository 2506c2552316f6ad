"""The application shell seen from outside: first start, the stored settings, quitting, hiding."""

import unittest

import ids
from harness import SETTINGS_KEY, HarvexTestCase

REG_SZ = 1
REG_DWORD = 4

FOLDER_NAME_ITEMS = [
    "Date/time (yyyy-mm-dd hh-mm-ss.mss)",
    "3-digit numeric sequence",
    "5-digit numeric sequence",
    "Volume label and optional number",
]
LOG_LEVEL_ITEMS = [
    "Basic events and errors",
    "Events/errors/folder names",
    "Everything, including file names",
]
DWORD_SETTINGS = ["Folder name", "Log level", "Eject CD-ROM", "Show popup", "Beep", "Beep by speaker"]
DRIVE_SUBKEYS = {chr(c) for c in range(ord("A"), ord("Z") + 1)} | {
    "Removable", "Fixed", "Network", "CD-ROM", "Ramdisk", "Other"}

COPY_TO, FOLDER_NAMES, LOG_LEVEL = ids.IDC_COPY_TO_EDIT, ids.IDC_FOLDER_NAMES_COMBO, ids.IDC_LOG_LEVEL_COMBO
PROGRESS_TEXT, PROGRESS_BAR, LOG_BOX = ids.IDC_PROGRESS_TEXT, ids.IDC_PROGRESS_BAR, ids.IDC_LOG_EDIT
QUIT, OPEN = ids.IDC_QUIT, ids.ID_TRAY_OPEN


class FirstStart(HarvexTestCase):
    def test_creates_the_settings_key_and_shows_the_defaults(self):
        app = self.start_harvex()
        key = self.prefix.reg_key(SETTINGS_KEY)
        self.assertIsNotNone(key, "the settings key is created at start")
        self.assertEqual(key["class"], "DWORD")
        self.assertEqual(key["values"], [], "no setting is stored before the first quit")
        drives = self.prefix.reg_key(SETTINGS_KEY + r"\Drives")
        self.assertIsNotNone(drives)
        self.assertEqual(set(drives["subkeys"]), DRIVE_SUBKEYS)

        documents = self.prefix.probe1("special-folder", "personal")["path"]
        results = app.probe(["gettext", COPY_TO], ["combo", FOLDER_NAMES], ["combo", LOG_LEVEL],
                            ["gettext", LOG_BOX], ["gettext", PROGRESS_TEXT], ["progress", PROGRESS_BAR],
                            ["window"])
        copy_to, folder_names, log_level, log_box, progress_text, progress_bar, window = results
        self.assertEqual(copy_to["text"], documents)
        self.assertEqual((folder_names["cursel"], folder_names["items"]), (0, FOLDER_NAME_ITEMS))
        self.assertEqual((log_level["cursel"], log_level["items"]), (0, LOG_LEVEL_ITEMS))
        self.assertEqual(log_box["text"], "Ready.\r\n")
        self.assertEqual(progress_text["text"], "Ready.")
        self.assertEqual((progress_bar["pos"], progress_bar["low"], progress_bar["high"]), (0, 0, 100))
        self.assertTrue(window["visible"])
        self.assertFalse(window["iconic"])
        self.assertFalse(window["zoomed"])
        app.screenshot("first-start")

    def test_dialog_starts_centred_in_the_work_area(self):
        app = self.start_harvex()
        screen = self.prefix.probe1("screen")
        work = screen["work_area"]
        rect = app.window()["rect"]
        self.assertLessEqual(abs((rect["left"] + rect["right"]) - (work["left"] + work["right"])), 2)
        # Wine's desktop shows its task bar only once a tray icon exists, which the dialog adds after
        # it has centred itself: the work area then loses the bar's height at the bottom.
        vertical_centres = {work["top"] + work["bottom"], screen["height"]}
        self.assertTrue(any(abs(rect["top"] + rect["bottom"] - centre) <= 2 for centre in vertical_centres),
                        f"{rect} is not centred in {work} or the whole screen")
        self.assertGreaterEqual(rect["left"], work["left"])
        self.assertGreaterEqual(rect["top"], work["top"])


class Quit(HarvexTestCase):
    def test_quit_stores_all_seven_values_and_exits_with_zero(self):
        app = self.start_harvex()
        documents = self.prefix.probe1("special-folder", "personal")["path"]
        self.assertEqual(app.quit(), 0)
        self.prefix.probe1("wait-no-window", 5000)

        save_to = self.prefix.reg_value(SETTINGS_KEY, "Save to")
        self.assertIsNotNone(save_to)
        self.assertEqual(save_to["type"], REG_SZ)
        self.assertEqual(save_to["string"], documents)
        self.assertTrue(save_to["terminated"], "the terminating zero is part of the value")
        self.assertEqual(save_to["size"], (len(documents) + 1) * 2)
        for name in DWORD_SETTINGS:
            with self.subTest(value=name):
                value = self.prefix.reg_value(SETTINGS_KEY, name)
                self.assertIsNotNone(value, f"{name} is stored at quit")
                self.assertEqual((value["type"], value["size"], value["dword"]), (REG_DWORD, 4, 0))

    def test_changed_choices_are_stored_at_quit(self):
        app = self.start_harvex()
        app.probe(["combo-select", FOLDER_NAMES, 2], ["combo-select", LOG_LEVEL, 1])
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Folder name")["dword"], 2)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Log level")["dword"], 1)

    def test_a_killed_process_keeps_the_values_of_the_previous_run(self):
        self.prefix.reg_set(SETTINGS_KEY, "Folder name", "dword", 1)
        app = self.start_harvex()
        app.probe(["combo-select", FOLDER_NAMES, 3])
        app.kill()
        app.wait_exit()
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Folder name")["dword"], 1)
        self.assertIsNone(self.prefix.reg_value(SETTINGS_KEY, "Log level"))


class StoredSettings(HarvexTestCase):
    def test_stored_values_are_shown(self):
        self.prefix.reg_set(SETTINGS_KEY, "Save to", "sz", "C:\\Fotos\\Karten ü")
        self.prefix.reg_set(SETTINGS_KEY, "Folder name", "dword", 3)
        self.prefix.reg_set(SETTINGS_KEY, "Log level", "dword", 2)
        app = self.start_harvex()
        copy_to, folder_names, log_level = app.probe(
            ["gettext", COPY_TO], ["combo", FOLDER_NAMES], ["combo", LOG_LEVEL])
        self.assertEqual(copy_to["text"], "C:\\Fotos\\Karten ü")
        self.assertEqual(folder_names["cursel"], 3)
        self.assertEqual(log_level["cursel"], 2)
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Save to")["string"], "C:\\Fotos\\Karten ü")

    def test_stored_empty_copy_to_stays_empty(self):
        self.prefix.reg_set(SETTINGS_KEY, "Save to", "sz", "")
        app = self.start_harvex()
        self.assertEqual(app.text(COPY_TO), "")
        self.assertEqual(app.quit(), 0)
        save_to = self.prefix.reg_value(SETTINGS_KEY, "Save to")
        self.assertEqual((save_to["type"], save_to["hex"]), (REG_SZ, "0000"))

    def test_folder_name_minus_one_leaves_no_selection_and_is_stored_again(self):
        self.prefix.reg_set(SETTINGS_KEY, "Folder name", "dword", 0xFFFFFFFF)
        app = self.start_harvex()
        combo = app.combo(FOLDER_NAMES)
        self.assertEqual(combo["cursel"], -1)
        self.assertEqual(combo["count"], 4, "the items are there, only none is selected")
        self.assertEqual(app.combo(LOG_LEVEL)["cursel"], 0)
        self.assertEqual(app.quit(), 0)
        stored = self.prefix.reg_value(SETTINGS_KEY, "Folder name")
        self.assertEqual((stored["type"], stored["hex"]), (REG_DWORD, "ffffffff"))

    def test_log_level_past_the_list_leaves_no_selection_and_is_stored_as_minus_one(self):
        self.prefix.reg_set(SETTINGS_KEY, "Log level", "dword", 3)
        app = self.start_harvex()
        self.assertEqual(app.combo(LOG_LEVEL)["cursel"], -1)
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Log level")["hex"], "ffffffff")

    def test_a_dword_stored_in_eight_bytes_reads_as_missing(self):
        self.prefix.reg_set(SETTINGS_KEY, "Folder name", "qword", 2)
        app = self.start_harvex()
        self.assertEqual(app.combo(FOLDER_NAMES)["cursel"], 0)


class HideAndShow(HarvexTestCase):
    HIDE_WAYS = {
        "escape key": ["key", "esc"],
        "IDCANCEL": ["command", 2],
        "close box (WM_CLOSE)": ["close"],
        "system menu close": ["syscommand", "close"],
        "alt+f4": ["key", "alt+f4"],
    }

    def test_every_way_of_closing_only_hides_and_open_brings_it_back(self):
        app = self.start_harvex()
        for way, command in self.HIDE_WAYS.items():
            with self.subTest(way=way):
                app.probe(command, ["wait-state", "visible", 0, 5000])
                self.assertTrue(app.is_running(), f"{way} must not end the process")
                app.probe(["command", OPEN], ["wait-state", "visible", 1, 5000])
        self.assertEqual(app.quit(), 0)

    def test_quit_while_hidden_stores_the_settings(self):
        app = self.start_harvex()
        app.probe(["combo-select", LOG_LEVEL, 2], ["command", 2], ["wait-state", "visible", 0, 5000])
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Log level")["dword"], 2)

    def open_tray_menu(self, app):
        app.probe(["tray", "rbuttonup"], ["wait-class", "#32768", 5000])

    def test_tray_menu_open_shows_the_hidden_dialog(self):
        app = self.start_harvex()
        app.probe(["command", 2], ["wait-state", "visible", 0, 5000])
        self.open_tray_menu(app)
        app.probe(["key", "down"], ["key", "enter"], ["wait-state", "visible", 1, 5000])
        self.assertTrue(app.is_running())

    def test_tray_menu_quit_while_hidden_stores_the_settings_and_ends(self):
        app = self.start_harvex()
        app.probe(["combo-select", FOLDER_NAMES, 1], ["command", 2], ["wait-state", "visible", 0, 5000])
        self.open_tray_menu(app)
        app.probe(["key", "up"], ["key", "enter"])  # up from no selection: the last item, "Quit"
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Folder name")["dword"], 1)

    def test_double_click_on_the_tray_icon_shows_the_hidden_dialog(self):
        app = self.start_harvex()
        app.probe(["command", 2], ["wait-state", "visible", 0, 5000])
        app.probe(["tray", "lbuttonup"], ["sync"], ["sleep", 200], ["window"])
        self.assertFalse(app.window()["visible"], "a single click does nothing")
        app.probe(["tray", "dblclk"], ["wait-state", "visible", 1, 5000])


if __name__ == "__main__":
    unittest.main()
