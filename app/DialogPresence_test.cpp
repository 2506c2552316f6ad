#include "app/DialogPresence.h"
#include "app/ReportPacing.h"

#include <gtest/gtest.h>

TEST(DialogPresence, NeverHiddenWithoutAnIconAndTheStartHoldLastsUntilTheUserAsks) {
    EXPECT_EQ(PutAwayWith(true), PutAway::Hide);
    EXPECT_EQ(PutAwayWith(false), PutAway::Minimise);
    EXPECT_TRUE(MustShowMinimised(false, false)) << "hidden behind an icon the new shell refused";
    EXPECT_FALSE(MustShowMinimised(true, false));
    EXPECT_FALSE(MustShowMinimised(false, true));

    StartHold inTray;
    EXPECT_EQ(inTray.Begin(true), PutAway::Hide);
    EXPECT_TRUE(inTray.RefusesShow());
    EXPECT_FALSE(inTray.RefusesOpen());
    inTray.Minimise();
    EXPECT_FALSE(inTray.RefusesShow()) << "the icon is gone: the task bar shows it";
    EXPECT_TRUE(inTray.RefusesOpen()) << "but minimised until the user asks";
    inTray.Release();
    EXPECT_FALSE(inTray.RefusesShow());
    EXPECT_FALSE(inTray.RefusesOpen());
    inTray.Minimise();
    EXPECT_FALSE(inTray.RefusesOpen()) << "a released hold does not come back";

    StartHold noTray;
    EXPECT_EQ(noTray.Begin(false), PutAway::Minimise);
    EXPECT_FALSE(noTray.RefusesShow()) << "the task bar shows it minimised";
    EXPECT_TRUE(noTray.RefusesOpen());
    noTray.Release();
    EXPECT_FALSE(noTray.RefusesOpen());
}

TEST(ReportPacing, AtMostOnceAnIntervalWithOneTimerAcrossTheTicksWrap) {
    ReportPacing pacing(50);
    EXPECT_EQ(pacing.DelayFor(1000), 0u) << "the first reports are shown at once";
    pacing.Shown(1000, 1);
    EXPECT_EQ(pacing.DelayFor(1020), 30u);
    pacing.TimerSet();
    EXPECT_EQ(pacing.DelayFor(1030), ReportPacing::kWaiting) << "one timer takes all that comes meanwhile";
    pacing.Shown(1050, 0);
    EXPECT_FALSE(pacing.TimerIsSet());
    EXPECT_EQ(pacing.DelayFor(1100), 0u);

    pacing.Shown(UINT32_MAX - 9, 0);
    EXPECT_EQ(pacing.DelayFor(10), 30u) << "20 ms after the tick wrapped";
    EXPECT_EQ(pacing.DelayFor(40), 0u);
}

TEST(ReportPacing, SlowShowsWidenTheIntervalToTenTimesTheirCostWithinBounds) {
    ReportPacing pacing(50);
    for (int i = 0; i < 20; ++i)
        pacing.Shown(0, 8); // an append under Wine
    EXPECT_NEAR(pacing.IntervalMs(), 80u, 1u);
    for (int i = 0; i < 20; ++i)
        pacing.Shown(0, 2000); // a hung paint
    EXPECT_EQ(pacing.IntervalMs(), ReportPacing::kLongestIntervalMs);
    for (int i = 0; i < 40; ++i)
        pacing.Shown(0, i % 16 == 0 ? 16 : 0); // about 1 ms, read from a clock of 16 ms ticks
    EXPECT_EQ(pacing.IntervalMs(), 50u);
}
