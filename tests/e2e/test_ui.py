"""What the user sees and handles: the Options and About dialogs, resizing and the window's place
from run to run, the tray icon under a real mouse, the link colours, and the picture of the main
dialog that the README shows."""

import os
import shutil
import time
import unittest

import ids
import ui_support as ui
from harness import ARTIFACTS_DIR, ROOT, SETTINGS_KEY, HarvexTestCase, Volume, wait_until

REG_BINARY, REG_DWORD = 3, 4
PLACEMENT_KEY = SETTINGS_KEY + r"\Main frame"
LINK_COLOURS_KEY = r"Software\Microsoft\Internet Explorer\Settings"
BROWSER_KEY = r"Software\Wine\WineBrowser"

OPTIONS, ABOUT, QUIT = ids.IDC_OPTIONS, ids.IDC_ABOUT, ids.IDC_QUIT
HELP_LINK, DONATE_LINK = ids.IDC_HELP_LINK, ids.IDC_DONATE_LINK
EJECT, BEEP, COMMON_AUDIO, SPEAKER, POPUP = (ids.IDC_EJECT_CDROM, ids.IDC_BEEP, ids.IDC_BEEP_COMMON_AUDIO,
                                             ids.IDC_BEEP_SYSTEM_SPEAKER, ids.IDC_SHOW_POPUP)
VERIFY, ONLY_NEW = ids.IDC_VERIFY_COPIES, ids.IDC_ONLY_NEW_FILES
OPTION_BUTTONS = (EJECT, BEEP, COMMON_AUDIO, SPEAKER, POPUP)
FLAG_NAMES = ("Eject CD-ROM", "Show popup", "Beep", "Beep by speaker")
POPUP_TEXT = "Copying finished for drive \\\\.\\Q:"


def options_shown(ticked, radios_enabled):
    """Each option's (tick, enabled) when the options in ticked are ticked; only the two radio
    buttons are ever greyed."""
    return {control: (1 if control in ticked else 0,
                      radios_enabled if control in (COMMON_AUDIO, SPEAKER) else True)
            for control in OPTION_BUTTONS}


class UiTestCase(HarvexTestCase):
    def fresh_volume(self, letter, drive_type, label=None, entries=None):
        """A volume folder of this test alone, so tests sharing a prefix do not see each other's files."""
        return Volume(self.prefix, letter, drive_type, label, entries, name=f"{self._testMethodName}-{letter}")

    def start_with(self, log_level=0, dest=None, **dwords):
        """Starts with "Copy to" a folder of this test's own (dest: its path under C:) and the given
        DWORD settings (Show_popup=1 for "Show popup")."""
        self.dest = self.prefix.drive_c / (dest or f"copies-{self._testMethodName}")
        self.dest.mkdir(parents=True, exist_ok=True)
        self.prefix.reg_set(SETTINGS_KEY, "Save to", "sz", self.prefix.windows_path(self.dest))
        self.prefix.reg_set(SETTINGS_KEY, "Folder name", "dword", 1)
        self.prefix.reg_set(SETTINGS_KEY, "Log level", "dword", log_level)
        for name, value in dwords.items():
            self.prefix.reg_set(SETTINGS_KEY, name.replace("_", " "), "dword", value)
        return self.start_harvex()

    def stored_flags(self):
        values = {name: self.prefix.reg_value(SETTINGS_KEY, name) for name in FLAG_NAMES}
        for name, value in values.items():
            self.assertIsNotNone(value, f"{name} is stored at quit")
            self.assertEqual((value["type"], value["size"]), (REG_DWORD, 4), name)
        return {name: value["dword"] for name, value in values.items()}

    def popup_target(self, app):
        return ["target", "title", "Harvex", "class=#32770", f"pid={app.pid}"]

    def close_with(self, target, command):
        """Runs a command that should close the window target names and waits until it has gone.
        Only the window's end counts: a key's up half can find the window already closed by its
        down half, which the probe reports as a failed post."""
        self.prefix.probe(target, command, check=False)
        self.prefix.probe(target, ["wait-no-window", 5000])

    @property
    def display(self):
        return self.prefix.session.display


# --- Options --------------------------------------------------------------------------------

