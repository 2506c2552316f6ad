"""End-to-end harness: harvex.exe under Wine on a private X server, driven by hxprobe.exe.

One run has one Xvfb and one cached template prefix. Each test class works in a copy of the
template with its own persistent wineserver; each test starts with an empty program key in the
registry. Every external call has a time limit and says what it was doing when that limit
passes, so no step can hang the run.

Python standard library only.
"""

import atexit
import contextlib
import fcntl
import hashlib
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

import ids

ROOT = Path(__file__).resolve().parents[2]
CACHE_DIR = ROOT / "build" / "e2e-cache"
ARTIFACTS_DIR = ROOT / "tests" / "e2e" / "artifacts"

HARVEX_EXE = Path(os.environ.get("HARVEX_EXE", ROOT / "build" / "win" / "harvex.exe"))
HXPROBE_EXE = Path(os.environ.get("HXPROBE_EXE", HARVEX_EXE.parent / "hxprobe.exe"))

SETTINGS_KEY = r"SOFTWARE\Quenby\Harvex2"
PROGRAM_KEY = r"SOFTWARE\Quenby"
MAIN_TITLE = "Harvex v. 2.0"

# Bump when the way the template prefix is made changes: the cached one is then rebuilt.
TEMPLATE_RECIPE = "3"
SCREEN = "1024x768x24"
DESKTOP = "1024x740"

# Files Wine never rewrites: hard-linked into each prefix copy instead of copied (about 680 MB).
_LINKABLE_SUFFIXES = {
    ".dll", ".exe", ".sys", ".drv", ".nls", ".ocx", ".acm", ".cpl", ".tlb", ".ax", ".ds", ".com",
    ".msstyles", ".ttf", ".ttc", ".fon", ".mui", ".manifest", ".ime", ".tsp", ".vxd", ".mof",
}

WINDOWS_DIR = "C:\\e2e"


class HarnessError(Exception):
    """A step of the harness itself failed (as opposed to a check of the program)."""


class ProbeError(HarnessError):
    """hxprobe reported a failed command."""

    def __init__(self, message, results):
        super().__init__(message)
        self.results = results


def log(message):
    if os.environ.get("E2E_VERBOSE"):
        print(f"[e2e] {message}", flush=True)


