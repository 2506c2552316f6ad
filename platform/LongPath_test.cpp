#include "platform/LongPath.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

// A path of the given length: the start, then "\x" parts, padded with a last part.
std::wstring PathOfLength(const std::wstring& start, size_t length) {
    std::wstring path = start;
    while (path.size() + 2 < length)
        path += L"\\x";
    path += std::wstring(length - path.size(), L'y');
    return path;
}

TEST(LongPathForm, ShortPathsStayAsTheyAre) {
    const std::wstring path = PathOfLength(L"E:\\DCIM", kLongPathThreshold - 1);
    EXPECT_EQ(LongPathForm(path), path);
    EXPECT_EQ(LongPathForm(L"E:\\\\*"), L"E:\\\\*");
    EXPECT_EQ(LongPathForm(L""), L"");
}

TEST(LongPathForm, LongDrivePathsGetThePrefix) {
    const std::wstring path = PathOfLength(L"D:\\Backup\\000", kLongPathThreshold);
    EXPECT_EQ(LongPathForm(path), L"\\\\?\\" + path);
}

TEST(LongPathForm, SeparatorsAreNormalisedWhenPrefixed) {
    const std::wstring tail = PathOfLength(L"", 300);
    EXPECT_EQ(LongPathForm(L"D:\\Backup\\\\000/DCIM" + tail), L"\\\\?\\D:\\Backup\\000\\DCIM" + tail);
    // The root's listing pattern with its doubled separator.
    const std::wstring pattern = L"E:\\" + std::wstring(260, L'n') + L"\\\\*";
    EXPECT_EQ(LongPathForm(pattern), L"\\\\?\\E:\\" + std::wstring(260, L'n') + L"\\*");
}

TEST(LongPathForm, UncPathsGetTheUncPrefix) {
    const std::wstring tail = PathOfLength(L"", 300);
    EXPECT_EQ(LongPathForm(L"\\\\server\\share" + tail), L"\\\\?\\UNC\\server\\share" + tail);
    EXPECT_EQ(LongPathForm(L"//server/share" + tail), L"\\\\?\\UNC\\server\\share" + tail);
    EXPECT_EQ(LongPathForm(L"\\\\\\server\\\\share" + tail), L"\\\\?\\UNC\\server\\share" + tail);
}

TEST(LongPathForm, PrefixedAndRelativePathsStayAsTheyAre) {
    const std::wstring tail = PathOfLength(L"", 300);
    for (const std::wstring& path :
         {L"\\\\?\\E:" + tail, L"\\\\.\\E:" + tail, L"relative" + tail, L"\\rooted" + tail})
        EXPECT_EQ(LongPathForm(path), path);
}

} // namespace
} // namespace platform
