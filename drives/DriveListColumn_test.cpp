#include "drives/DriveListColumn.h"

#include <gtest/gtest.h>

namespace {

TEST(DriveListColumn, SpansTheClientWidthLessEdgesAndScrollBar) {
    EXPECT_EQ(DriveColumnWidth(300, 2, 17), 279);
    EXPECT_EQ(DriveColumnWidth(21, 2, 17), 0);
}

TEST(DriveListColumn, NarrowOrHugeListsStayInRange) {
    EXPECT_EQ(DriveColumnWidth(10, 2, 17), 0);
    EXPECT_EQ(DriveColumnWidth(0, 2, 17), 0);
    EXPECT_EQ(DriveColumnWidth(100000, 2, 17), 0x7FFF);
}

} // namespace
