#!/usr/bin/env python3
"""Packs the Windows release zip: harvex.exe, README.txt (docs/user-guide.md as plain text),
LICENSE.txt and SHA256SUMS. Same inputs, same bytes: fixed entry order, dates and attributes.

    release_zip.py --exe build/win/harvex.exe --version 2.0 --epoch SECONDS --out dist

Prints the zip's path and SHA-256. Python standard library only.
"""

import argparse
import hashlib
import re
import sys
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def guide_as_text(markdown):
    """The user guide for Notepad: no markup, pictures named by their caption, CRLF line ends."""
    lines = []
    for line in markdown.splitlines():
        picture = re.fullmatch(r"\s*!\[([^\]]*)\]\([^)]*\)\s*", line)
        if picture:
            lines.append(f"[Picture: {picture.group(1)}]")
            continue
        heading = re.fullmatch(r"(#+)\s+(.*)", line)
        if heading:
            text = heading.group(2)
            lines.append(text)
            if len(heading.group(1)) <= 2:
                lines.append(("=" if len(heading.group(1)) == 1 else "-") * len(text))
            continue
        line = re.sub(r"\[([^\]]+)\]\((https?://[^)]+)\)", r"\1 (\2)", line)
        line = re.sub(r"\[([^\]]+)\]\([^)]*\)", r"\1", line)
        line = line.replace("**", "").replace("`", "")
        lines.append(line.rstrip())
    return "\r\n".join(lines).strip() + "\r\n"


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def entry(name, epoch):
    # Zip dates are local-free fields from 1980 on; the epoch is read as UTC so the place of the
    # build does not matter.
    date = time.gmtime(max(epoch, 315532800))[:6]
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # MS-DOS attributes, as a zip made on Windows
    info.external_attr = 0x20  # archive bit only
    return info


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", required=True, type=Path)
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int)
    parser.add_argument("--out", required=True, type=Path)
    options = parser.parse_args()

    files = {
        "harvex.exe": options.exe.read_bytes(),
        "README.txt": guide_as_text((ROOT / "docs" / "user-guide.md").read_text(encoding="utf-8")).encode("utf-8"),
        "LICENSE.txt": crlf((ROOT / "LICENSE").read_text(encoding="utf-8")).encode("utf-8"),
    }
    sums = [f"# Harvex {options.version} for Windows (64-bit). Check with: sha256sum -c SHA256SUMS"]
    sums += [f"{sha256(data)}  {name}" for name, data in files.items()]
    files["SHA256SUMS"] = ("\n".join(sums) + "\n").encode("ascii")

    options.out.mkdir(parents=True, exist_ok=True)
    target = options.out / f"harvex-{options.version}-win64.zip"
    partial = target.with_suffix(".zip.part")
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data in files.items():
            archive.writestr(entry(name, options.epoch), data, compresslevel=9)
    partial.replace(target)
    print(f"{target}")
    print(f"SHA-256 {sha256(target.read_bytes())}  {target.name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
