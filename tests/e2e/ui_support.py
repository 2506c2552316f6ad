"""What the user-interface tests share: pixels of screenshots, real input through xdotool, the tray
icon's place on the screen and the main dialog's resize rules worked out independently.

Python standard library only; pictures are decoded by ImageMagick's convert (into PPM).
"""

import ids
import os
import tempfile
from pathlib import Path

from harness import HarnessError, run

# --- pixels ---------------------------------------------------------------------------------


class Pixels:
    """An RGB picture: width, height and 3 bytes per pixel, rows from the top."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def at(self, x, y):
        offset = (y * self.width + x) * 3
        return tuple(self.data[offset:offset + 3])

    def all(self):
        for offset in range(0, self.width * self.height * 3, 3):
            yield tuple(self.data[offset:offset + 3])

    def count(self, predicate):
        return sum(1 for pixel in self.all() if predicate(pixel))

    def flipped(self):
        """The same picture upside down."""
        row = self.width * 3
        rows = [self.data[y * row:(y + 1) * row] for y in range(self.height)]
        return Pixels(self.width, self.height, b"".join(reversed(rows)))

    def mean_difference(self, other):
        """Mean absolute difference per colour channel, 0 to 255."""
        if (self.width, self.height) != (other.width, other.height):
            raise HarnessError(f"pictures differ in size: {self.width}x{self.height}, "
                               f"{other.width}x{other.height}")
        total = sum(abs(a - b) for a, b in zip(self.data, other.data))
        return total / max(1, len(self.data))


def read_picture(path):
    """Any picture ImageMagick reads (PNG, JPEG), as Pixels."""
    with tempfile.TemporaryDirectory(prefix="ui-pixels-") as folder:
        ppm = Path(folder) / "picture.ppm"
        run(["convert", path, "-depth", "8", "-type", "TrueColor", f"ppm:{ppm}"], timeout=30,
            what=f"convert {Path(path).name} to PPM")
        return parse_ppm(ppm.read_bytes())


def parse_ppm(data):
    """A binary PPM (P6, maximum 255) as Pixels."""
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    position += 1  # the single white-space character before the pixels
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise HarnessError(f"not an 8-bit binary PPM: {fields}")
    width, height = int(fields[1]), int(fields[2])
    return Pixels(width, height, data[position:position + width * height * 3])


def grab(display, crop, path=None):
    """The screen rectangle crop = (left, top, width, height) as Pixels; kept at path if given."""
    if path is not None:
        return read_picture(display.screenshot(path, crop=crop))
    with tempfile.TemporaryDirectory(prefix="ui-grab-") as folder:
        return read_picture(display.screenshot(Path(folder) / "grab.png", crop=crop))


def control_on_screen(window, control_rect):
    """A control's rectangle (client coordinates, as the probe gives it) on the screen."""
    return (window["client_x"] + control_rect["left"], window["client_y"] + control_rect["top"],
            control_rect["width"], control_rect["height"])


def is_reddish(pixel):
    r, g, b = pixel
    return r >= 200 and g <= 60 and b <= 60


def is_bluish(pixel):
    r, g, b = pixel
    return b >= 200 and r <= 60 and g <= 60


def is_purplish(pixel):
    """The visited colour, RGB (128, 0, 128), allowing for smoothing."""
    r, g, b = pixel
    return 100 <= r <= 160 and g <= 40 and 100 <= b <= 160


def is_blackish(pixel):
    return max(pixel) <= 40


# --- real input -----------------------------------------------------------------------------


def xdotool(display, *args):
    env = dict(os.environ)
    env["DISPLAY"] = display.name
    return run(["xdotool", *args], timeout=15, what=f"xdotool {args[0]}", env=env)


def click(display, x, y, button=1):
    """Moves the pointer to (x, y) on the screen and clicks: real X input, as a user's."""
    xdotool(display, "mousemove", int(x), int(y))
    xdotool(display, "click", button)


def find_tray_icon(display, tray_rect):
    """The rectangle (left, top, width, height) of the rightmost icon in the task bar's
    notification area, found in a screenshot of the bar: the colour of the bar's top-right
    corner is its background, and the icon is the first run of columns, from the right, that hold
    anything else. None when the area is empty."""
    top = tray_rect["top"]
    width = min(tray_rect["width"], 200)
    strip_left = tray_rect["right"] - width
    pixels = grab(display, (strip_left, top, width, tray_rect["height"]))
    background = pixels.at(pixels.width - 1, 0)
    columns = [any(pixels.at(x, y) != background for y in range(pixels.height)) for x in range(pixels.width)]
    right = next((x for x in range(pixels.width - 1, -1, -1) if columns[x]), None)
    if right is None:
        return None
    first = right
    while first > 0 and columns[first - 1]:
        first -= 1
    rows = [y for y in range(pixels.height)
            if any(pixels.at(x, y) != background for x in range(first, right + 1))]
    return (strip_left + first, top + rows[0], right - first + 1, rows[-1] - rows[0] + 1)


# --- the main dialog's resize rules ---------------------------------------------------------

RIGHT, LEFT, BOTTOM, TOP, CENTER_X, CENTER_Y = 1, 2, 4, 8, 16, 32
SCALE, MOVE = 64, 128
GROUP, LIST = ids.IDC_COPYING_OPTIONS_GROUP, ids.IDC_DRIVE_LIST

