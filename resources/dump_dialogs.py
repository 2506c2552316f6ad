#!/usr/bin/env python3
"""Lists what a compiled resource file holds, with every dialog template control by control (id,
class, style, extended style, rectangle in dialog units, text), to check the templates after an edit:

  x86_64-w64-mingw32-windres resources/harvex.rc -O res -o /tmp/harvex.res
  python3 resources/dump_dialogs.py /tmp/harvex.res
"""

import struct
import sys


def align4(offset):
    return (offset + 3) & ~3


def read_name(data, offset):
    """A resource or template field that is either 0xFFFF and a 16-bit ordinal, or a UTF-16 string."""
    if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16le"), end + 2


def resources(data):
    offset = 0
    while offset < len(data):
        size, header_size = struct.unpack_from("<II", data, offset)
        kind, p = read_name(data, offset + 8)
        name, p = read_name(data, p)
        language = struct.unpack_from("<IHH", data, align4(p))[2]
        body = data[offset + header_size:offset + header_size + size]
        if size or kind:
            yield kind, name, language, body
        offset = align4(offset + header_size + size)


def dump_dialog(body):
    version, signature, _, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", body, 0)
    if version != 1 or signature != 0xFFFF:
        print("  not a DIALOGEX template")
        return
    menu, p = read_name(body, 26)
    window_class, p = read_name(body, p)
    title, p = read_name(body, p)
    points, weight, italic, charset = struct.unpack_from("<HHBB", body, p)
    face, p = read_name(body, p + 6)
    print(f"  style {style:#010x} exstyle {exstyle:#x} rect {x},{y},{cx},{cy} caption {title!r}")
    print(f"  font {points} {face!r} weight {weight} italic {italic} charset {charset}; menu {menu!r} "
          f"class {window_class!r}; {count} controls")
    for _ in range(count):
        p = align4(p)
        _, exstyle, style, x, y, cx, cy, control_id = struct.unpack_from("<IIIhhhhI", body, p)
        control_class, p = read_name(body, p + 24)
        text, p = read_name(body, p)
        p += 2 + struct.unpack_from("<H", body, p)[0]
        print(f"    {control_id:<6} {control_class!r:<22} style {style:#010x} exstyle {exstyle:#x} "
              f"rect {x},{y},{cx},{cy} {text!r}")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    for kind, name, language, body in resources(data):
        print(f"type {kind} name {name} language {language:#06x} size {len(body)}")
        if kind == 5:
            dump_dialog(body)


if __name__ == "__main__":
    main()
