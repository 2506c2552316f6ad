#include "copy/DestinationNaming.h"

#include "copy/CopyTesting_test.h"
#include "platform/Drives.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

using copytest::TempFolder;

// The system's file system, with every existence probe and creation recorded.
class CountingEnvironment : public NamingEnvironment {
public:
    std::vector<std::wstring> probes;
    std::vector<std::wstring> creations;

    bool PathExists(const std::wstring& path) override {
        probes.push_back(path);
        return NamingEnvironment::PathExists(path);
    }
    platform::ErrorCode CreateFolder(const std::wstring& path) override {
        creations.push_back(path);
        return NamingEnvironment::CreateFolder(path);
    }
};

// Drive T: is a fresh temporary folder, so names read as they would on Windows.
class NamingTest : public ::testing::Test {
protected:
    void SetUp() override { platform::posix::MapDrive(L'T', m_folder.Path(), platform::kDriveFixed); }
    void TearDown() override { platform::posix::UnmapAllDrives(); }

    void MakeFolders(std::initializer_list<const char*> names) {
        for (const char* name : names)
            m_folder.MakeFolder(name);
    }
    // The probed names without the "T:\" base.
    std::vector<std::wstring> ProbedNames() const {
        std::vector<std::wstring> names;
        for (const std::wstring& probe : m_env.probes)
            names.push_back(probe.substr(3));
        return names;
    }

    TempFolder m_folder;
    CountingEnvironment m_env;
};

TEST(BasePath, KeepsExactlyOneTrailingBackslash) {
    EXPECT_EQ(BasePath(L"D:\\Backup"), L"D:\\Backup\\");
    EXPECT_EQ(BasePath(L"D:\\Backup\\\\\\"), L"D:\\Backup\\");
    EXPECT_EQ(BasePath(L"D:\\"), L"D:\\");
    EXPECT_EQ(BasePath(L"D:"), L"D:\\");
    EXPECT_EQ(BasePath(L"\\\\\\"), L"\\");
}

TEST(FolderNameOfLabel, UnsafeLabelsHaveNoName) {
    EXPECT_EQ(FolderNameOfLabel(L"CANON_DC"), L"CANON_DC");
    // Windows would trim these when it makes the folder, and the run's paths would then name none.
    EXPECT_EQ(FolderNameOfLabel(L"My Card."), L"My Card_");
    EXPECT_EQ(FolderNameOfLabel(L"Fotos "), L"Fotos_");
    EXPECT_EQ(FolderNameOfLabel(L".hidden"), L".hidden");
    EXPECT_EQ(FolderNameOfLabel(L""), L"[no name]");
    for (const wchar_t* label : {L"..", L".", L"...", L"..\\..\\Windows", L"a/b", L"C:", L"x\ty", L"bell\a"})
        EXPECT_EQ(FolderNameOfLabel(label), L"[no name]") << platform::ToUtf8(label);
}

TEST(FolderNameOfLabel, LabelsThatWindowsCannotNameHaveNoName) {
    // Characters no Windows name may hold: the folder could not be made under any number either.
    for (const wchar_t* label : {L"A*B", L"what?", L"say \"hi\"", L"<tag>", L"pipe|", L"a:b"})
        EXPECT_EQ(FolderNameOfLabel(label), L"[no name]") << platform::ToUtf8(label);
    // Trailing dots and blanks are dropped by Windows: nothing would be left but "Copy to" itself.
    for (const wchar_t* label : {L" ", L"   ", L". .", L" ..", L".. "})
        EXPECT_EQ(FolderNameOfLabel(label), L"[no name]") << platform::ToUtf8(label);
    // Device names, alone or before an extension, in any case.
    for (const wchar_t* label : {L"CON", L"nul", L"Aux.txt", L"COM1", L"lpt9", L"PRN .x"})
        EXPECT_EQ(FolderNameOfLabel(label), L"[no name]") << platform::ToUtf8(label);
    for (const wchar_t* label :
         {L"CONSOLE", L"COM0", L"COM10", L"LPT", L"NULL", L"Fotos 2024", L"\u00c9t\u00e9"})
        EXPECT_EQ(FolderNameOfLabel(label), label) << platform::ToUtf8(label);
}

TEST_F(NamingTest, RelativeCopyToMakesNothing) {
    for (const wchar_t* copyTo : {L"copies", L"\\copies", L"\\", L"D:copies", L"..\\up", L"\u0001"}) {
        for (int32_t selected : {-1, 0, 1, 2, 3})
            EXPECT_EQ(MakeDestinationFolder(copyTo, FolderNaming{selected}, 4, m_env), L"")
                << platform::ToUtf8(copyTo);
    }
    EXPECT_TRUE(m_env.creations.empty());
    // A UNC path is absolute: its folder is asked for (this machine has no such server).
    MakeDestinationFolder(L"\\\\server\\share", FolderNaming::ThreeDigits, 4, m_env);
    EXPECT_EQ(m_env.creations, (std::vector<std::wstring>{L"\\\\server\\share\\000"}));
    EXPECT_EQ(MakeDestinationFolder(L"t:/dest", FolderNaming{-1}, 4, m_env), L"t:/dest");
}