def run(args, *, timeout, what, env=None, cwd=None, check=True, quiet=False):
    """Runs a command with a time limit. Output goes through files, never pipes: Wine's helper
    processes inherit the standard handles and would keep a pipe open long after the call."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        sink_out = subprocess.DEVNULL if quiet else out
        sink_err = subprocess.DEVNULL if quiet else err
        try:
            process = subprocess.Popen(
                [str(a) for a in args], stdin=subprocess.DEVNULL, stdout=sink_out, stderr=sink_err,
                env=env, cwd=cwd, start_new_session=True)
        except OSError as error:
            raise HarnessError(f"{what}: cannot start {args[0]}: {error}") from error
        try:
            code = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            _kill_group(process)
            raise HarnessError(f"{what}: no end after {timeout} s: {' '.join(map(str, args))}") from None
        out.seek(0)
        err.seek(0)
        result = subprocess.CompletedProcess(args, code, out.read().decode("utf-8", "replace"),
                                             err.read().decode("utf-8", "replace"))
    if check and code != 0:
        raise HarnessError(f"{what}: exit code {code}: {' '.join(map(str, args))}\n"
                           f"stdout: {result.stdout[-2000:]}\nstderr: {result.stderr[-2000:]}")
    return result


def _kill_group(process):
    with contextlib.suppress(ProcessLookupError, PermissionError):
        os.killpg(process.pid, signal.SIGKILL)
    with contextlib.suppress(subprocess.TimeoutExpired):
        process.wait(timeout=5)


def wait_until(condition, *, timeout, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError(f"{what}: not reached within {timeout} s")
        time.sleep(interval)


# --- X server -------------------------------------------------------------------------------

class Display:
    """A private Xvfb on a display number nobody uses."""

    def __init__(self):
        self.process = None
        self.number = None
        self.log_path = None

    @property
    def name(self):
        return f":{self.number}"

    def start(self):
        CACHE_DIR.mkdir(parents=True, exist_ok=True)
        for number in random.sample(range(200, 900), 20):
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            if self._try_start(number):
                log(f"Xvfb on :{number}")
                return
        raise HarnessError("Xvfb: no free display number found")

    def _try_start(self, number):
        self.log_path = CACHE_DIR / f"xvfb-{os.getpid()}.log"
        with open(self.log_path, "wb") as sink:
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", SCREEN, "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT, start_new_session=True)
        socket = Path(f"/tmp/.X11-unix/X{number}")
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if process.poll() is not None:
                return False  # someone else took the number first
            if socket.exists():
                self.process, self.number = process, number
                return True
            time.sleep(0.05)
        _kill_group(process)
        raise HarnessError(f"Xvfb :{number} did not open its socket within 15 s; see {self.log_path}")

    def stop(self):
        if self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                _kill_group(self.process)
            self.process = None
        if self.log_path is not None:
            with contextlib.suppress(OSError):
                self.log_path.unlink()

    def screenshot(self, path, crop=None):
        """Saves the whole screen, or the rectangle crop = (left, top, width, height)."""
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        args = ["import", "-display", self.name, "-window", "root"]
        if crop is not None:
            left, top, width, height = crop
            args += ["-crop", f"{width}x{height}+{left}+{top}", "+repage"]
        run(args + [path], timeout=30, what="screenshot")
        return path


# --- Wine -----------------------------------------------------------------------------------

def base_wine_env(display=None):
    env = dict(os.environ)
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env.pop("WINEPREFIX", None)
    env.pop("WINESERVER", None)
    if display is not None:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def wine_version():
    return run(["wine", "--version"], timeout=30, what="wine --version",
               env=base_wine_env()).stdout.strip()


class PrefixTemplate:
    """A Wine prefix made once with wineboot -i and kept under build/e2e-cache.

    Set for tests: a virtual desktop of 1024x740 (fast tray icon removal, FindWindow across
    processes) and no Z: drive, so the only drive at start is C: and every other letter is one a
    test defines."""

    def __init__(self):
        self.path = CACHE_DIR / "prefix-template"
        self.stamp = self.path / ".e2e-template"

    def expected_stamp(self):
        return f"recipe {TEMPLATE_RECIPE}, {wine_version()}\n"

    def ensure(self):
        CACHE_DIR.mkdir(parents=True, exist_ok=True)
        with open(CACHE_DIR / "template.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            expected = self.expected_stamp()
            if self.stamp.exists() and self.stamp.read_text() == expected and not self._changed_since_made():
                return
            log("making the template prefix (once)")
            shutil.rmtree(self.path, ignore_errors=True)
            building = Path(tempfile.mkdtemp(prefix="prefix-building-", dir=CACHE_DIR))
            try:
                self._make(building)
                (building / ".e2e-template").write_text(expected)
                building.rename(self.path)
            finally:
                shutil.rmtree(building, ignore_errors=True)

    def _changed_since_made(self):
        """Copies share the large files with the template through hard links; a file written in
        place through a copy would show here as newer than the template's stamp."""
        made = self.stamp.stat().st_mtime
        for current, _, files in os.walk(self.path):
            for name in files:
                if os.lstat(os.path.join(current, name)).st_mtime > made + 1:
                    log(f"template file changed since it was made: {os.path.join(current, name)}")
                    return True
        return False

    @staticmethod
    def _make(path):
        env = base_wine_env()
        env["WINEPREFIX"] = str(path)
        try:
            run(["wineboot", "-i"], timeout=180, what="wineboot -i (template)", env=env, quiet=True)
            for key, name, value in ((r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
                                     (r"HKCU\Software\Wine\Explorer\Desktops", "Default", DESKTOP)):
                run(["wine", "reg", "add", key, "/v", name, "/d", value, "/f"], timeout=60,
                    what="reg add (template)", env=env, quiet=True)
            # The server writes the registry files when it ends.
            run(["wineserver", "-w"], timeout=60, what="wineserver -w (template)", env=env)
        finally:
            run(["wineserver", "-k"], timeout=30, what="wineserver -k (template)", env=env, check=False)
        with contextlib.suppress(FileNotFoundError):
            (path / "dosdevices" / "z:").unlink()
        if not (path / "user.reg").exists() or "1024x740" not in (path / "user.reg").read_text("latin-1"):
            raise HarnessError(f"template prefix {path}: the desktop settings were not saved")


def copy_prefix(template, target):
    """Copies a prefix: small and changing files for real, the large binaries as hard links."""
    def copy(source, destination):
        if Path(source).suffix.lower() in _LINKABLE_SUFFIXES:
            try:
                os.link(source, destination)
                return destination
            except OSError:
                pass
        return shutil.copy2(source, destination)

    shutil.copytree(template, target, symlinks=True, copy_function=copy)


class WinePrefix:
    """A copy of the template with its own warm persistent wineserver."""

    def __init__(self, session, name):
        self.session = session
        self.name = name
        self.root = None
        self.path = None
        self.running = False
        self.mapped_letters = set()
        self.apps = []

    @property
    def drive_c(self):
        return self.path / "drive_c"

    @property
    def work_dir(self):
        """Scratch space for a test's files outside the prefix (volume folders and the like)."""
        return self.root / "work"

    def env(self):
        env = base_wine_env(self.session.display.name)
        env["WINEPREFIX"] = str(self.path)
        return env

    def start(self):
        runs = CACHE_DIR / "runs"
        runs.mkdir(parents=True, exist_ok=True)
        self.root = Path(tempfile.mkdtemp(prefix=f"{self.name}-", dir=runs))
        self.path = self.root / "prefix"
        copy_prefix(self.session.template.path, self.path)
        self.work_dir.mkdir()
        self.install_programs()
        self.session.prefixes.append(self)
        env = self.env()
        run(["wineserver", "-p"], timeout=30, what="wineserver -p", env=env)
        self.running = True
        # The first wine call starts the helper processes (services, explorer, winedevice); they keep
        # its standard handles, so it gets /dev/null, and only later calls are captured.
        run(["wine", "wineboot"], timeout=120, what="wine warm-up", env=env, cwd=self.drive_c, quiet=True)
        log(f"prefix {self.path} ready")

    def install_programs(self):
        target = self.drive_c / "e2e"
        target.mkdir(parents=True, exist_ok=True)
        for exe in (HARVEX_EXE, HXPROBE_EXE):
            if exe.exists():
                shutil.copy2(exe, target / exe.name)

    def stop(self, wait=False):
        """Ends the prefix's server and every process in it, then removes the copy. Ending a server
        takes most of a second, so by default that happens on a thread of its own while the tests
        go on; the session waits for it at the end of the run."""
        if self in self.session.prefixes:
            self.session.prefixes.remove(self)
        was_running, self.running = self.running, False
        env, root = self.env() if self.path else None, self.root

        def end():
            if was_running:
                run(["wineserver", "-k"], timeout=30, what="wineserver -k", env=env, check=False)
            if root is not None and not os.environ.get("E2E_KEEP"):
                shutil.rmtree(root, ignore_errors=True)

        if wait:
            end()
            return
        worker = threading.Thread(target=end, name=f"stop {self.name}", daemon=True)
        worker.start()
        self.session.stopping.append(worker)

    def wine(self, args, *, timeout=60, what=None, check=True):
        return run(["wine", *args], timeout=timeout, what=what or f"wine {args[0]}", env=self.env(),
                   cwd=self.drive_c, check=check)

    # --- hxprobe ---

    def probe(self, *commands, timeout=60, check=True):
        """Runs hxprobe once with several commands, each a list [name, args...]; gives one dict per
        command that ran. With check, a failed command raises ProbeError."""
        argv = []
        for command in commands:
            if argv:
                argv.append(";")
            argv += [_probe_word(word) for word in command]
        what = f"hxprobe {' '.join(c[0] for c in commands)}"
        result = run(["wine", f"{WINDOWS_DIR}\\hxprobe.exe", *argv], timeout=timeout, what=what,
                     env=self.env(), cwd=self.drive_c, check=False)
        results = []
        for line in result.stdout.splitlines():
            line = line.strip()
            if line.startswith("{"):
                results.append(json.loads(line))
        if check and (result.returncode != 0 or len(results) != len(commands)):
            failed = next((r for r in results if not r.get("ok")), None)
            reason = failed["error"] if failed else f"exit code {result.returncode}, {len(results)} results"
            command = failed["cmd"] if failed else commands[len(results)][0] if len(results) < len(commands) else "?"
            raise ProbeError(f"hxprobe {command}: {reason}\n{result.stdout[-3000:]}{result.stderr[-1000:]}",
                             results)
        return results

    def probe1(self, *command, timeout=60, check=True):
        """One probe command; gives its dict."""
        results = self.probe(list(command), timeout=timeout, check=check)
        return results[0] if results else {"ok": False, "error": "no output"}

    # --- registry ---

    def reg_value(self, key, name):
        """A value of HKCU\\key as a dict with type, size, hex (and dword/string), or None."""
        value = self.probe1("reg-get", key, name)
        return value if value.get("exists") else None

    def reg_key(self, key):
        """HKCU\\key as a dict with class, values and subkeys, or None when it does not exist."""
        info = self.probe1("reg-get", key)
        return info if info.get("exists") else None

    def reg_set(self, key, name, kind, data):
        """kind: sz, expand_sz, dword, qword, binary (hex data) or raw:TYPE (hex data)."""
        self.probe1("reg-set", key, name, kind, data)

    def reg_delete(self, key, name=None):
        self.probe1("reg-delete", key, *([name] if name is not None else []))

    # --- drive letters ---

    def map_drive(self, letter, drive_type, folder):
        """Defines letter: for a Unix folder now; drive_type 2 removable, 3 fixed, 5 CD-ROM."""
        self.mapped_letters.add(letter.upper())
        return self.probe1("map", letter, drive_type, str(folder))

    def unmap_drive(self, letter):
        self.mapped_letters.discard(letter.upper())
        return self.probe1("unmap", letter, "if-present")

    def unmap_all(self):
        if self.mapped_letters:
            self.probe(*[["unmap", letter, "if-present"] for letter in sorted(self.mapped_letters)])
            self.mapped_letters.clear()

    def windows_path(self, path):
        """The C: path of a file or folder inside this prefix's drive_c."""
        relative = Path(path).resolve().relative_to(self.drive_c.resolve())
        return "C:\\" + "\\".join(relative.parts)

    def unix_path(self, windows_path):
        """The Unix path of a C: path."""
        if not windows_path[:3].upper() == "C:\\":
            raise HarnessError(f"not a C: path: {windows_path}")
        return self.drive_c.joinpath(*[p for p in windows_path[3:].split("\\") if p])


def _probe_word(word):
    """Texts that might not survive Wine's command line (non-ASCII, empty, quotes) go hex-encoded."""
    text = str(word)
    if text == "" or not text.isascii() or not text.isprintable() or '"' in text or text.startswith("hex:"):
        return "hex:" + text.encode("utf-8").hex()
    return text


# --- the program ----------------------------------------------------------------------------

class Harvex:
    """harvex.exe running in a prefix, started in the background with its output in files."""

    def __init__(self, prefix, name="harvex"):
        self.prefix = prefix
        self.process = None
        self.hwnd = None
        self.pid = None
        self.known = set()
        self.stdout_path = prefix.root / f"{name}.stdout"
        self.stderr_path = prefix.root / f"{name}.stderr"

    def start(self, wait=True, timeout=20, args=(), exe=None):
        """Starts harvex.exe (or exe, a C: path) with args. With wait, returns once the dialog has
        finished its start: shown, or hidden when "/tray" is among args."""
        if not (self.prefix.drive_c / "e2e" / "harvex.exe").exists():
            raise HarnessError(f"missing {HARVEX_EXE} (cross-build the harvex target)")
        # Dialogs of instances already running in this prefix are not this one's.
        self.known = {app.hwnd for app in self.prefix.apps if app.is_running() and app.hwnd}
        self.prefix.apps.append(self)
        with open(self.stdout_path, "ab") as out, open(self.stderr_path, "ab") as err:
            self.process = subprocess.Popen(
                ["wine", exe or f"{WINDOWS_DIR}\\harvex.exe", *args], stdin=subprocess.DEVNULL, stdout=out,
                stderr=err, env=self.prefix.env(), cwd=self.prefix.drive_c, start_new_session=True)
        if wait:
            self.wait_for_window(timeout, visible="/tray" not in args)
        return self

    def wait_for_window(self, timeout=20, visible=True):
        """Waits until this process's main dialog exists (and is shown, with visible) and has
        finished its initialisation, whose last step writes "Ready." into the progress text."""
        deadline = time.monotonic() + timeout
        while True:
            if self.process.poll() is not None:
                raise HarnessError(f"harvex.exe ended with code {self.process.returncode} before its dialog "
                                   f"appeared; stderr: {self.stderr_tail()}")
            found = self.prefix.probe1("wait-window", 500, f"count={len(self.known) + 1}",
                                       *(["visible"] if visible else []), check=False)
            fresh = [w for w in found.get("windows", []) if w["hwnd"] not in self.known]
            if found.get("ok") and fresh:
                self.hwnd, self.pid = fresh[0]["hwnd"], fresh[0]["pid"]
                break
            if time.monotonic() >= deadline:
                raise HarnessError(f"harvex.exe: no dialog \"{MAIN_TITLE}\" within {timeout} s")
        # Wine's modal loop shows the dialog once more when its queue first runs empty; a hide
        # request that came before that would be undone, so wait for that moment too.
        while True:
            ready = self.probe(["wait-text", ids.IDC_PROGRESS_TEXT, "equals", "Ready.", 500], ["sync", 2], check=False)
            if len(ready) == 2 and all(r.get("ok") for r in ready):
                return fresh[0]
            if time.monotonic() >= deadline:
                raise HarnessError(f"harvex.exe: the dialog did not finish its start within {timeout} s: {ready}")

    def target(self):
        """The probe command that points later commands at this instance's dialog."""
        return ["target", "hwnd", self.hwnd] if self.hwnd else ["target", "main"]

    def probe(self, *commands, timeout=60, check=True):
        """Probe commands aimed at this instance's dialog; gives their results (without the target's)."""
        return self.prefix.probe(self.target(), *commands, timeout=timeout, check=check)[1:]

    def probe1(self, *command, timeout=60, check=True):
        results = self.probe(list(command), timeout=timeout, check=check)
        return results[0] if results else {"ok": False, "error": "no output"}

    def is_running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"harvex.exe did not end within {timeout} s") from None

    def quit(self, timeout=20):
        """Presses "Quit" and gives the exit code."""
        self.probe1("click", ids.IDC_QUIT)
        return self.wait_exit(timeout)

    def kill(self):
        if self.is_running():
            _kill_group(self.process)

    def stderr_tail(self):
        with contextlib.suppress(OSError):
            return self.stderr_path.read_text("utf-8", "replace")[-2000:]
        return ""

    # --- shortcuts ---

    def text(self, control_id):
        return self.probe1("gettext", control_id)["text"]

    def combo(self, control_id):
        return self.probe1("combo", control_id)

    def window(self):
        return self.probe1("window")

    def rows(self, control_id=ids.IDC_DRIVE_LIST):
        return self.probe1("lv", control_id)["rows"]

    def screenshot(self, name):
        """Keeps a picture of the whole screen and one of the dialog under tests/e2e/artifacts."""
        display = self.prefix.session.display
        whole = display.screenshot(ARTIFACTS_DIR / f"{name}-screen.png")
        info = self.window()
        rect = info["rect"]
        left, top = max(rect["left"], 0), max(rect["top"], 0)
        crop = (left, top, rect["width"], rect["height"])
        dialog = display.screenshot(ARTIFACTS_DIR / f"{name}.png", crop=crop)
        return whole, dialog