class OptionsDialog(UiTestCase):
    def target(self, app):
        return ["target", "title", "Options", f"pid={app.pid}"]

    def options(self, app, *commands):
        return self.prefix.probe(self.target(app), *commands)[1:]

    def open_options(self, app):
        app.probe1("post-click", OPTIONS)
        return self.options(app, ["wait-window", 5000, "visible"], ["window"])[1]

    def close_options(self, app, button):
        self.options(app, ["click", button], ["wait-no-window", 5000])

    def buttons(self, app):
        """Each option's (ticked, enabled)."""
        results = self.options(app, *[["button", control] for control in OPTION_BUTTONS])
        return {result["id"]: (result["check"], result["enabled"]) for result in results}

    def test_unticking_the_beep_greys_both_radios_and_they_keep_their_ticks(self):
        app = self.start_with(Beep=1, Beep_by_speaker=1)
        window = self.open_options(app)
        self.assertEqual(window["title"], "Options")
        texts = {c["id"]: c["text"] for c in self.options(app, ["controls"])[0]["controls"]}
        self.assertEqual([texts.get(c) for c in (*OPTION_BUTTONS, 1, 2)],
                         ["Eject drive (CD-ROM only)", "Issue beep to:", "Common audio output",
                          "System speaker", "Show pop-up message", "OK", "Cancel"])
        self.assertEqual(self.buttons(app), options_shown({BEEP, SPEAKER}, radios_enabled=True))

        self.options(app, ["click", BEEP])
        self.assertEqual(self.buttons(app), options_shown({SPEAKER}, radios_enabled=False))
        self.options(app, ["click", BEEP])
        self.assertEqual(self.buttons(app), options_shown({BEEP, SPEAKER}, radios_enabled=True))

        self.close_options(app, 2)
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.stored_flags(),
                         {"Eject CD-ROM": 0, "Show popup": 0, "Beep": 1, "Beep by speaker": 1})

    def test_ok_takes_the_options_over_for_the_next_completion_and_quit_stores_them(self):
        app = self.start_with()
        self.open_options(app)
        self.options(app, ["click", POPUP], ["click", EJECT])
        self.close_options(app, 1)

        card = self.fresh_volume("Q", 2, entries={"a.jpg": 1000})
        card.insert()
        app.probe1("devchange", "arrival", "Q")
        box = self.prefix.probe(self.popup_target(app), ["wait-window", 20000, "visible"], ["controls"])
        self.assertIn(POPUP_TEXT, [c.get("text", "") for c in box[2]["controls"]])
        self.prefix.probe(self.popup_target(app), ["close"], ["wait-no-window", 10000])
        self.assertEqual(app.text(ids.IDC_PROGRESS_TEXT), "Complete.")

        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.stored_flags(),
                         {"Eject CD-ROM": 1, "Show popup": 1, "Beep": 0, "Beep by speaker": 0})

    def test_cancel_escape_and_the_close_box_change_nothing(self):
        app = self.start_with()
        ways = {"Cancel": ["click", 2], "Esc": ["key", "esc"], "close box": ["close"]}
        for way, command in ways.items():
            with self.subTest(way=way):
                self.open_options(app)
                self.options(app, ["click", POPUP], ["click", EJECT], ["click", BEEP], ["click", SPEAKER])
                self.assertEqual(self.buttons(app)[POPUP], (1, True))
                self.close_with(self.target(app), command)
                self.open_options(app)
                self.assertEqual(self.buttons(app), options_shown({COMMON_AUDIO}, radios_enabled=False))
                self.close_options(app, 2)

        card = self.fresh_volume("Q", 2, entries={"a.jpg": 1000})
        card.insert()
        app.probe1("devchange", "arrival", "Q")
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 20000)
        # The pop-up would follow the last progress report at once.
        late = self.prefix.probe(self.popup_target(app), ["wait-window", 1500], check=False)
        self.assertFalse(late[-1]["ok"], "no pop-up after a cancelled change")
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.stored_flags(),
                         {"Eject CD-ROM": 0, "Show popup": 0, "Beep": 0, "Beep by speaker": 0})

    def test_speaker_chosen_with_the_beep_off_is_stored_and_shown_greyed(self):
        app = self.start_with()
        self.open_options(app)
        self.options(app, ["click", BEEP], ["click", SPEAKER], ["click", BEEP])
        self.assertEqual(self.buttons(app)[SPEAKER], (1, False))
        self.close_options(app, 1)
        self.assertEqual(app.quit(), 0)
        self.assertEqual(self.stored_flags(),
                         {"Eject CD-ROM": 0, "Show popup": 0, "Beep": 0, "Beep by speaker": 1})

        again = self.start_harvex()
        self.open_options(again)
        self.assertEqual(self.buttons(again), options_shown({SPEAKER}, radios_enabled=False))
        self.close_options(again, 2)


    def test_copying_options_are_stored_at_quit_and_shown_after_a_restart(self):
        app = self.start_with(Beep=1)
        self.open_options(app)
        texts = {c["id"]: c["text"] for c in self.options(app, ["controls"])[0]["controls"]}
        self.assertEqual([texts.get(VERIFY), texts.get(ONLY_NEW)],
                         ["Verify copies", "Copy only files not copied before"])
        self.options(app, ["click", VERIFY], ["click", ONLY_NEW])
        self.close_options(app, 1)
        self.assertEqual(app.quit(), 0)
        for name in ("Verify", "Only new files"):
            value = self.prefix.reg_value(SETTINGS_KEY, name)
            self.assertEqual((value["type"], value["size"], value["dword"]), (REG_DWORD, 4, 1), name)
        self.assertEqual(self.stored_flags()["Beep"], 1)

        again = self.start_harvex()
        self.open_options(again)
        shown = self.options(again, ["button", VERIFY], ["button", ONLY_NEW])
        self.assertEqual([(r["check"], r["enabled"]) for r in shown], [(1, True), (1, True)])
        self.options(again, ["click", VERIFY])
        self.close_options(again, 1)
        self.assertEqual(again.quit(), 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Verify")["dword"], 0)
        self.assertEqual(self.prefix.reg_value(SETTINGS_KEY, "Only new files")["dword"], 1)

    def test_quitting_from_the_tray_while_options_are_open_keeps_the_old_values(self):
        app = self.start_with(Beep_by_speaker=1)
        self.open_options(app)
        self.options(app, ["click", BEEP], ["click", COMMON_AUDIO], ["click", POPUP])
        self.assertEqual(self.buttons(app), options_shown({BEEP, COMMON_AUDIO, POPUP}, radios_enabled=True))
        app.probe1("command", QUIT)  # the tray menu's "Quit" reaches the dialog while Options runs
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(self.stored_flags(),
                         {"Eject CD-ROM": 0, "Show popup": 0, "Beep": 0, "Beep by speaker": 1},
                         "only OK takes the Options dialog's values over")


# --- About ----------------------------------------------------------------------------------

class AboutDialog(UiTestCase):
    def target(self, app):
        return ["target", "title", " About", f"pid={app.pid}"]

    def about(self, app, *commands):
        return self.prefix.probe(self.target(app), *commands)[1:]

    def open_about(self, app):
        app.probe1("post-click", ABOUT)
        return self.about(app, ["wait-window", 5000, "visible"], ["sync", 2], ["window"])[2]

    def test_shows_the_whole_picture_centred_over_the_dialog_and_closes_with_escape(self):
        app = self.start_harvex()
        main = app.window()["rect"]
        about = self.open_about(app)
        self.assertEqual((about["client"]["width"], about["client"]["height"]), (400, 230),
                         "the client area is the picture's size at 96 dpi")
        rect = about["rect"]
        self.assertLessEqual(abs((rect["left"] + rect["right"]) - (main["left"] + main["right"])), 1)
        self.assertLessEqual(abs((rect["top"] + rect["bottom"]) - (main["top"] + main["bottom"])), 1)
        self.assertFalse(app.window()["enabled"], "the About window is modal")

        self.display.screenshot(ARTIFACTS_DIR / "about.png",
                                crop=(rect["left"], rect["top"], rect["width"], rect["height"]))
        shown = ui.grab(self.display, (about["client_x"], about["client_y"], 400, 230))
        picture = ui.read_picture(ROOT / "resources" / "about.jpg")
        self.assertLess(shown.mean_difference(picture), 6, "the picture fills the client area, upright")
        self.assertGreater(shown.mean_difference(picture.flipped()), 20, "the comparison tells upside down")

        self.close_with(self.target(app), ["key", "esc"])
        window = app.window()
        self.assertTrue(window["enabled"] and window["visible"])
        self.assertTrue(app.is_running())

    def test_enter_and_the_close_box_close_it_too(self):
        app = self.start_harvex()
        for way, command in {"Enter": ["key", "enter"], "close box": ["close"]}.items():
            with self.subTest(way=way):
                self.open_about(app)
                self.close_with(self.target(app), command)
                self.assertTrue(app.window()["visible"], "the main dialog stays")
        self.assertEqual(app.quit(), 0)

    def test_a_dialog_partly_off_screen_gets_its_about_window_inside_the_work_area(self):
        app = self.start_harvex()
        rect = app.window()["rect"]
        main = app.probe(["move", -300, rect["top"], rect["width"], rect["height"]], ["window"])[1]["rect"]
        work = self.prefix.probe1("screen")["work_area"]
        about = self.open_about(app)["rect"]
        self.assertEqual(about["left"], work["left"], "moved to the work area's left edge")
        self.assertLessEqual(abs((about["top"] + about["bottom"]) - (main["top"] + main["bottom"])), 1,
                             "still centred vertically over the dialog")
        self.close_with(self.target(app), ["key", "esc"])


# --- Resizing -------------------------------------------------------------------------------

def size_of(rect):
    return rect["width"], rect["height"]


def all_edges(rectangles):
    return {control: ui.edges_of(rect) for control, rect in rectangles.items()}


class ResizeLayout(UiTestCase):
    def template(self, app):
        """The window's outer rectangle, its client rectangle and every control at template size."""
        window, controls = app.probe(["window"], ["controls"])
        return window["rect"], controls["client"], ui.rectangles(controls)

    def resize(self, app, outer, width, height):
        """Sizes the window, keeping its top-left corner; gives the window and its controls."""
        return app.probe(["move", outer["left"], outer["top"], width, height], ["window"], ["controls"])[1:]

    def assert_layout(self, initial, initial_client, controls_result):
        actual = ui.rectangles(controls_result)
        expected = ui.expected_layout(initial, initial_client, controls_result["client"])
        for control, rect in expected.items():
            with self.subTest(control=control):
                self.assertEqual(ui.edges_of(actual[control]), rect)
        return actual

    def test_growing_follows_the_rules_and_the_template_size_restores_every_control(self):
        app = self.start_harvex()
        outer, client0, initial = self.template(app)
        width, height = size_of(outer)
        _, grown = self.resize(app, outer, width + 100, height + 80)
        client = grown["client"]
        self.assertEqual(size_of(client), (client0["width"] + 100, client0["height"] + 80))
        actual = self.assert_layout(initial, client0, grown)

        # The same, said the way the layout is meant to behave.
        group, drives = actual[ui.GROUP], actual[ui.LIST]
        group0, drives0 = initial[ui.GROUP], initial[ui.LIST]
        self.assertEqual(client["right"] - group["right"], client0["right"] - group0["right"])
        scaled = (group["right"] - drives["left"]) * drives0["right"] // (group0["right"] - drives0["left"])
        self.assertEqual(drives["right"], scaled)
        self.assertGreater(drives["right"], drives0["right"], "the list takes a share of the width")
        self.assertEqual(group["left"] - drives["right"], group0["left"] - drives0["right"])
        for button in (ids.IDC_BROWSE, ids.IDC_CLEAR, ids.IDC_STOP):
            with self.subTest(button=button):
                self.assertEqual(actual[button]["width"], initial[button]["width"])
                self.assertEqual(group["right"] - actual[button]["right"],
                                 group0["right"] - initial[button]["right"])
        for control in (ids.IDC_PROGRESS_TEXT, ids.IDC_PROGRESS_BAR, ids.IDC_STOP):
            self.assertEqual(actual[control]["top"], initial[control]["top"] + 80, control)
        for link in (DONATE_LINK, HELP_LINK):
            with self.subTest(link=link):
                self.assertEqual(actual[link]["width"], initial[link]["width"])
                centre_offset = (actual[link]["left"] + actual[link]["right"]) - (drives["left"] + drives["right"])
                self.assertLessEqual(abs(centre_offset), 1, "centred under the list")
        for button in (QUIT, OPTIONS, ABOUT):
            self.assertEqual((actual[button]["left"], actual[button]["right"]),
                             (drives["left"], drives["right"]))
        app.screenshot("resized")

        _, back = self.resize(app, outer, width, height)
        self.assertEqual(all_edges(ui.rectangles(back)), all_edges(initial))

    def test_the_window_never_gets_smaller_than_its_template(self):
        app = self.start_harvex()
        outer, _, initial = self.template(app)
        window, controls = self.resize(app, outer, outer["width"] - 150, outer["height"] - 100)
        self.assertEqual(size_of(window["rect"]), size_of(outer))
        self.assertEqual(all_edges(ui.rectangles(controls)), all_edges(initial))

    def test_dragging_the_corner_with_the_mouse(self):
        app = self.start_harvex()
        outer, client0, initial = self.template(app)

        def drag(dx, dy):
            """Drags the bottom-right corner by (dx, dy) in four steps, each one waited for: the
            window follows the pointer live, but never below the template's size."""
            rect = app.window()["rect"]
            x, y = rect["right"] - 2, rect["bottom"] - 2  # inside the sizing border's corner
            ui.xdotool(self.display, "mousemove", x, y)
            ui.xdotool(self.display, "mousedown", 1)
            for step in range(1, 5):
                ui.xdotool(self.display, "mousemove", x + dx * step // 4, y + dy * step // 4)
                wanted = (max(outer["width"], rect["width"] + dx * step // 4),
                          max(outer["height"], rect["height"] + dy * step // 4))
                wait_until(lambda: size_of(app.window()["rect"]) == wanted, timeout=5, interval=0.02,
                           what=f"the window sized to {wanted} by the drag")
            ui.xdotool(self.display, "mouseup", 1)
            return app.probe(["sync", 2], ["window"], ["controls"])[1:]

        window, controls = drag(60, 40)
        self.assertEqual(size_of(window["rect"]), (outer["width"] + 60, outer["height"] + 40))
        self.assert_layout(initial, client0, controls)

        window, controls = drag(-200, -150)
        self.assertEqual(size_of(window["rect"]), size_of(outer), "the minimum size holds against the mouse")
        self.assert_layout(initial, client0, controls)

    def test_maximised_layout_follows_the_rules(self):
        app = self.start_harvex()
        _, client0, initial = self.template(app)
        controls = app.probe(["syscommand", "maximize"], ["wait-state", "zoomed", 1, 5000], ["sync"],
                             ["controls"])[3]
        self.assert_layout(initial, client0, controls)


    def test_minimising_and_restoring_keeps_the_layout(self):
        app = self.start_harvex()
        outer, client0, initial = self.template(app)
        _, grown = self.resize(app, outer, outer["width"] + 70, outer["height"] + 30)
        restored = app.probe(["syscommand", "minimize"], ["wait-state", "iconic", 1, 5000],
                             ["syscommand", "restore"], ["wait-state", "iconic", 0, 5000], ["sync"],
                             ["controls"])[5]
        self.assertEqual(restored["client"], grown["client"])
        self.assertEqual(all_edges(ui.rectangles(restored)), all_edges(ui.rectangles(grown)))
        self.assert_layout(initial, client0, restored)


# --- Placement ------------------------------------------------------------------------------

def placement_record(show, normal, flags=0):
    """A WINDOWPLACEMENT as stored: 11 little-endian 32-bit fields, as hex."""
    fields = [44, flags, show, -1, -1, -1, -1, *normal]
    return b"".join((value & 0xFFFFFFFF).to_bytes(4, "little") for value in fields).hex()


def placement_fields(value):
    data = bytes.fromhex(value["hex"])
    return [int.from_bytes(data[i:i + 4], "little", signed=True) for i in range(0, len(data), 4)]


class Placement(UiTestCase):
    def stored_placement(self):
        return self.prefix.reg_value(PLACEMENT_KEY, "Window placement")

    def test_first_start_is_centred_and_the_first_quit_stores_44_bytes(self):
        app = self.start_harvex()
        key = self.prefix.reg_key(PLACEMENT_KEY)
        self.assertIsNotNone(key, "the key is made at the first start")
        self.assertEqual(key["values"], [])
        rect = app.window()["rect"]
        self.assertEqual(app.quit(), 0)
        value = self.stored_placement()
        self.assertEqual((value["type"], value["size"]), (REG_BINARY, 44))
        fields = placement_fields(value)
        self.assertEqual((fields[0], fields[2]), (44, 1), "length and normal show state")
        self.assertEqual(fields[7:], [rect["left"], rect["top"], rect["right"], rect["bottom"]])

    def test_quit_maximised_starts_maximised_and_restores_to_the_last_normal_rectangle(self):
        app = self.start_harvex()
        normal = (120, 90, 120 + 640, 90 + 300)
        app.probe(["move", normal[0], normal[1], normal[2] - normal[0], normal[3] - normal[1]],
                  ["syscommand", "maximize"], ["wait-state", "zoomed", 1, 5000])
        self.assertEqual(app.quit(), 0)
        fields = placement_fields(self.stored_placement())
        self.assertEqual((fields[2], tuple(fields[7:])), (3, normal))

        again = self.start_harvex()
        again.probe1("wait-state", "zoomed", 1, 5000)
        # Wine shows a modal dialog once more when its queue first runs empty; the state must outlast it.
        time.sleep(0.5)
        self.assertTrue(again.window()["zoomed"], "still maximised once the start has settled")
        restored = again.probe(["syscommand", "restore"], ["wait-state", "zoomed", 0, 5000], ["window"])[2]
        rect = restored["rect"]
        self.assertEqual((rect["left"], rect["top"], rect["right"], rect["bottom"]), normal)

    def test_quit_minimised_starts_normal(self):
        app = self.start_harvex()
        rect = app.window()["rect"]
        app.probe(["syscommand", "minimize"], ["wait-state", "iconic", 1, 5000])
        # The tray menu's Quit: a minimised window's button takes no click.
        app.probe1("command", QUIT)
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(placement_fields(self.stored_placement())[2], 2)
        again = self.start_harvex()
        window = again.probe(["sync", 2], ["window"])[1]
        self.assertFalse(window["iconic"] or window["zoomed"])
        self.assertEqual(window["rect"], rect)

    def test_minimised_after_maximised_starts_maximised(self):
        app = self.start_harvex()
        app.probe(["syscommand", "maximize"], ["wait-state", "zoomed", 1, 5000],
                  ["syscommand", "minimize"], ["wait-state", "iconic", 1, 5000])
        app.probe1("command", QUIT)
        self.assertEqual(app.wait_exit(), 0)
        fields = placement_fields(self.stored_placement())
        self.assertEqual((fields[1] & 2, fields[2]), (2, 2), "minimised, to be restored maximised")
        again = self.start_harvex()
        window = again.probe(["wait-state", "zoomed", 1, 5000], ["sleep", 500], ["window"])[2]
        self.assertTrue(window["zoomed"] and not window["iconic"])

    def test_a_placement_of_40_or_48_bytes_is_ignored(self):
        app = self.start_harvex()
        centred = app.window()["rect"]
        app.kill()
        app.wait_exit()
        record = placement_record(3, (30, 40, 830, 640))
        for size, data in {40: record[:80], 48: record + "00000000"}.items():
            with self.subTest(size=size):
                self.prefix.reg_set(PLACEMENT_KEY, "Window placement", "binary", data)
                again = self.start_harvex()
                window = again.probe(["sync", 2], ["window"])[1]
                self.assertFalse(window["zoomed"])
                self.assertEqual(window["rect"], centred, "centred at template size")
                again.kill()
                again.wait_exit()


# --- The tray icon under a real mouse --------------------------------------------------------

class TrayWithRealInput(UiTestCase):
    def tray_icon(self):
        bars = self.prefix.probe1("wait-class", "Shell_TrayWnd", 5000)["windows"]
        return wait_until(lambda: ui.find_tray_icon(self.display, bars[0]["rect"]), timeout=5,
                          what="the tray icon drawn in the task bar")

    def right_click_the_icon(self, app):
        left, top, width, height = self.tray_icon()
        ui.click(self.display, left + width // 2, top + height // 2, button=3)
        menu = self.prefix.probe1("wait-class", "#32768", 5000)["windows"][0]
        self.assertEqual(menu["pid"], app.pid, "the menu is the program's")
        return menu["rect"]

    def test_right_click_opens_the_menu_and_open_brings_the_hidden_dialog_back_restored(self):
        app = self.start_harvex()
        app.probe(["syscommand", "maximize"], ["wait-state", "zoomed", 1, 5000], ["command", 2],
                  ["wait-state", "visible", 0, 5000])
        menu = self.right_click_the_icon(app)
        self.display.screenshot(ARTIFACTS_DIR / "tray-menu.png")
        ui.click(self.display, menu["left"] + menu["width"] // 2, menu["top"] + 10)  # the first item
        window = app.probe1("wait-state", "visible", 1, 5000)
        self.assertFalse(window["zoomed"], "Open shows the dialog in its normal size")
        self.assertTrue(app.is_running())

    def test_quit_from_the_menu_ends_the_process_and_removes_the_icon(self):
        app = self.start_harvex()
        app.probe(["command", 2], ["wait-state", "visible", 0, 5000])
        menu = self.right_click_the_icon(app)
        ui.click(self.display, menu["left"] + menu["width"] // 2, menu["bottom"] - 10)  # the last item
        self.assertEqual(app.wait_exit(), 0)

        def icon_gone():
            # Wine's desktop hides its task bar when the last icon goes.
            bars = self.prefix.probe1("windows", "class=Shell_TrayWnd", "visible")["windows"]
            return not bars or ui.find_tray_icon(self.display, bars[0]["rect"]) is None

        wait_until(icon_gone, timeout=5, what="the tray icon removed")


# --- Links ----------------------------------------------------------------------------------

class LinkColours(UiTestCase):
    def link_pixels(self, app, link):
        window = app.window()
        rect = app.probe1("control", link)["rect"]
        return ui.grab(self.display, ui.control_on_screen(window, rect))

    def test_anchor_color_sets_the_unvisited_colour(self):
        cases = {
            None: ui.is_bluish,
            "255,0,0": ui.is_reddish,
            "255,0": ui.is_bluish,  # one comma: not a colour
            "255,0,": ui.is_bluish,  # no third part
            "256,0,0": ui.is_blackish,  # the low 8 bits of each part
            "  255, 0, 0": ui.is_reddish,  # 11 characters: blanks before numbers are read over
            "   255, 0, 0": ui.is_bluish,  # 12 characters: too long for the value's buffer
        }
        for value, colour in cases.items():
            with self.subTest(anchor_color=value):
                if value is None:
                    self.prefix.reg_delete(LINK_COLOURS_KEY, "Anchor Color")
                else:
                    self.prefix.reg_set(LINK_COLOURS_KEY, "Anchor Color", "sz", value)
                app = self.start_harvex()
                for link in (DONATE_LINK, HELP_LINK):
                    pixels = self.link_pixels(app, link)
                    self.assertGreater(pixels.count(colour), 40, f"link {link} text in the expected colour")
                    others = [c for c in (ui.is_reddish, ui.is_bluish) if c is not colour]
                    for other in others:
                        self.assertEqual(pixels.count(other), 0, f"link {link} has no {other.__name__} pixel")
                app.kill()
                app.wait_exit()
        self.prefix.reg_delete(LINK_COLOURS_KEY, "Anchor Color")

    def test_real_clicks_and_keys_open_only_from_the_text(self):
        # The shell hands https addresses to winebrowser; "true" stands in for the browser.
        self.prefix.reg_set(BROWSER_KEY, "Browsers", "sz", "true")
        app = self.start_harvex()
        window = app.window()
        donate = ui.control_on_screen(window, app.probe1("control", DONATE_LINK)["rect"])
        help_ = ui.control_on_screen(window, app.probe1("control", HELP_LINK)["rect"])

        def centre(rect):
            return rect[0] + rect[2] // 2, rect[1] + rect[3] // 2

        def drawn_visited(link):
            return self.link_pixels(app, link).count(ui.is_purplish) > 40

        ui.click(self.display, donate[0] + 1, centre(donate)[1])  # on the control, beside its centred text
        # Pressed on the text, released off the control.
        ui.xdotool(self.display, "mousemove", *centre(help_))
        ui.xdotool(self.display, "mousedown", 1)
        ui.xdotool(self.display, "mousemove", help_[0] + help_[2] + 40, centre(help_)[1])
        ui.xdotool(self.display, "mouseup", 1)
        app.probe1("sync", 2)
        time.sleep(0.5)  # a started browser would have turned the link purple by now
        for link in (DONATE_LINK, HELP_LINK):
            self.assertGreater(self.link_pixels(app, link).count(ui.is_bluish), 40, f"link {link} not opened")
        self.assertEqual(app.probe1("focus")["focus_id"], HELP_LINK, "pressing on the text takes the focus")

        ui.xdotool(self.display, "key", "space")
        try:
            wait_until(lambda: drawn_visited(HELP_LINK), timeout=10, what="the focused link opened by Space")
        except Exception as error:
            focus = ui.xdotool(self.display, "getwindowfocus").stdout.strip()
            visible = ui.xdotool(self.display, "search", "--onlyvisible", "--name", ".*").stdout.split()
            raise AssertionError(f"{error}; X focus {focus}; visible X windows {visible}; "
                                 f"probe focus {app.probe1('focus')}") from error
        self.assertFalse(drawn_visited(DONATE_LINK))

        ui.click(self.display, *centre(donate))
        wait_until(lambda: drawn_visited(DONATE_LINK), timeout=10, what="the clicked link drawn purple")
        self.assertTrue(drawn_visited(HELP_LINK), "a visited link stays visited")


# --- The README's picture -------------------------------------------------------------------

class ReadmePicture(UiTestCase):
    def test_main_dialog_after_a_copy(self):
        """Kept as tests/e2e/artifacts/main-dialog.png; with E2E_DOCS_PICTURES=1 also as
        docs/main-dialog.png."""
        card = self.fresh_volume("E", 2, label="CARD", entries={
            "DCIM/100MEDIA/IMG_0001.JPG": 300_000, "DCIM/100MEDIA/IMG_0002.JPG": 200_000,
            "DCIM/101MEDIA/IMG_0101.JPG": 100_000, "MISC/notes.txt": "hello"})
        disc = self.fresh_volume("F", 5, label="HOLIDAY", entries={"VIDEO_TS/VTS_01_1.VOB": 500_000})
        card.insert()
        disc.insert()
        app = self.start_with(log_level=1, dest="Photos/Cards")
        app.probe1("devchange", "arrival", "E")
        app.probe1("wait-text", ids.IDC_LOG_EDIT, "contains", "[E]: Finished.", 30000)
        app.probe1("wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Complete.", 10000)
        rows = [row.get("text", "") for row in app.rows()]
        self.assertIn("E:\\ [REMOVABLE]", rows)
        self.assertIn("F:\\ [CD-ROM]", rows)
        window = app.probe(["sync", 2], ["window"])[1]
        app.screenshot("main-dialog")
        # The client area alone for the README: without Wine's fonts the caption buttons show as
        # letters, which is not how the program looks anywhere else.
        client = (window["client_x"], window["client_y"], *size_of(window["client"]))
        path = ARTIFACTS_DIR / "main-dialog-client.png"
        picture = ui.grab(self.display, client, path)
        self.assertEqual((picture.width, picture.height), client[2:])
        self.assertGreater(picture.count(ui.is_bluish), 40, "the links are drawn")
        if os.environ.get("E2E_DOCS_PICTURES"):
            shutil.copyfile(path, ROOT / "docs" / "main-dialog.png")

    def test_options_dialog(self):
        """The user guide's picture of Options: tests/e2e/artifacts/options-dialog.png; with
        E2E_DOCS_PICTURES=1 also docs/options-dialog.png."""
        app = self.start_with(Beep=1)
        app.probe1("post-click", OPTIONS)
        options = ["target", "title", "Options", f"pid={app.pid}"]
        self.prefix.probe(options, ["wait-window", 5000, "visible"], ["click", ids.IDC_START_WITH_WINDOWS])
        window = self.prefix.probe(options, ["sync", 2], ["window"])[2]
        client = (window["client_x"], window["client_y"], *size_of(window["client"]))
        path = ARTIFACTS_DIR / "options-dialog.png"
        picture = ui.grab(self.display, client, path)
        self.assertEqual((picture.width, picture.height), client[2:])
        self.prefix.probe(options, ["click", ids.IDCANCEL], ["wait-no-window", 5000])
        if os.environ.get("E2E_DOCS_PICTURES"):
            shutil.copyfile(path, ROOT / "docs" / "options-dialog.png")


if __name__ == "__main__":
    unittest.main()