# (control, edges, kind, reference, reference edge, second reference, its edge), in the order
# they act. 0 is the dialog's client area.
MAIN_RULES = [
    (ids.IDC_COPYING_OPTIONS_GROUP, RIGHT, MOVE, 0, RIGHT, 0, 0),
    (ids.IDC_DRIVE_LIST, RIGHT, SCALE, LIST, LEFT, GROUP, RIGHT),
    (ids.IDC_DRIVE_LIST, BOTTOM, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_COPYING_OPTIONS_GROUP, LEFT, MOVE, LIST, RIGHT, 0, 0),
    (ids.IDC_COPYING_OPTIONS_GROUP, BOTTOM, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_COPY_TO_LABEL, LEFT | RIGHT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_COPY_TO_EDIT, LEFT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_COPY_TO_EDIT, RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_BROWSE, LEFT | RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_FOLDER_NAMES_LABEL, LEFT | RIGHT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_FOLDER_NAMES_COMBO, LEFT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_FOLDER_NAMES_COMBO, RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_LOG_LABEL, LEFT | RIGHT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_LOG_LEVEL_COMBO, LEFT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_LOG_LEVEL_COMBO, RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_CLEAR, LEFT | RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_LOG_EDIT, LEFT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_LOG_EDIT, RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_LOG_EDIT, BOTTOM, MOVE, GROUP, BOTTOM, 0, 0),
    (ids.IDC_PROGRESS_TEXT, TOP | BOTTOM, MOVE, GROUP, BOTTOM, 0, 0),
    (ids.IDC_PROGRESS_TEXT, LEFT | RIGHT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_PROGRESS_BAR, TOP | BOTTOM, MOVE, GROUP, BOTTOM, 0, 0),
    (ids.IDC_PROGRESS_BAR, LEFT, MOVE, GROUP, LEFT, 0, 0),
    (ids.IDC_PROGRESS_BAR, RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_STOP, TOP | BOTTOM, MOVE, GROUP, BOTTOM, 0, 0),
    (ids.IDC_STOP, LEFT | RIGHT, MOVE, GROUP, RIGHT, 0, 0),
    (ids.IDC_DONATE_LINK, CENTER_Y, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_DONATE_LINK, CENTER_X, MOVE, LIST, CENTER_X, 0, 0),
    (ids.IDC_HELP_LINK, CENTER_Y, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_HELP_LINK, CENTER_X, MOVE, LIST, CENTER_X, 0, 0),
    (ids.IDC_QUIT, CENTER_Y, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_QUIT, LEFT, MOVE, LIST, LEFT, 0, 0),
    (ids.IDC_QUIT, RIGHT, MOVE, LIST, RIGHT, 0, 0),
    (ids.IDC_OPTIONS, CENTER_Y, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_OPTIONS, LEFT, MOVE, LIST, LEFT, 0, 0),
    (ids.IDC_OPTIONS, RIGHT, MOVE, LIST, RIGHT, 0, 0),
    (ids.IDC_ABOUT, CENTER_Y, MOVE, 0, BOTTOM, 0, 0),
    (ids.IDC_ABOUT, LEFT, MOVE, LIST, LEFT, 0, 0),
    (ids.IDC_ABOUT, RIGHT, MOVE, LIST, RIGHT, 0, 0),
]

_SIDE = {LEFT: "left", RIGHT: "right", TOP: "top", BOTTOM: "bottom"}


def _truncate(numerator, denominator):
    """Integer division toward zero, as C does it."""
    quotient = abs(numerator) // abs(denominator)
    return quotient if (numerator >= 0) == (denominator >= 0) else -quotient


def _centre(rect, low, high):
    return rect[low] + _truncate(rect[high] - rect[low], 2)


def expected_layout(initial, initial_client, client, rules=MAIN_RULES):
    """Where the rules put every control for a client rectangle, worked out from the rectangles at
    template size. initial maps control ids to rectangles (dicts with left, top, right, bottom);
    initial_client and client are the client rectangles at template size and now. Gives control id
    to a dict of the four edges."""
    start = {key: edges_of(rect) for key, rect in initial.items()}
    start[0] = edges_of(initial_client)
    current = {key: dict(rect) for key, rect in start.items()}
    current[0] = edges_of(client)
    for control, edges, kind, reference, reference_edge, second, second_edge in rules:
        if edges & CENTER_X:
            edges = (edges & ~CENTER_X) | LEFT | RIGHT
        if edges & CENTER_Y:
            edges = (edges & ~CENTER_Y) | TOP | BOTTOM
        for edge in (LEFT, RIGHT, TOP, BOTTOM):
            if edges & edge:
                _apply(current[control], _SIDE[edge], kind, current, start, reference, reference_edge,
                       second, second_edge)
    current.pop(0)
    return current


def _apply(target, side, kind, current, start, reference, reference_edge, second, second_edge):
    """One step: changes one edge of one control by one rule, reading the coordinates as they are now."""
    if kind == SCALE:
        a, b = _SIDE[reference_edge], _SIDE[second_edge]
        span_now = current[second][b] - current[reference][a]
        span_then = start[second][b] - start[reference][a]
        target[side] = _truncate(span_now * target[side], span_then)
    elif reference_edge in (CENTER_X, CENTER_Y):
        low, high = ("left", "right") if reference_edge == CENTER_X else ("top", "bottom")
        target[side] += _centre(current[reference], low, high) - _centre(start[reference], low, high)
    else:
        a = _SIDE[reference_edge]
        target[side] += current[reference][a] - start[reference][a]


def rectangles(controls_result):
    """Control id to rectangle from the probe's "controls" answer."""
    return {control["id"]: control["rect"] for control in controls_result["controls"]}


def edges_of(rect):
    return {side: rect[side] for side in ("left", "top", "right", "bottom")}