# --- trees of files -------------------------------------------------------------------------

def pattern_bytes(size, seed):
    """Deterministic content of a given size that differs from file to file."""
    block = hashlib.sha256(seed.encode()).digest() * 128  # 4 KiB
    return (block * (size // len(block) + 1))[:size]


def make_tree(root, entries):
    """Creates files and folders under root. entries maps relative paths ('a/b.txt') to bytes,
    str (UTF-8), an int (that many pattern bytes) or None (an empty folder)."""
    root = Path(root)
    root.mkdir(parents=True, exist_ok=True)
    for relative, content in entries.items():
        path = root / relative
        if content is None:
            path.mkdir(parents=True, exist_ok=True)
            continue
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, int):
            content = pattern_bytes(content, relative)
        elif isinstance(content, str):
            content = content.encode("utf-8")
        path.write_bytes(content)
    return root


def tree_listing(root, ignore=()):
    """Relative path -> ('dir', None, None) or ('file', size, sha256) for everything under root."""
    root = Path(root)
    listing = {}
    for current, dirs, files in os.walk(root):
        for name in dirs + files:
            path = Path(current) / name
            relative = path.relative_to(root).as_posix()
            if any(part in ignore for part in Path(relative).parts):
                continue
            if path.is_dir() and not path.is_symlink():
                listing[relative] = ("dir", None, None)
            else:
                data = path.read_bytes()
                listing[relative] = ("file", len(data), hashlib.sha256(data).hexdigest())
    return listing


def compare_trees(expected_root, actual_root, ignore=(".windows-label", ".windows-serial")):
    """Every difference between two trees, one line each; empty when they hold the same."""
    expected = tree_listing(expected_root, ignore)
    actual = tree_listing(actual_root, ignore)
    differences = []
    for path in sorted(expected.keys() | actual.keys()):
        want, have = expected.get(path), actual.get(path)
        if have is None:
            differences.append(f"missing: {path}")
        elif want is None:
            differences.append(f"extra: {path}")
        elif want[0] != have[0]:
            differences.append(f"kind differs: {path} is a {have[0]}, expected a {want[0]}")
        elif want[1] != have[1]:
            differences.append(f"size differs: {path} has {have[1]} bytes, expected {want[1]}")
        elif want[2] != have[2]:
            differences.append(f"content differs: {path}")
    return differences


class Volume:
    """A folder that a test offers as a drive: the label file is written before the letter is
    defined, because Wine reads it then."""

    def __init__(self, prefix, letter, drive_type, label=None, entries=None, name=None):
        self.prefix = prefix
        self.letter = letter.upper()
        self.drive_type = drive_type
        self.folder = prefix.work_dir / (name or f"volume-{self.letter}")
        self.folder.mkdir(parents=True, exist_ok=True)
        if label is not None:
            (self.folder / ".windows-label").write_text(label, encoding="utf-8")
        if entries:
            make_tree(self.folder, entries)

    @property
    def mask(self):
        return 1 << (ord(self.letter) - ord("A"))

    def insert(self):
        """Defines the letter (no notification is sent)."""
        return self.prefix.map_drive(self.letter, self.drive_type, self.folder)

    def remove(self):
        return self.prefix.unmap_drive(self.letter)


# --- the run --------------------------------------------------------------------------------

class Session:
    """What one run shares: the X server and the template prefix. Made on first use."""

    _current = None

    def __init__(self):
        self.display = Display()
        self.template = PrefixTemplate()
        self.prefixes = []
        self.stopping = []

    @classmethod
    def get(cls):
        if cls._current is None:
            check_programs()
            session = cls()
            cls._current = session
            atexit.register(session.close)
            session.template.ensure()
            session.display.start()
        return cls._current

    @classmethod
    def shutdown(cls):
        if cls._current is not None:
            cls._current.close()
            cls._current = None

    def close(self):
        for prefix in list(self.prefixes):
            with contextlib.suppress(Exception):
                prefix.stop(wait=True)
        for worker in self.stopping:
            worker.join(timeout=40)
        self.stopping.clear()
        self.display.stop()


def check_programs():
    if not HXPROBE_EXE.exists():
        raise HarnessError(f"missing {HXPROBE_EXE} (cross-build the hxprobe target)")
    for tool in ("wine", "wineserver", "Xvfb", "import"):
        if shutil.which(tool) is None:
            raise HarnessError(f"{tool} is not installed (scripts/deps.sh installs it)")
    # Without it, about one Wine process in several thousand ends at its start with exit code 1.
    if not Path("/usr/lib/wine/wine64-preloader").exists():
        raise HarnessError("wine64-preloader is not installed (scripts/deps.sh installs it)")


class HarvexTestCase(unittest.TestCase):
    """Each test class gets its own prefix; each test starts with no program key in the registry,
    no drive letters of earlier tests and no running harvex.exe."""

    prefix = None

    @classmethod
    def setUpClass(cls):
        session = Session.get()
        cls.prefix = WinePrefix(session, cls.__name__)
        try:
            cls.prefix.start()
        except BaseException:
            cls.prefix.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.prefix is not None:
            cls.prefix.stop()
            cls.prefix = None

    def setUp(self):
        self.apps = []
        self.prefix.reg_delete(PROGRAM_KEY)

    def tearDown(self):
        if self._has_failed():
            self._keep_evidence(f"failed-{self.id().split('.')[-2]}-{self._testMethodName}")
        for app in self.apps:
            app.kill()
        self.prefix.apps.clear()
        with contextlib.suppress(Exception):
            self.prefix.unmap_all()

    def _keep_evidence(self, name):
        """A failed test's screen, and how each of its instances stands: a dialog that is gone is
        told apart from a process that ended, and an end from a crash (its exit code and stderr)."""
        with contextlib.suppress(Exception):
            self.prefix.session.display.screenshot(ARTIFACTS_DIR / f"{name}-screen.png")
        for app in self.apps:
            if app.process is None:
                continue
            if app.is_running():
                state = "still running"
                if app.hwnd:
                    with contextlib.suppress(Exception):
                        app.screenshot(name)
            else:
                state = f"ended with exit code {app.process.returncode:#x}"
            print(f"[{name}] {app.stdout_path.stem}: {state}; stderr: {app.stderr_tail()[-600:]!r}",
                  file=sys.stderr)

    def _has_failed(self):
        # Python 3.11 records a failure in the result at once and leaves the outcome's success set.
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        if not getattr(outcome, "success", True):
            return True
        result = getattr(outcome, "result", None)
        reported = getattr(result, "errors", []) + getattr(result, "failures", [])
        return any(test is self for test, _ in reported)

    def start_harvex(self, wait=True, name=None, args=(), exe=None):
        app = Harvex(self.prefix, name or f"harvex-{len(self.apps)}")
        self.apps.append(app)
        return app.start(wait=wait, args=args, exe=exe)

    def volume(self, letter, drive_type, label=None, entries=None):
        return Volume(self.prefix, letter, drive_type, label, entries)
