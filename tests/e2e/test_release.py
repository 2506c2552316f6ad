"""The Windows release: scripts/package.sh run twice, in this tree and in a copy of it in another
folder, gives the same zip byte for byte, holding the four files it should."""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

from harness import CACHE_DIR, ROOT, run

NAMES = ["harvex.exe", "README.txt", "LICENSE.txt", "SHA256SUMS"]


def source_files():
    """The tree as it stands: tracked files and new ones that git does not ignore."""
    listed = run(["git", "-C", ROOT, "ls-files", "-z", "-c", "-o", "--exclude-standard"], timeout=60,
                 what="git ls-files").stdout
    return [name for name in listed.split("\0") if name and (ROOT / name).is_file()]


def package(folder, epoch, timeout):
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    result = run([folder / "scripts" / "package.sh"], timeout=timeout, what=f"package.sh in {folder}", env=env,
                 cwd=folder)
    printed = re.search(r"^SHA-256 ([0-9a-f]{64})  (\S+)$", result.stdout, re.MULTILINE)
    if not printed:
        raise AssertionError(f"package.sh printed no SHA-256 line:\n{result.stdout[-2000:]}")
    return folder / "dist" / printed.group(2), printed.group(1)


class Release(unittest.TestCase):
    def test_two_builds_in_two_folders_give_the_same_zip_of_the_four_files(self):
        epoch = int(run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], timeout=30, what="git log").stdout)
        zip_here, printed_here = package(ROOT, epoch, timeout=600)

        CACHE_DIR.mkdir(parents=True, exist_ok=True)
        other = Path(tempfile.mkdtemp(prefix="release-copy-", dir=CACHE_DIR)) / "harvex-source"
        self.addCleanup(shutil.rmtree, other.parent, True)
        for name in source_files():
            (other / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(ROOT / name, other / name)
        # The second copy builds harvex.exe alone: everything else is the same in both.
        zip_there, printed_there = package(other, epoch, timeout=900)

        version = (ROOT / "build" / "win" / "version.txt").read_text().strip()
        self.assertEqual(zip_here.name, f"harvex-{version}-win64.zip")
        data = zip_here.read_bytes()
        self.assertEqual(hashlib.sha256(data).hexdigest(), printed_here)
        self.assertEqual(zip_there.read_bytes(), data, "the same sources built elsewhere gave other bytes")
        self.assertEqual(printed_there, printed_here)

        with zipfile.ZipFile(zip_here) as archive:
            self.assertEqual(archive.namelist(), NAMES)
            files = {name: archive.read(name) for name in NAMES}
            self.assertTrue(all(info.date_time == archive.infolist()[0].date_time for info in archive.infolist()))
        sums = files["SHA256SUMS"].decode("ascii").splitlines()
        self.assertEqual(sums[0], f"# Harvex {version} for Windows (64-bit). Check with: sha256sum -c SHA256SUMS")
        self.assertEqual(sums[1:], [f"{hashlib.sha256(files[name]).hexdigest()}  {name}" for name in NAMES[:3]])
        self.assertEqual(files["harvex.exe"], (ROOT / "build" / "win" / "harvex.exe").read_bytes())
        self.assertEqual(files["harvex.exe"][:2], b"MZ")
        for folder in (ROOT, other):
            self.assertNotIn(str(folder).encode(), files["harvex.exe"], "a build folder is named in the exe")
        readme = files["README.txt"].decode("utf-8")
        self.assertTrue(readme.startswith("Harvex user guide\r\n"))
        self.assertNotIn("\n", readme.replace("\r\n", ""), "every line ends with CRLF")
        self.assertIn("Start with Windows", readme)
        self.assertNotIn("![", readme)
        self.assertIn("Copyright (c) 2026 The Harvex authors", files["LICENSE.txt"].decode("utf-8"))

        # The list checks out with the tool it names.
        unpacked = other.parent / "unpacked"
        with zipfile.ZipFile(zip_here) as archive:
            archive.extractall(unpacked)
        check = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=unpacked, capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)


if __name__ == "__main__":
    unittest.main()
