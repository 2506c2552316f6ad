#pragma once
// A rectangle in pixels, laid out as the platform's RECT: right and bottom lie just outside.
#include <cstdint>

struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const PixelRect&) const = default;
};
