#pragma once
// Sizing and placing the About window: the picture's size in screen pixels, the outer rectangle
// that gives an exact client size, and centring inside the work area.
#include "ui/PixelRect.h"

#include <cstdint>

// a * b / c rounded to the nearest integer, halves away from zero, as the platform's MulDiv; -1
// when c is 0 or the result does not fit 32 bits.
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

// A length in 0.01 mm as pixels on a screen with the given pixels per inch (2540 per inch).
int32_t HimetricToPixels(int32_t himetric, int32_t pixelsPerInch);

// The outer rectangle, top-left corner kept, whose client area is wantedWidth x wantedHeight, given
// the present outer rectangle and client size: the frame stays as thick as it is.
PixelRect OuterRectForClient(const PixelRect& outer, int32_t clientWidth, int32_t clientHeight,
                             int32_t wantedWidth, int32_t wantedHeight);

// The window moved to be centred over another rectangle, then pushed back inside the work area on
// any side where it sticks out (the left and top edges win when it is larger than the work area).
PixelRect CentreInWorkArea(const PixelRect& window, const PixelRect& over, const PixelRect& workArea);