TEST_F(NamingTest, EmptyCopyToMakesNothingWhateverTheRule) {
    for (int32_t selected : {-1, 0, 1, 2, 3, 4})
        EXPECT_EQ(MakeDestinationFolder(L"", FolderNaming{selected}, 4, m_env), L"") << selected;
    EXPECT_TRUE(m_env.probes.empty());
    EXPECT_TRUE(m_env.creations.empty());
}

TEST_F(NamingTest, NoSelectionGivesTheTextAsReadAndMakesNothing) {
    EXPECT_EQ(MakeDestinationFolder(L"T:\\dest\\\\", FolderNaming{-1}, 4, m_env), L"T:\\dest\\\\");
    EXPECT_EQ(MakeDestinationFolder(L"T:\\dest", FolderNaming{4}, 4, m_env), L"T:\\dest");
    EXPECT_TRUE(m_env.probes.empty());
    EXPECT_TRUE(m_env.creations.empty());
    EXPECT_FALSE(m_folder.Exists("dest"));
}

TEST_F(NamingTest, DriveRootAsCopyToGetsOneBackslash) {
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::ThreeDigits, 4, m_env), L"T:\\000");
    EXPECT_EQ(MakeDestinationFolder(L"T:", FolderNaming::ThreeDigits, 4, m_env), L"T:\\001");
    EXPECT_EQ(MakeDestinationFolder(L"T:\\\\\\", FolderNaming::ThreeDigits, 4, m_env), L"T:\\002");
    EXPECT_TRUE(m_folder.Exists("000") && m_folder.Exists("001") && m_folder.Exists("002"));
}

TEST_F(NamingTest, SequenceStartsAtZero) {
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::ThreeDigits, 4, m_env), L"T:\\000");
    EXPECT_EQ(ProbedNames(), (std::vector<std::wstring>{L"000"}));
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::FiveDigits, 4, m_env), L"T:\\00000");
    EXPECT_TRUE(m_folder.Exists("00000"));
}

TEST_F(NamingTest, GallopingProbesWithThreeTaken) {
    MakeFolders({"000", "001", "002"});
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", m_env), L"T:\\003");
    EXPECT_EQ(ProbedNames(), (std::vector<std::wstring>{L"000", L"001", L"003", L"002", L"005", L"003"}));
    EXPECT_EQ(m_env.creations, (std::vector<std::wstring>{L"T:\\003"}));
}

TEST_F(NamingTest, AGapBelowTheLastTakenNumberStaysFree) {
    MakeFolders({"000", "001", "003"});
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", m_env), L"T:\\004");
    EXPECT_EQ(ProbedNames(), (std::vector<std::wstring>{L"000", L"001", L"003", L"007", L"005", L"004"}));
    EXPECT_FALSE(m_folder.Exists("002"));
}

TEST_F(NamingTest, FreeZeroIsTakenAfterOneProbe) {
    MakeFolders({"001", "002"});
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", m_env), L"T:\\000");
    EXPECT_EQ(m_env.probes.size(), 1u);
}

TEST_F(NamingTest, AFileCountsAsTaken) {
    m_folder.WriteFile("000", "not a folder");
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", m_env), L"T:\\001");
}

TEST_F(NamingTest, ProbeCountsForLongRuns) {
    for (int i = 0; i < 100; ++i)
        m_folder.MakeFolder(platform::ToUtf8(platform::Format(L"%03d", i)));
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", m_env), L"T:\\100");
    EXPECT_EQ(m_env.probes.size(), 29u);
    EXPECT_EQ(m_env.creations.size(), 1u);
}

TEST_F(NamingTest, WidthIsAMinimumNotALimit) {
    for (int i = 0; i < 1000; ++i)
        m_folder.MakeFolder(platform::ToUtf8(platform::Format(L"%03d", i)));
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", m_env), L"T:\\1000");
    EXPECT_EQ(m_env.probes.size(), 48u);
}

// Another process makes the free name between the probe and the creation.
TEST_F(NamingTest, ANameMadeInBetweenCountsAsTaken) {
    class RacingEnvironment : public CountingEnvironment {
    public:
        explicit RacingEnvironment(TempFolder& folder) : m_folder(folder) {}
        platform::ErrorCode CreateFolder(const std::wstring& path) override {
            if (path == L"T:\\000" && !m_raced) {
                m_raced = true;
                m_folder.MakeFolder("000");
            }
            return CountingEnvironment::CreateFolder(path);
        }

    private:
        TempFolder& m_folder;
        bool m_raced = false;
    } env(m_folder);
    EXPECT_EQ(MakeNumberedFolder(false, L"T:\\", env), L"T:\\001");
    EXPECT_EQ(env.creations, (std::vector<std::wstring>{L"T:\\000", L"T:\\001"}));
}

