#include "service/CompletionSteps.h"

#include "platform/Drives.h"

#include <gtest/gtest.h>

namespace {

TEST(CompletionSteps, EjectOnlyACdRomAndShowThePopupTextOnlyWhenAsked) {
    CompletionRequest request;
    request.driveIndex = 4;
    request.errorCount = 2;
    request.options.m_ejectCdRom = 1;

    CompletionSteps cd = PlanCompletionSteps(request, platform::kDriveCdRom);
    EXPECT_TRUE(cd.plan.eject);
    EXPECT_EQ(cd.devicePath, L"\\\\.\\E:");
    EXPECT_TRUE(cd.popupText.empty());

    request.options.m_showPopup = 1;
    CompletionSteps stick = PlanCompletionSteps(request, platform::kDriveRemovable);
    EXPECT_FALSE(stick.plan.eject);
    EXPECT_EQ(stick.popupText, CompletionPopupText(4, 2));
}

} // namespace
