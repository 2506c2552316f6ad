#include "copy/Progress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

ProgressReport Report(float fraction, uint32_t elapsed, const wchar_t* sizeText = L"14.62 GiB",
                      RunState state = RunState::Running) {
    ProgressReport report;
    report.driveIndex = 4;
    report.state = state;
    report.sizeText = sizeText;
    report.fraction = fraction;
    report.elapsed = elapsed;
    return report;
}

TEST(FormatSize, UnitsOf1024WithTwoDecimals) {
    EXPECT_EQ(FormatSize(0), L"0.00 B");
    EXPECT_EQ(FormatSize(1023), L"1023.00 B");
    EXPECT_EQ(FormatSize(1024), L"1.00 KiB");
    EXPECT_EQ(FormatSize(1536), L"1.50 KiB");
    // 1048575 / 1024 is 1023.999: rounded by the two decimals, not moved to the next unit.
    EXPECT_EQ(FormatSize(1048575), L"1024.00 KiB");
    EXPECT_EQ(FormatSize(1048576), L"1.00 MiB");
    EXPECT_EQ(FormatSize(1073741824), L"1.00 GiB");
    EXPECT_EQ(FormatSize(uint64_t{1} << 40), L"1.00 TiB");
    EXPECT_EQ(FormatSize(uint64_t{1} << 50), L"1.00 PiB");
    EXPECT_EQ(FormatSize(std::numeric_limits<uint64_t>::max()), L"16.00 EiB");
}

TEST(FormatTimeLeft, OnlyTheTwoLargestUnits) {
    EXPECT_EQ(FormatTimeLeft(0), L"0s");
    EXPECT_EQ(FormatTimeLeft(1000), L"1s");
    EXPECT_EQ(FormatTimeLeft(59999), L"59s");
    EXPECT_EQ(FormatTimeLeft(60000), L"1m 0s");
    EXPECT_EQ(FormatTimeLeft(312000), L"5m 12s");
    EXPECT_EQ(FormatTimeLeft(3599999), L"59m 59s");
    EXPECT_EQ(FormatTimeLeft(3600000), L"1h 0m");
    EXPECT_EQ(FormatTimeLeft(86399999), L"23h 59m");
    EXPECT_EQ(FormatTimeLeft(86400000), L"1d 0h");
    EXPECT_EQ(FormatTimeLeft(2 * 86400000u + 3 * 3600000u + 59 * 60000u), L"2d 3h");
    EXPECT_EQ(FormatTimeLeft(std::numeric_limits<uint32_t>::max()), L"49d 17h");
}

TEST(ProgressView, HalfDoneAfterAMinute) {
    const ProgressView view = MakeProgressView(Report(0.5f, 60000));
    EXPECT_EQ(view.text, L"50% of 14.62 GiB, 1m 0s left");
    EXPECT_TRUE(view.setsBar);
    EXPECT_EQ(view.barPos, 50);
    EXPECT_FALSE(view.completed);
    EXPECT_FALSE(view.stopped);
}

