#include "ui/LinkColors.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::RegKey;
using platform::RegType;
namespace posix = platform::posix;

constexpr uint32_t kBlue = MakeColorRef(0, 0, 255);
constexpr uint32_t kPurple = MakeColorRef(128, 0, 128);
constexpr uint32_t kRed = MakeColorRef(255, 0, 0);

class LinkColorsRegistry : public ::testing::Test {
protected:
    void SetUp() override { posix::ResetRegistry(); }
    void TearDown() override { posix::ResetRegistry(); }

    static void SetText(const wchar_t* name, const std::wstring& text) {
        RegKey::Create(kLinkColorsKeyPath, nullptr).SetString(name, text);
    }
};

TEST_F(LinkColorsRegistry, DefaultsAreBlueAndPurpleWithoutTheKey) {
    LinkColors colors = ReadLinkColors();
    EXPECT_EQ(colors.link, kBlue);
    EXPECT_EQ(colors.visited, kPurple);
    EXPECT_FALSE(posix::KeyExists(kLinkColorsKeyPath)) << "reading never creates the key";
}

TEST_F(LinkColorsRegistry, StoredTextsSetBothColours) {
    SetText(L"Anchor Color", L"255,0,0");
    SetText(L"Anchor Color Visited", L"0,128,0");
    LinkColors colors = ReadLinkColors();
    EXPECT_EQ(colors.link, kRed);
    EXPECT_EQ(colors.visited, MakeColorRef(0, 128, 0));
}

TEST_F(LinkColorsRegistry, MalformedTextsKeepTheDefaults) {
    SetText(L"Anchor Color", L"255,0");
    SetText(L"Anchor Color Visited", L"255,0,");
    LinkColors colors = ReadLinkColors();
    EXPECT_EQ(colors.link, kBlue);
    EXPECT_EQ(colors.visited, kPurple);
}

TEST_F(LinkColorsRegistry, ElevenCharactersFitTwelveDoNot) {
    SetText(L"Anchor Color", L"255,255,255"); // 11 characters
    EXPECT_EQ(ReadLinkColors().link, MakeColorRef(255, 255, 255));

    SetText(L"Anchor Color", L" 255, 255, 255"); // 14 characters: would parse, but does not fit
    EXPECT_EQ(ReadLinkColors().link, kBlue);
    SetText(L"Anchor Color", L"255,0,000000"); // 12 characters
    EXPECT_EQ(ReadLinkColors().link, kBlue);
}

TEST_F(LinkColorsRegistry, TwelveCharactersWithoutTerminatorDoNotFitEither) {
    std::vector<uint8_t> bytes;
    for (wchar_t c : std::wstring(L"255,0,000000"))
        bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    ASSERT_EQ(bytes.size(), 24u);
    posix::WriteValue(kLinkColorsKeyPath, L"Anchor Color", RegType::String, bytes);
    EXPECT_EQ(ReadLinkColors().link, kBlue);
}

TEST_F(LinkColorsRegistry, OnlyStringValuesCount) {
    std::vector<uint8_t> bytes;
    for (wchar_t c : std::wstring(L"255,0,0"))
        bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    bytes.insert(bytes.end(), {0, 0});
    posix::WriteValue(kLinkColorsKeyPath, L"Anchor Color", RegType::Binary, bytes);
    posix::WriteValue(kLinkColorsKeyPath, L"Anchor Color Visited", RegType::Dword, {0xFF, 0, 0, 0});
    LinkColors colors = ReadLinkColors();
    EXPECT_EQ(colors.link, kBlue);
    EXPECT_EQ(colors.visited, kPurple);
}

TEST_F(LinkColorsRegistry, OneBadValueDoesNotSpoilTheOther) {
    SetText(L"Anchor Color", L"-1,0,0");
    SetText(L"Anchor Color Visited", L"256,0,0");
    LinkColors colors = ReadLinkColors();
    EXPECT_EQ(colors.link, kBlue);
    EXPECT_EQ(colors.visited, 0u); // 256 wraps to black
}

} // namespace
