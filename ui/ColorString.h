#pragma once
// Colours written as text, "red,green,blue" in decimal, as the browser's link colour settings
// store them.
#include <cstdint>
#include <string>

// A colour reference: red in the low byte, then green, then blue (the platform's RGB layout).
constexpr uint32_t MakeColorRef(uint32_t red, uint32_t green, uint32_t blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}

// Reads "r,g,b": the first part runs up to the first comma, the second up to the next one, the
// third is the rest. Each is read as a decimal number (leading blanks and a sign allowed, reading
// stops at the first other character, no digits read as 0, out-of-range values are clamped to 32
// bits) and only its low 8 bits count. Invalid when a comma is missing, the third part is empty, or
// the first or second part reads as -1; colorRef is then left as it was.
bool ParseColorString(const std::wstring& text, uint32_t& colorRef);
