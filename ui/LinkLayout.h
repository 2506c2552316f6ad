#pragma once
// Where a link's text sits inside its control, which point hits it and which colour it is drawn in.
#include "ui/PixelRect.h"

#include <cstdint>

enum class LinkAlign { Left, Center, Right };

// The text block measured at the client area's top-left corner, moved sideways to where the
// static's alignment puts it. Only the horizontal position changes.
PixelRect PlaceLinkText(const PixelRect& client, const PixelRect& measured, LinkAlign align);

// Left and top edges belong to the rectangle, right and bottom do not.
bool LinkContains(const PixelRect& rect, int32_t x, int32_t y);

// Disabled links are grey whatever their state; visited ones take the visited colour.
uint32_t LinkTextColor(bool enabled, bool visited, uint32_t linkColor, uint32_t visitedColor,
                       uint32_t grayColor);
