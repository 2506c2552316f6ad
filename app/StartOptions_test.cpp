#include "app/StartOptions.h"

#include <gtest/gtest.h>

#include "HarvexVersion.h"

#include <string>

namespace {

TEST(StartOptions, OnlyTheTrayWordCountsWhereverItStandsAndAnythingElseIsIgnored) {
    struct Case {
        const wchar_t* line;
        bool inTray;
    };
    const Case cases[] = {
        {L"", false},
        {L"/tray", true},
        {L"  /TRAY  ", true},
        {L"-Tray", true},
        {L"\"/tray\"", true},
        {L"/minimized /tray --verbose", true},
        {L"/trays", false},
        {L"/tra", false},
        {L"tray", false},
        {L"\"/tray later\"", false},
        {L"C:\\dir with /tray inside", true},
        {L"\"C:\\dir with /tray inside\"", false},
        {L"x\"/tray\"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseStartOptions(c.line).inTray, c.inTray) << std::wstring(c.line).size() << " chars";
}

TEST(Version, TextsNameTheBuildsVersion) {
    const std::wstring version =
        std::to_wstring(HARVEX_VERSION_MAJOR) + L"." + std::to_wstring(HARVEX_VERSION_MINOR);
    EXPECT_EQ(std::wstring(kVersionText).rfind(version, 0), 0u);
    EXPECT_EQ(std::wstring(kProductAndVersion), L"Harvex " + std::wstring(kVersionText));
}

} // namespace
