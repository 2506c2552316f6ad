#pragma once
// Where the tray menu may open: its x is kept inside the work area of the nearest monitor when the
// cursor lies on no monitor at all; y is never changed.
#include <optional>

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

int ClampXToWorkArea(int x, bool pointOnSomeMonitor, const std::optional<ScreenRect>& nearestWorkArea);
