#include "platform/Text.h"

#include <gtest/gtest.h>

TEST(Text, FormatsWideStringsWithLs) {
    EXPECT_EQ(platform::Format(L"%d%% of %ls", 37, L"14.62 GiB"), L"37% of 14.62 GiB");
}

TEST(Text, Utf8RoundTripKeepsCharactersOutsideTheBasicPlane) {
    std::wstring text = platform::FromUtf8("caf\xC3\xA9 \xF0\x9F\x93\xB7");
    EXPECT_EQ(platform::ToUtf8(text), "caf\xC3\xA9 \xF0\x9F\x93\xB7");
    EXPECT_EQ(platform::FromUtf8("a\xFF"
                                 "b"),
              L"a\uFFFDb");
}
