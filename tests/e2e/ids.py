"""The program's resource, control and command ids, read from resources/resource.h so that the
tests and the program share one source: `ids.IDC_LOG_EDIT`, `ids.IDD_OPTIONS`, ..."""
import re
from pathlib import Path

_HEADER = Path(__file__).resolve().parents[2] / "resources" / "resource.h"
_DEFINE = re.compile(r"^#define\s+(ID[A-Z_0-9]*)\s+(\d+)\b", re.MULTILINE)

globals().update({name: int(value) for name, value in _DEFINE.findall(_HEADER.read_text())})

# The dialog's standard buttons, which resource.h takes from the system headers.
IDOK = 1
IDCANCEL = 2
