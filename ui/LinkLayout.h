#pragma once
// Where a link's text sits inside its control, which point hits it and which colour it is drawn in.
#include <cstdint>

enum class LinkAlign { Left, Center, Right };

struct LinkRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const LinkRect&) const = default;
};

// The text block measured at the client area's top-left corner, moved sideways to where the
// static's alignment puts it. Only the horizontal position changes.
LinkRect PlaceLinkText(const LinkRect& client, const LinkRect& measured, LinkAlign align);

// Left and top edges belong to the rectangle, right and bottom do not.
bool LinkContains(const LinkRect& rect, int32_t x, int32_t y);

// Disabled links are grey whatever their state; visited ones take the visited colour.
uint32_t LinkTextColor(bool enabled, bool visited, uint32_t linkColor, uint32_t visitedColor,
                       uint32_t grayColor);