TEST_F(NamingTest, MissingCopyToFolderGivesEmptyForEveryRule) {
    for (int32_t selected : {0, 1, 2, 3})
        EXPECT_EQ(MakeDestinationFolder(L"T:\\missing", FolderNaming{selected}, 25, m_env), L"") << selected;
    EXPECT_FALSE(m_folder.Exists("missing"));
}

// The clock reads the same millisecond until the fourth reading.
class SteppingClock : public CountingEnvironment {
public:
    std::deque<platform::LocalTime> readings;
    int yields = 0;
    bool everyNameTaken = false;

    platform::ErrorCode CreateFolder(const std::wstring& path) override {
        if (everyNameTaken)
            return platform::kErrorAlreadyExists;
        return CountingEnvironment::CreateFolder(path);
    }
    platform::LocalTime LocalTime() override {
        platform::LocalTime t = readings.front();
        if (readings.size() > 1)
            readings.pop_front();
        return t;
    }
    void YieldTimeSlice() override { ++yields; }
};

TEST_F(NamingTest, DateTimeNameHasMilliseconds) {
    SteppingClock env;
    env.readings = {{2024, 3, 7, 14, 5, 9, 42}};
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::DateTime, 4, env), L"T:\\2024-03-07 14-05-09.042");
    EXPECT_TRUE(env.probes.empty()); // the creation itself is the test
}

TEST_F(NamingTest, DateTimeWaitsForTheClockToMoveOn) {
    SteppingClock env;
    const platform::LocalTime first{2024, 3, 7, 14, 5, 9, 42};
    const platform::LocalTime next{2024, 3, 7, 14, 5, 9, 43};
    env.readings = {first, first, first, next};
    EXPECT_EQ(MakeDateTimeFolder(L"T:\\", env), L"T:\\2024-03-07 14-05-09.042");
    EXPECT_EQ(MakeDateTimeFolder(L"T:\\", env), L"T:\\2024-03-07 14-05-09.043");
    EXPECT_EQ(env.yields, 2);
}

TEST_F(NamingTest, DateTimeGivesUpOnAClockThatNeverMoves) {
    SteppingClock env;
    env.readings = {{2024, 3, 7, 14, 5, 9, 42}};
    env.everyNameTaken = true;
    EXPECT_EQ(MakeDateTimeFolder(L"T:\\", env), L"");
    EXPECT_GT(env.yields, 1000);
}

TEST_F(NamingTest, DateTimeFailsOnOtherErrors) {
    SteppingClock env;
    env.readings = {{2024, 3, 7, 14, 5, 9, 42}};
    EXPECT_EQ(MakeDateTimeFolder(L"T:\\missing\\", env), L"");
    EXPECT_EQ(env.yields, 0);
}

TEST_F(NamingTest, VolumeLabelThenNumberedLabel) {
    TempFolder card;
    platform::posix::MapDrive(L'E', card.Path(), platform::kDriveRemovable, L"CANON_DC");
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::VolumeLabel, 4, m_env), L"T:\\CANON_DC");
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::VolumeLabel, 4, m_env), L"T:\\CANON_DC.000");
    EXPECT_EQ(MakeDestinationFolder(L"T:\\", FolderNaming::VolumeLabel, 4, m_env), L"T:\\CANON_DC.001");
}

TEST_F(NamingTest, NoLabelOrNoVolumeGivesNoName) {
    TempFolder card;
    platform::posix::MapDrive(L'E', card.Path(), platform::kDriveRemovable, L"");
    EXPECT_EQ(MakeVolumeLabelFolder(L"T:\\", 4, m_env), L"T:\\[no name]");
    EXPECT_EQ(MakeVolumeLabelFolder(L"T:\\", 4, m_env), L"T:\\[no name].000");
    // F: is not mapped: the label query fails.
    EXPECT_EQ(MakeVolumeLabelFolder(L"T:\\", 5, m_env), L"T:\\[no name].001");
}

TEST_F(NamingTest, ALabelThatLeadsOutOfTheFolderIsNotUsed) {
    TempFolder card;
    platform::posix::MapDrive(L'E', card.Path(), platform::kDriveRemovable, L"..\\..\\escape");
    EXPECT_EQ(MakeVolumeLabelFolder(L"T:\\", 4, m_env), L"T:\\[no name]");
    platform::posix::MapDrive(L'E', card.Path(), platform::kDriveRemovable, L"..");
    EXPECT_EQ(MakeVolumeLabelFolder(L"T:\\", 4, m_env), L"T:\\[no name].000");
}

// A label too long for a name fails the plain and the numbered form alike.
TEST_F(NamingTest, LabelThatCannotBeMadeFallsBackAndFails) {
    TempFolder card;
    platform::posix::MapDrive(L'E', card.Path(), platform::kDriveRemovable, std::wstring(300, L'x'));
    EXPECT_EQ(MakeVolumeLabelFolder(L"T:\\", 4, m_env), L"");
    ASSERT_EQ(m_env.creations.size(), 2u);
    EXPECT_EQ(m_env.creations[1], L"T:\\" + std::wstring(300, L'x') + L".000");
}

} // namespace
