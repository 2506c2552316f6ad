#include "app/WorkArea.h"

int ClampXToWorkArea(int x, bool pointOnSomeMonitor, const std::optional<ScreenRect>& nearestWorkArea) {
    if (pointOnSomeMonitor || !nearestWorkArea)
        return x;
    if (x < nearestWorkArea->left)
        return nearestWorkArea->left;
    if (x > nearestWorkArea->right)
        return nearestWorkArea->right;
    return x;
}
