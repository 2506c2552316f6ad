#include "ui/LinkLayout.h"

#include <gtest/gtest.h>

namespace {

constexpr PixelRect kClient{0, 0, 138, 13};

TEST(LinkLayout, CentredTextSitsInTheMiddleOfTheControl) {
    PixelRect placed = PlaceLinkText(kClient, {0, 0, 71, 13}, LinkAlign::Center);
    EXPECT_EQ(placed, (PixelRect{33, 0, 104, 13})); // (138 - 71) / 2 = 33, truncated
}

TEST(LinkLayout, RightAlignedTextEndsAtTheRightEdge) {
    EXPECT_EQ(PlaceLinkText(kClient, {0, 0, 71, 26}, LinkAlign::Right), (PixelRect{67, 0, 138, 26}));
}

TEST(LinkLayout, LeftAlignedTextStaysWhereItWasMeasured) {
    EXPECT_EQ(PlaceLinkText(kClient, {0, 0, 71, 13}, LinkAlign::Left), (PixelRect{0, 0, 71, 13}));
}

TEST(LinkLayout, TextWiderThanTheControlOverhangsBothSidesWhenCentred) {
    EXPECT_EQ(PlaceLinkText({0, 0, 40, 13}, {0, 0, 61, 13}, LinkAlign::Center), (PixelRect{-10, 0, 51, 13}));
}

TEST(LinkLayout, HitTestIncludesLeftAndTopOnly) {
    PixelRect text{33, 0, 104, 13};
    EXPECT_TRUE(LinkContains(text, 33, 0));
    EXPECT_TRUE(LinkContains(text, 103, 12));
    EXPECT_FALSE(LinkContains(text, 104, 5));
    EXPECT_FALSE(LinkContains(text, 50, 13));
    EXPECT_FALSE(LinkContains(text, 32, 5)); // on the control but beside the text
}

TEST(LinkLayout, DisabledBeatsVisitedBeatsUnvisited) {
    const uint32_t link = 1, visited = 2, gray = 3;
    EXPECT_EQ(LinkTextColor(true, false, link, visited, gray), link);
    EXPECT_EQ(LinkTextColor(true, true, link, visited, gray), visited);
    EXPECT_EQ(LinkTextColor(false, true, link, visited, gray), gray);
    EXPECT_EQ(LinkTextColor(false, false, link, visited, gray), gray);
}

} // namespace