// Estimates of elapsed / fraction - elapsed at the unit boundaries, with fraction 0.5 so that the
// estimate equals the elapsed time. The elapsed time is a float in the estimate, so the values
// stay exact in 24 bits of mantissa.
TEST(ProgressView, TimeLeftAtUnitBoundaries) {
    const struct {
        uint32_t estimate;
        const wchar_t* text;
    } cases[] = {
        {999, L"50% of 14.62 GiB, 1s left"},         {59999, L"50% of 14.62 GiB, 59s left"},
        {60000, L"50% of 14.62 GiB, 1m 0s left"},    {3599999, L"50% of 14.62 GiB, 59m 59s left"},
        {3600000, L"50% of 14.62 GiB, 1h 0m left"},  {86399000, L"50% of 14.62 GiB, 23h 59m left"},
        {86400000, L"50% of 14.62 GiB, 1d 0h left"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeProgressView(Report(0.5f, c.estimate)).text, c.text) << c.estimate;
}

TEST(ProgressView, PercentIsCutTowardZero) {
    const ProgressView view = MakeProgressView(Report(0.999f, 1000));
    EXPECT_EQ(view.barPos, 99);
    EXPECT_EQ(view.text.substr(0, 4), L"99% ");
}

TEST(ProgressView, FirstReportShowsZeroPercentWithoutAnEstimate) {
    const ProgressView view = MakeProgressView(Report(0.0f, 0));
    EXPECT_EQ(view.text, L"0% of 14.62 GiB, time left unknown");
    EXPECT_TRUE(view.setsBar);
    EXPECT_EQ(view.barPos, 0);
    EXPECT_EQ(MakeProgressView(Report(0.0f, 5000)).text, L"0% of 14.62 GiB, time left unknown");
}

TEST(ProgressView, MoreCopiedThanTheVolumeHeldKeepsTheBarFull) {
    const ProgressView view = MakeProgressView(Report(1.5f, 60000));
    EXPECT_EQ(view.text, L"150% of 14.62 GiB, 1s left");
    EXPECT_EQ(view.barPos, 100);
    EXPECT_FALSE(view.completed);
}

TEST(ProgressView, EstimateBeyond32BitsIsUnknown) {
    // 100 s for a millionth: about 3.2 years left, more milliseconds than an int32 holds.
    EXPECT_EQ(MakeProgressView(Report(1e-6f, 100000)).text, L"0% of 14.62 GiB, time left unknown");
    // Just inside: 20 days.
    EXPECT_EQ(MakeProgressView(Report(0.5f, 20u * 86400000u)).text, L"50% of 14.62 GiB, 20d 0h left");
}

TEST(ProgressView, NoTotalGivesNeitherNanNorABar) {
    for (float fraction : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), -0.5f, 3e30f}) {
        const ProgressView view = MakeProgressView(Report(fraction, 1234, L"0.00 B"));
        EXPECT_EQ(view.text, L"Copying, total size unknown") << fraction;
        EXPECT_FALSE(view.setsBar);
        EXPECT_FALSE(view.completed);
        EXPECT_FALSE(view.stopped);
    }
}

TEST(ProgressView, CompletionFillsTheBarAndCountsErrors) {
    ProgressReport report = Report(1.0f, 0, L"", RunState::Finished);
    ProgressView view = MakeProgressView(report);
    EXPECT_EQ(view.text, L"Complete.");
    EXPECT_TRUE(view.completed);
    EXPECT_TRUE(view.setsBar);
    EXPECT_EQ(view.barPos, 100);
    report.errorCount = 1;
    EXPECT_EQ(MakeProgressView(report).text, L"Complete with 1 error.");
    report.errorCount = 3;
    EXPECT_EQ(MakeProgressView(report).text, L"Complete with 3 errors.");
}

TEST(ProgressView, StopLeavesTheBarAlone) {
    ProgressReport report = Report(0.5f, 0, L"", RunState::Stopped);
    report.errorCount = 2;
    const ProgressView view = MakeProgressView(report);
    EXPECT_EQ(view.text, L"Stopped.");
    EXPECT_TRUE(view.stopped);
    EXPECT_FALSE(view.setsBar);
    EXPECT_FALSE(view.completed);
}

TEST(ProgressFraction, ATotalOfZeroIsNotANumberOrInfinite) {
    EXPECT_TRUE(std::isnan(ProgressFraction(0, 0)));
    EXPECT_TRUE(std::isinf(ProgressFraction(10, 0)));
    EXPECT_EQ(ProgressFraction(50, 100), 0.5f);
    EXPECT_EQ(ProgressFraction(0, 100), 0.0f);
    EXPECT_GT(ProgressFraction(300, 100), 2.9f);
}

TEST(ProgressFraction, ReachingTheTotalIsNotMistakenForCompletion) {
    const float fraction = ProgressFraction(100, 100);
    EXPECT_EQ(fraction, 1.0f);
    const ProgressView view = MakeProgressView(Report(fraction, 60000));
    EXPECT_FALSE(view.completed);
    EXPECT_EQ(view.text, L"100% of 14.62 GiB, 1s left");
    EXPECT_EQ(view.barPos, 100);
}

