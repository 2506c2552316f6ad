#include "ui/ColorString.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr uint32_t kUntouched = 0xDEADBEEF;

// The parsed colour, or kUntouched when the text is rejected.
uint32_t Parse(const std::wstring& text) {
    uint32_t color = kUntouched;
    bool ok = ParseColorString(text, color);
    EXPECT_EQ(ok, color != kUntouched) << "result and colour disagree for the text";
    return color;
}

TEST(ColorString, ReadsRedGreenBlueIntoTheLowThreeBytes) {
    EXPECT_EQ(Parse(L"0,0,128"), 0x800000u); // dark blue
    EXPECT_EQ(Parse(L"255,0,0"), 0x0000FFu);
    EXPECT_EQ(Parse(L"1,2,3"), 0x030201u);
    EXPECT_EQ(Parse(L"128,0,128"), 0x800080u);
}

TEST(ColorString, MissingCommaOrEmptyThirdPartIsRejected) {
    EXPECT_EQ(Parse(L"255,0"), kUntouched);
    EXPECT_EQ(Parse(L"255,0,"), kUntouched);
    EXPECT_EQ(Parse(L"255"), kUntouched);
    EXPECT_EQ(Parse(L""), kUntouched);
    EXPECT_EQ(Parse(L",,"), kUntouched);
}

TEST(ColorString, MinusOneInTheFirstTwoPartsIsRejected) {
    EXPECT_EQ(Parse(L"-1,0,0"), kUntouched);
    EXPECT_EQ(Parse(L"0,-1,0"), kUntouched);
    EXPECT_EQ(Parse(L" -001x,0,0"), kUntouched); // still reads as -1
    EXPECT_EQ(Parse(L"0,0,-1"), 0xFF0000u);      // the third part may be -1: its low byte is 255
    EXPECT_EQ(Parse(L"-2,0,0"), 0x0000FEu);
}

TEST(ColorString, ComponentsKeepOnlyTheirLowEightBits) {
    EXPECT_EQ(Parse(L"256,0,0"), 0x000000u); // black
    EXPECT_EQ(Parse(L"257,511,65536"), 0x00FF01u);
}

TEST(ColorString, NumbersAreReadLikeTheCLibraryDoes) {
    EXPECT_EQ(Parse(L" 255, 255, 255"), 0xFFFFFFu); // blanks before each number
    EXPECT_EQ(Parse(L"+10,\t20,30 px"), MakeColorRef(10, 20, 30));
    EXPECT_EQ(Parse(L"red,green,blue"), 0u); // no digits read as 0
    EXPECT_EQ(Parse(L",,5"), 0x050000u);
    EXPECT_EQ(Parse(L"1,2,3,4"), 0x030201u); // the third part is the rest; its reading stops at the comma
}

TEST(ColorString, HugeNumbersAreClampedTo32Bits) {
    EXPECT_EQ(Parse(L"99999999999999999999999999,0,0"), 0x0000FFu);  // INT32_MAX: low byte FF
    EXPECT_EQ(Parse(L"-99999999999999999999999999,0,0"), 0x000000u); // INT32_MIN: low byte 00
    EXPECT_EQ(Parse(L"2147483648,0,0"), 0x0000FFu);
    EXPECT_EQ(Parse(L"-2147483648,0,0"), 0x000000u);
    EXPECT_EQ(Parse(L"4294967295,4294967295,4294967295"), 0xFFFFFFu);
}

TEST(ColorString, AnyTextGivesAColourOrLeavesTheOldOne) {
    std::mt19937 random(1234);
    std::wstring alphabet = L"0123456789,,,,--+ \t\x00e9\xffff";
    alphabet += L'\0';
    std::uniform_int_distribution<size_t> length(0, 40);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        std::wstring text;
        for (size_t n = length(random); n > 0; --n)
            text += alphabet[pick(random)];
        uint32_t color = kUntouched;
        if (ParseColorString(text, color))
            EXPECT_LE(color, 0xFFFFFFu);
        else
            EXPECT_EQ(color, kUntouched);
    }
}

} // namespace
