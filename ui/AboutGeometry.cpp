#include "ui/AboutGeometry.h"

namespace {

constexpr int32_t kHimetricPerInch = 2540;

int32_t Clamp32(int64_t value) {
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The start of a span of the given length centred on another span, then kept inside the area.
int64_t PlaceSpan(int64_t length, int64_t overStart, int64_t overEnd, int64_t areaStart, int64_t areaEnd) {
    int64_t start = (overStart + overEnd) / 2 - length / 2;
    if (start < areaStart)
        return areaStart;
    if (start + length > areaEnd)
        return areaEnd - length < areaStart ? areaStart : areaEnd - length;
    return start;
}

} // namespace

int32_t MulDivRound(int32_t a, int32_t b, int32_t c) {
    if (c == 0)
        return -1;
    int64_t product = int64_t{a} * b;
    int64_t divisor = c;
    bool negative = (product < 0) != (divisor < 0);
    uint64_t magnitude = product < 0 ? 0 - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
    uint64_t by = divisor < 0 ? static_cast<uint64_t>(-divisor) : static_cast<uint64_t>(divisor);
    uint64_t rounded = (magnitude + by / 2) / by;
    if (rounded > (negative ? uint64_t{1} << 31 : uint64_t{INT32_MAX}))
        return -1;
    return negative ? static_cast<int32_t>(0 - static_cast<int64_t>(rounded)) : static_cast<int32_t>(rounded);
}

int32_t HimetricToPixels(int32_t himetric, int32_t pixelsPerInch) {
    return MulDivRound(pixelsPerInch, himetric, kHimetricPerInch);
}

PixelRect OuterRectForClient(const PixelRect& outer, int32_t clientWidth, int32_t clientHeight,
                             int32_t wantedWidth, int32_t wantedHeight) {
    PixelRect result = outer;
    result.right = Clamp32(int64_t{outer.right} + wantedWidth - clientWidth);
    result.bottom = Clamp32(int64_t{outer.bottom} + wantedHeight - clientHeight);
    return result;
}

PixelRect CentreInWorkArea(const PixelRect& window, const PixelRect& over, const PixelRect& workArea) {
    int64_t width = int64_t{window.right} - window.left;
    int64_t height = int64_t{window.bottom} - window.top;
    int64_t left = PlaceSpan(width, over.left, over.right, workArea.left, workArea.right);
    int64_t top = PlaceSpan(height, over.top, over.bottom, workArea.top, workArea.bottom);
    return {Clamp32(left), Clamp32(top), Clamp32(left + width), Clamp32(top + height)};
}
