#include "ui/LinkLayout.h"

namespace {

int32_t Width(const PixelRect& rect) {
    return static_cast<int32_t>(int64_t{rect.right} - rect.left);
}

} // namespace

PixelRect PlaceLinkText(const PixelRect& client, const PixelRect& measured, LinkAlign align) {
    int64_t spare = int64_t{Width(client)} - Width(measured);
    int64_t offset = 0;
    if (align == LinkAlign::Center)
        offset = spare / 2;
    else if (align == LinkAlign::Right)
        offset = spare;
    PixelRect placed = measured;
    placed.left = static_cast<int32_t>(measured.left + offset);
    placed.right = static_cast<int32_t>(measured.right + offset);
    return placed;
}

bool LinkContains(const PixelRect& rect, int32_t x, int32_t y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

uint32_t LinkTextColor(bool enabled, bool visited, uint32_t linkColor, uint32_t visitedColor,
                       uint32_t grayColor) {
    if (!enabled)
        return grayColor;
    return visited ? visitedColor : linkColor;
}
