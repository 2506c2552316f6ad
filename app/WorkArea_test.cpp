#include "app/WorkArea.h"

#include <gtest/gtest.h>

TEST(ClampXToWorkArea, MovesOnlyAPointThatLiesOnNoMonitor) {
    ScreenRect work{0, 0, 1024, 740};
    EXPECT_EQ(ClampXToWorkArea(-50, true, work), -50) << "a point on a monitor stays";
    EXPECT_EQ(ClampXToWorkArea(-50, false, work), 0);
    EXPECT_EQ(ClampXToWorkArea(2000, false, work), 1024);
    EXPECT_EQ(ClampXToWorkArea(500, false, work), 500);
    EXPECT_EQ(ClampXToWorkArea(2000, false, std::nullopt), 2000) << "no monitor at all: unchanged";
}

TEST(ClampXToWorkArea, UsesTheNearestMonitorsOwnEdges) {
    ScreenRect second{1920, 0, 3200, 1024};
    EXPECT_EQ(ClampXToWorkArea(1800, false, second), 1920);
    EXPECT_EQ(ClampXToWorkArea(4000, false, second), 3200);
}
