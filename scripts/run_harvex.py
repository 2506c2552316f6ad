#!/usr/bin/env python3
"""Starts harvex.exe under Wine and shows it at work; run by scripts/run.sh once the build, the
display and the Wine prefix are there.

1. Starts harvex.exe and waits for its dialog. A start that fails says why and how to fix it; a
   dialog that cannot be created because the prefix's Wine session has no display is retried once
   in a new session.
2. Unless --no-demo: plugs in a sample card (a labelled folder with a DCIM tree of generated
   pictures, mapped as a removable drive), waits until Harvex has copied it, and prints where the
   copy went.
3. While Harvex runs, gives it every volume the desktop mounts (scripts/volume_watcher.py).

Ends with Harvex's exit code. Uses WINEPREFIX and DISPLAY from the environment.
"""

import argparse
import os
import struct
import subprocess
import sys
import threading
import time
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from volume_watcher import FIRST_LETTER, VolumeWatcher, Wine  # noqa: E402

ROOT = Path(__file__).resolve().parents[1]
CARD_LABEL = "HARVEX DEMO"
PICTURES = 12
START_LIMIT_S = 90
COPY_LIMIT_MS = 120000


def say(line):
    print(f"run.sh: {line}", flush=True)


# --- the sample card -------------------------------------------------------------------------

