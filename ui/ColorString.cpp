#include "ui/ColorString.h"

#include <string_view>

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// A decimal number as the C library's wcstol reads it with a 32-bit long: blanks, an optional sign,
// digits; the value is clamped instead of overflowing.
int32_t ReadDecimal(std::wstring_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - L'0');
        if (magnitude > kLimit)
            magnitude = kLimit; // stays within range however many digits follow
    }
    if (negative)
        return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(magnitude > INT32_MAX ? int64_t{INT32_MAX} : magnitude);
}

} // namespace

bool ParseColorString(const std::wstring& text, uint32_t& colorRef) {
    std::wstring_view all(text);
    size_t firstComma = all.find(L',');
    if (firstComma == std::wstring_view::npos)
        return false;
    size_t secondComma = all.find(L',', firstComma + 1);
    if (secondComma == std::wstring_view::npos)
        return false;
    std::wstring_view third = all.substr(secondComma + 1);
    if (third.empty())
        return false;
    int32_t red = ReadDecimal(all.substr(0, firstComma));
    int32_t green = ReadDecimal(all.substr(firstComma + 1, secondComma - firstComma - 1));
    if (red == -1 || green == -1)
        return false;
    int32_t blue = ReadDecimal(third);
    colorRef =
        MakeColorRef(static_cast<uint32_t>(red), static_cast<uint32_t>(green), static_cast<uint32_t>(blue));
    return true;
}