namespace {

// The flags in the order eject, beep, by speaker, pop-up.
CompletionPlan Plan(bool eject, bool beep, bool bySpeaker, bool popup, uint32_t driveType) {
    return PlanCompletion(CompletionOptions{eject, popup, beep, bySpeaker}, driveType);
}

} // namespace

TEST(PlanCompletion, EjectOnlyForACdRom) {
    EXPECT_TRUE(Plan(true, false, false, false, 5).eject);
    EXPECT_FALSE(Plan(true, false, false, false, 2).eject);
    EXPECT_FALSE(Plan(false, false, false, false, 5).eject);
    // Types of 7 and above count as unknown, even when they look like a CD-ROM's in the low bits.
    EXPECT_FALSE(Plan(true, false, false, false, 7).eject);
    EXPECT_FALSE(Plan(true, false, false, false, 0x105).eject);
}

TEST(PlanCompletion, BeepGoesToSpeakerOrSoundCard) {
    EXPECT_EQ(Plan(false, true, false, false, 2), (CompletionPlan{false, false, true, false}));
    EXPECT_EQ(Plan(false, true, true, false, 2), (CompletionPlan{false, true, false, false}));
    EXPECT_EQ(Plan(false, false, true, false, 2), CompletionPlan{});
    EXPECT_EQ(Plan(true, true, true, true, 5), (CompletionPlan{true, true, false, true}));
    EXPECT_EQ(Plan(false, false, false, true, 3), (CompletionPlan{false, false, false, true}));
}

TEST(CompletionPopupText, NamesTheDevicePathAndWhatFailed) {
    EXPECT_EQ(CompletionPopupText(4, 0), L"Copying finished for drive \\\\.\\E:");
    EXPECT_EQ(CompletionPopupText(0, 0), L"Copying finished for drive \\\\.\\A:");
    EXPECT_EQ(CompletionPopupText(25, 1),
              L"Copying finished for drive \\\\.\\Z:\n1 file or folder could not be copied.");
    EXPECT_EQ(CompletionPopupText(4, 12),
              L"Copying finished for drive \\\\.\\E:\n12 files or folders could not be copied.");
}

} // namespace

TEST(Progress, TheLastLineAndThePopUpSayHowEachDestinationEnded) {
    const DestinationOutcome clean{L"D:\\Cards\\017", 1234, 0, platform::kSuccess};
    const DestinationOutcome full{L"\\\\nas\\cards\\004", 812, 423, platform::kErrorDiskFull};
    const DestinationOutcome gone{L"G:\\000", 0, 3, platform::kErrorPathNotFound};
    const DestinationOutcome partly{L"H:\\000", 1230, 4, platform::kSuccess};
    const DestinationOutcome both[] = {clean, full};
    EXPECT_EQ(
        FinishedText(423, true, 2046, both),
        L"Finished with 423 errors. D:\\Cards\\017: 1,234 files verified. \\\\nas\\cards\\004: stopped, the "
        L"destination is full (812 files).");
    const DestinationOutcome other[] = {partly, gone};
    EXPECT_EQ(
        FinishedText(7, false, 1230, other),
        L"Finished with 7 errors. H:\\000: 1,230 files copied, 4 errors. G:\\000: stopped, the destination "
        L"cannot be reached (0 files).");
    const DestinationOutcome twoClean[] = {clean, clean};
    EXPECT_EQ(FinishedText(0, true, 2468, twoClean),
              L"Finished. D:\\Cards\\017: 1,234 files verified. D:\\Cards\\017: 1,234 files verified.");
    // One destination: the line as ever.
    EXPECT_EQ(FinishedText(0, true, 3), L"Finished. 3 files verified.");
    EXPECT_EQ(FinishedText(2, true, 3), L"Finished with 2 errors.");
    EXPECT_EQ(
        CompletionPopupText(4, 423, DestinationsText(both, true)),
        L"Copying finished for drive \\\\.\\E:\nD:\\Cards\\017: 1,234 files verified. \\\\nas\\cards\\004: "
        L"stopped, the destination is full (812 files).");
}
