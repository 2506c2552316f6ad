#include "platform/LiteralPath.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(LiteralPath, DrivePathsOfAnyLengthAreLiteral) {
    const std::wstring tail = L"\\" + std::wstring(300, L'n') + L"\\f";
    const struct {
        std::wstring path;
        std::wstring literal;
    } cases[] = {
        {L"E:\\", L"\\\\?\\E:\\"},
        {L"E:\\\\*", L"\\\\?\\E:\\*"},
        {L"E:\\a.", L"\\\\?\\E:\\a."},
        {L"E:\\dir \\COM1", L"\\\\?\\E:\\dir \\COM1"},
        {L"D:\\Backup\\\\000/DCIM\\", L"\\\\?\\D:\\Backup\\000\\DCIM"},
        {L"D:\\a\\.\\b\\..\\c", L"\\\\?\\D:\\a\\c"},
        {L"D:\\..\\..\\x", L"\\\\?\\D:\\x"},
        {L"D:" + tail, L"\\\\?\\D:" + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LiteralPath(c.path), c.literal);
}

TEST(LiteralPath, UncPathsGetTheUncPrefixAndKeepTheirShare) {
    EXPECT_EQ(LiteralPath(L"\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(LiteralPath(L"//server/share/x."), L"\\\\?\\UNC\\server\\share\\x.");
    EXPECT_EQ(LiteralPath(L"\\\\server\\share\\..\\..\\x"), L"\\\\?\\UNC\\server\\share\\x");
}

TEST(LiteralPath, PrefixedAndRelativePathsStayAsTheyAre) {
    for (const std::wstring path : {L"\\\\?\\E:\\a.", L"\\\\.\\E:", L"DCIM\\x", L"E:", L"E:x", L"", L"\\x"})
        EXPECT_EQ(LiteralPath(path), path);
}

} // namespace
} // namespace platform
