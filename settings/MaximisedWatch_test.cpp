#include "settings/MaximisedWatch.h"

#include <gtest/gtest.h>

TEST(MaximisedWatch, OnlyAnAppliedMaximisedPlacementIsWatchedAndOnlyOnce) {
    MaximisedWatch watch;
    EXPECT_FALSE(watch.Begin(false, true)) << "nothing stored, nothing applied";
    EXPECT_FALSE(watch.Begin(true, false));
    EXPECT_FALSE(watch.End()) << "no timer to take down";
    EXPECT_TRUE(watch.Begin(true, true));
    EXPECT_TRUE(watch.IsWatching());
    EXPECT_TRUE(watch.End());
    EXPECT_FALSE(watch.IsWatching());
    EXPECT_FALSE(watch.End()) << "a second restore is the user's own";
}
