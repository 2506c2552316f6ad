#include "settings/StartWithWindows.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

using platform::RegKey;
namespace posix = platform::posix;

namespace {

constexpr wchar_t kExe[] = L"C:\\Program Files\\Harvex\\harvex.exe";

class StartWithWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { posix::ResetRegistry(); }

    static void WriteRunValue(const std::wstring& command) {
        RegKey::Create(kRunKeyPath, nullptr).SetString(kRunValueName, command);
    }
    static std::wstring RunValue() {
        std::wstring value;
        RegKey run = RegKey::Open(kRunKeyPath);
        if (!run.IsOpen() || !run.QueryString(kRunValueName, 1000, value))
            return L"(none)";
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        return value;
    }
};

TEST(RunCommand, QuotesThePathAndFindsTheProgramInQuotedAndBareCommands) {
    EXPECT_EQ(RunCommandFor(kExe), L"\"C:\\Program Files\\Harvex\\harvex.exe\" /tray");
    EXPECT_EQ(ProgramOfRunCommand(RunCommandFor(kExe)), kExe);
    EXPECT_EQ(ProgramOfRunCommand(L"  C:\\Tools\\harvex.exe /tray"), L"C:\\Tools\\harvex.exe");
    EXPECT_EQ(ProgramOfRunCommand(L"\"C:\\unterminated"), L"C:\\unterminated");
    EXPECT_EQ(ProgramOfRunCommand(L"   "), L"");

    EXPECT_TRUE(RunCommandStarts(L"\"c:/program files/HARVEX/Harvex.EXE\" /tray", kExe));
    EXPECT_FALSE(RunCommandStarts(L"\"C:\\Old place\\harvex.exe\" /tray", kExe));
    EXPECT_FALSE(RunCommandStarts(L"\"C:\\Program Files\\Harvex\\harvex.exe.bak\"", kExe));
    EXPECT_FALSE(RunCommandStarts(L"C:\\Program Files\\Harvex\\harvex.exe", kExe))
        << "a bare path ends at a blank";
    EXPECT_FALSE(RunCommandStarts(L"", kExe));
}

TEST_F(StartWithWindowsTest, TickingWritesTheValueAndUntickingRemovesIt) {
    EXPECT_FALSE(IsStartWithWindowsOn(kExe)) << "no Run key at all";
    ASSERT_TRUE(ApplyStartWithWindows(true, kExe));
    EXPECT_EQ(RunValue(), L"\"C:\\Program Files\\Harvex\\harvex.exe\" /tray");
    EXPECT_TRUE(IsStartWithWindowsOn(kExe));

    ASSERT_TRUE(ApplyStartWithWindows(false, kExe));
    EXPECT_EQ(RunValue(), L"(none)");
    EXPECT_FALSE(IsStartWithWindowsOn(kExe));
    EXPECT_TRUE(ApplyStartWithWindows(false, kExe)) << "nothing to remove is no failure";
}

TEST_F(StartWithWindowsTest, AnotherCopysValueShowsUntickedIsKeptWhenUntickedAndReplacedWhenTicked) {
    const std::wstring moved = L"\"D:\\Old\\harvex.exe\" /tray";
    WriteRunValue(moved);
    EXPECT_FALSE(IsStartWithWindowsOn(kExe));
    ASSERT_TRUE(ApplyStartWithWindows(false, kExe));
    EXPECT_EQ(RunValue(), moved);
    ASSERT_TRUE(ApplyStartWithWindows(true, kExe));
    EXPECT_TRUE(IsStartWithWindowsOn(kExe));
    EXPECT_EQ(RunValue(), RunCommandFor(kExe));
}

TEST_F(StartWithWindowsTest, ARegistryThatRefusesChangesIsReportedAndAnUnknownExeIsNeverWritten) {
    EXPECT_FALSE(ApplyStartWithWindows(true, L""));
    EXPECT_EQ(RunValue(), L"(none)");
    posix::SetRegistryBroken(true);
    EXPECT_FALSE(ApplyStartWithWindows(true, kExe));
    posix::SetRegistryBroken(false);
    EXPECT_EQ(RunValue(), L"(none)");
}

} // namespace
