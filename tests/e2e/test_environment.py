"""The ground the other tests stand on: the prefix, drive letters defined on the fly, the probe."""

import unittest

from harness import HarvexTestCase


class DriveMapping(HarvexTestCase):
    def test_removable_letter_with_label_comes_and_goes(self):
        volume = self.volume("Q", 2, label="CARD 01", entries={"DCIM/IMG_0001.JPG": 1000})
        before = self.prefix.probe1("drive", "Q")
        self.assertEqual(before["type"], 1, "Q: must not exist before it is defined")

        volume.insert()
        drive = self.prefix.probe1("drive", "Q")
        self.assertEqual(drive["type"], 2)
        self.assertTrue(drive["volume"])
        self.assertEqual(drive["label"], "CARD 01")
        self.assertIn("Q:\\", self.prefix.probe1("drives")["roots"])

        volume.remove()
        self.assertEqual(self.prefix.probe1("drive", "Q")["type"], 1)
        self.assertNotIn("Q:\\", self.prefix.probe1("drives")["roots"])

    def test_drive_types_and_label_text_survive(self):
        label = "Ünïcode.lbl\\x"
        fixed = self.volume("R", 3, label=label)
        cdrom = self.volume("S", 5, label="DISC")
        fixed.insert()
        cdrom.insert()
        results = self.prefix.probe(["drive", "R"], ["drive", "S"])
        self.assertEqual((results[0]["type"], results[0]["label"]), (3, label))
        self.assertEqual((results[1]["type"], results[1]["label"]), (5, "DISC"))

    def test_only_c_is_present_at_start(self):
        self.assertEqual(self.prefix.probe1("drives")["roots"], ["C:\\"])


class Registry(HarvexTestCase):
    def test_values_round_trip_with_type_and_bytes(self):
        key = r"SOFTWARE\Quenby\Harvex2"
        self.prefix.reg_set(key, "Folder name", "dword", -1)
        self.prefix.reg_set(key, "Save to", "sz", "C:\\Fotos ü")
        self.prefix.reg_set(key + r"\Drives\E", "Seen", "raw:4", "0100000000000000")
        self.assertEqual(self.prefix.reg_value(key, "Folder name")["hex"], "ffffffff")
        save_to = self.prefix.reg_value(key, "Save to")
        self.assertEqual((save_to["type"], save_to["string"], save_to["terminated"]), (1, "C:\\Fotos ü", True))
        seen = self.prefix.reg_value(key + r"\Drives\E", "Seen")
        self.assertEqual((seen["type"], seen["size"]), (4, 8))
        self.assertIsNone(self.prefix.reg_value(key, "Beep"))

    def test_each_test_starts_without_the_program_key(self):
        self.assertIsNone(self.prefix.reg_key(r"SOFTWARE\Quenby\Harvex2"))
        self.prefix.reg_set(r"SOFTWARE\Quenby\Harvex2", "Beep", "dword", 1)
        self.setUp()
        self.assertIsNone(self.prefix.reg_key(r"SOFTWARE\Quenby\Harvex2"))


if __name__ == "__main__":
    unittest.main()
