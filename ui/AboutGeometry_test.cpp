#include "ui/AboutGeometry.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutGeometry, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDivRound(1, 5, 2), 3);
    EXPECT_EQ(MulDivRound(-1, 5, 2), -3);
    EXPECT_EQ(MulDivRound(1, 5, -2), -3);
    EXPECT_EQ(MulDivRound(7, 1, 3), 2);
    EXPECT_EQ(MulDivRound(8, 1, 3), 3);
}

TEST(AboutGeometry, MulDivFailsOnZeroDivisorAndOverflow) {
    EXPECT_EQ(MulDivRound(5, 5, 0), -1);
    EXPECT_EQ(MulDivRound(INT32_MAX, 2, 1), -1);
    EXPECT_EQ(MulDivRound(INT32_MIN, 1, 1), INT32_MIN);
    EXPECT_EQ(MulDivRound(INT32_MIN, -1, 1), -1);
    EXPECT_EQ(MulDivRound(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);
}

TEST(AboutGeometry, PictureOf400By230PixelsAt72DpiComesBackAtItsSizeOn96Dpi) {
    // The picture object reports 400 px at 72 dpi as 400 * 2540 / 72 = 14111 (0.01 mm).
    int32_t himetricWidth = MulDivRound(400, 2540, 72);
    int32_t himetricHeight = MulDivRound(230, 2540, 72);
    EXPECT_EQ(HimetricToPixels(himetricWidth, 96), 533);
    EXPECT_EQ(HimetricToPixels(himetricHeight, 96), 307);
    EXPECT_EQ(HimetricToPixels(himetricWidth, 72), 400);
    EXPECT_EQ(HimetricToPixels(himetricHeight, 72), 230);
    EXPECT_EQ(HimetricToPixels(2540, 120), 120);
}

TEST(AboutGeometry, OuterRectangleKeepsTheFrameAndTopLeftCorner) {
    // A tool window frame: 3 px sides, 3 px bottom, 19 px caption and top.
    PixelRect outer{100, 50, 338, 142};
    PixelRect resized = OuterRectForClient(outer, 232, 70, 400, 230);
    EXPECT_EQ(resized, (PixelRect{100, 50, 506, 302}));
    EXPECT_EQ((resized.right - resized.left) - (outer.right - outer.left), 400 - 232);
}

TEST(AboutGeometry, CentredOverTheParentWhenItFits) {
    PixelRect placed = CentreInWorkArea({0, 0, 406, 252}, {200, 100, 700, 400}, {0, 0, 1024, 740});
    EXPECT_EQ(placed, (PixelRect{247, 124, 653, 376}));
}

TEST(AboutGeometry, PushedBackInsideTheWorkAreaOnTheSideItSticksOut) {
    PixelRect window{0, 0, 406, 252};
    PixelRect workArea{0, 0, 1024, 740};
    EXPECT_EQ(CentreInWorkArea(window, {-300, -200, 100, 50}, workArea), (PixelRect{0, 0, 406, 252}));
    EXPECT_EQ(CentreInWorkArea(window, {900, 650, 1300, 900}, workArea), (PixelRect{618, 488, 1024, 740}));
}

TEST(AboutGeometry, LargerThanTheWorkAreaKeepsTheTopLeftCornerInside) {
    PixelRect placed = CentreInWorkArea({0, 0, 1200, 900}, {0, 0, 1024, 740}, {0, 30, 1024, 770});
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 30);
    EXPECT_EQ(placed.right - placed.left, 1200);
}

} // namespace