def png(width, height, seed):
    """A small picture: a colour gradient that differs from picture to picture."""
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            row += bytes(((x * 255 // width + seed * 40) % 256, (y * 255 // height + seed * 70) % 256,
                          ((x + y) * 2 + seed * 90) % 256))
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


def make_card(folder):
    """A camera card as a folder: DCIM/100HARVX/IMG_0001.PNG ..., a note, and its label."""
    pictures = folder / "DCIM" / "100HARVX"
    pictures.mkdir(parents=True, exist_ok=True)
    for number in range(1, PICTURES + 1):
        picture = pictures / f"IMG_{number:04d}.PNG"
        if not picture.exists():
            picture.write_bytes(png(320, 240, number))
    (folder / "MISC").mkdir(exist_ok=True)
    (folder / "MISC" / "README.TXT").write_text("A sample card made by scripts/run.sh to show Harvex at work.\n")
    # Wine reads a folder's label from this file when the drive letter is defined.
    (folder / ".windows-label").write_text(CARD_LABEL)
    return folder


# --- Harvex ---------------------------------------------------------------------------------

class Harvex:
    def __init__(self, exe, wine):
        self.exe = exe
        self.wine = wine
        self.process = None

    def start(self):
        self.process = subprocess.Popen(["wine", str(self.exe)], stdin=subprocess.DEVNULL)
        return self

    def wait_for_dialog(self):
        """True once the dialog is shown; False when the process ended first (or never showed it)."""
        deadline = time.monotonic() + START_LIMIT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            code, results = self.wine.probe(["target", "main"], ["wait-window", 1000, "visible"],
                                            ["wait-text", 1016, "equals", "Ready.", 1000])
            if code == 0 and len(results) == 3:
                return True
        return False

    def probe(self, *commands, timeout=60):
        code, results = self.wine.probe(["target", "main"], *commands, timeout=timeout)
        return code, results[1:]


def explain_failed_start(code, virtual_display):
    display = os.environ.get("DISPLAY", "")
    prefix = os.environ.get("WINEPREFIX", "")
    lines = [f"harvex.exe ended with exit code {code} before its window appeared."]
    if code in (255, -1, 4294967295):
        lines.append("Its dialog could not be created: Wine found no usable display for it.")
        lines.append(f"Check that the display {display} is running: xdpyinfo -display {display}")
        lines.append(f"A Wine session left running without a display keeps failing; end it with:"
                     f"  WINEPREFIX={prefix} wineserver -k")
        if not virtual_display:
            lines.append("Or run without DISPLAY (unset DISPLAY) to use a virtual display of its own.")
    else:
        lines.append(f"Run it by hand to see Wine's messages:  WINEPREFIX={prefix} WINEDEBUG=err+all "
                     f"wine {ROOT / 'build' / 'win' / 'harvex.exe'}")
    lines.append("Then run ./scripts/run.sh again.")
    return "\n".join(lines)


def start_harvex(exe, wine, virtual_display):
    for attempt in (1, 2):
        harvex = Harvex(exe, wine).start()
        if harvex.wait_for_dialog():
            return harvex
        if harvex.process.poll() is None:
            harvex.process.kill()
            harvex.process.wait()
            say(f"harvex.exe showed no window within {START_LIMIT_S} s.")
            say(explain_failed_start(-1, virtual_display))
            return None
        code = harvex.process.returncode
        if attempt == 1 and code in (255, -1, 4294967295):
            # The session of this prefix may have started without a display (or on one now gone):
            # a new session takes the display that is set now.
            say("harvex.exe could not create its window; starting Wine's session again and retrying")
            subprocess.run(["wineserver", "-k"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
            subprocess.run(["wineserver", "-w"], stdin=subprocess.DEVNULL, timeout=60)
            continue
        say(explain_failed_start(code, virtual_display))
        return None
    return None


# --- the demo -------------------------------------------------------------------------------

def unix_path(windows_path):
    result = subprocess.run(["winepath", "-u", windows_path], stdin=subprocess.DEVNULL, capture_output=True,
                            text=True, timeout=60)
    return Path(result.stdout.strip()) if result.returncode == 0 and result.stdout.strip() else None


def folders_in(path):
    try:
        return {entry.name for entry in path.iterdir() if entry.is_dir()}
    except OSError:
        return set()


def run_demo(harvex, wine, card):
    code, results = harvex.probe(["gettext", 1001])
    copy_to = results[0]["text"] if code == 0 and results else ""
    copy_to_unix = unix_path(copy_to) if copy_to else None
    before = folders_in(copy_to_unix) if copy_to_unix else set()
    taken = wine.used_letters()
    letter = next((chr(c) for c in range(ord(FIRST_LETTER), ord("Z") + 1) if chr(c) not in taken), None)
    if letter is None:
        say("demo: no free drive letter for the sample card")
        return
    say(f"demo: plugging in the sample card \"{CARD_LABEL}\" as removable drive {letter}: ({card})")
    code, results = wine.probe(["map", letter, 2, str(card)], ["devchange", "arrival", letter, "broadcast"])
    if code != 0:
        say(f"demo: the sample card could not be mapped: {results}")
        return
    code, results = harvex.probe(["wait-text", 1016, "startswith", "Complete", COPY_LIMIT_MS],
                                 timeout=COPY_LIMIT_MS / 1000 + 30)
    if code != 0:
        _, log = harvex.probe(["gettext", 1019])
        say(f"demo: the sample card was not copied within {COPY_LIMIT_MS // 1000} s. Is {letter}: ticked in the "
            "drive list, and is \"Copy to\" a folder you can write to? The log says:")
        print(log[0]["text"] if log else "(no log)", flush=True)
    else:
        new = sorted(folders_in(copy_to_unix) - before) if copy_to_unix else []
        where = f"{copy_to}\\{new[-1]}" if new else copy_to
        unix = f" (on Linux: {(copy_to_unix / new[-1]).resolve()})" if new else ""
        say(f"demo: Harvex copied the sample card into {where}{unix}")
    wine.probe(["devchange", "removecomplete", letter, "broadcast"], ["unmap", letter, "if-present"])
    say(f"demo: the sample card has been taken out again ({letter}: removed)")


# --- main -----------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--no-demo", action="store_true", help="only start the program")
    parser.add_argument("--virtual-display", action="store_true", help="DISPLAY is run.sh's own Xvfb")
    options = parser.parse_args()
    exe = ROOT / "build" / "win" / "harvex.exe"
    wine = Wine(ROOT / "build" / "win" / "hxprobe.exe")

    harvex = start_harvex(exe, wine, options.virtual_display)
    if harvex is None:
        return 1
    say("Harvex is running; quit it with its Quit button (or the tray menu's Quit).")

    watcher = VolumeWatcher(wine, report=say)
    watching = threading.Thread(target=watcher.run, args=(lambda: harvex.process.poll() is None,), daemon=True)
    watching.start()
    say("watching /media and /run/media: a stick or card your desktop mounts is copied too")
    if not options.no_demo:
        run_demo(harvex, wine, make_card(ROOT / "build" / "demo" / "card"))

    try:
        code = harvex.process.wait()
    except KeyboardInterrupt:
        harvex.process.terminate()
        code = harvex.process.wait()
    watcher.stop()
    watching.join(timeout=60)
    say(f"Harvex ended (exit code {code}).")
    return code


if __name__ == "__main__":
    sys.exit(main())
