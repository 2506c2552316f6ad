// Whole runs with "Verify copies" and "Copy only files not copied before": E: is the card, D: the
// disk that the copies go to.
#include "copy/CopyTesting_test.h"
#include "copy/DestinationNaming.h"
#include "copy/DriveJob.h"
#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace {

using copytest::RecordingHost;
using copytest::TempFolder;

constexpr int32_t kDriveE = 4;

class RunRecordsThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        platform::posix::MapDrive(L'E', m_card.Path(), platform::kDriveRemovable, L"CARD");
        platform::posix::SetDriveSerial(L'E', 0x1234ABCD);
        platform::posix::MapDrive(L'D', m_disk.Path(), platform::kDriveFixed);
        m_card.MakeFolder("DCIM");
        m_card.MakeFolder("DCIM/100");
        m_card.MakeFolder("MISC");
        m_card.WriteFile("DCIM/100/a.jpg", std::string(300000, 'a'));
        m_card.WriteFile("DCIM/100/b.jpg", "bee");
        m_card.WriteFile("top.txt", "top");
    }
    void TearDown() override { platform::posix::UnmapAllDrives(); }

    // One run of E: from Attach to the end; the lines it logged.
    std::vector<std::wstring> RunCopy(int32_t verify, int32_t onlyNew, bool intoCopyTo = false) {
        RunOptions options = copytest::NumberedRunIn(L"D:\\");
        if (intoCopyTo)
            options.folderNaming = FolderNaming{-1};
        options.copying = {verify, onlyNew};
        const size_t before = m_host.Lines().size();
        m_job.Attach(options);
        EXPECT_TRUE(m_host.WaitForRunEnd());
        std::vector<std::wstring> texts = m_host.Texts();
        return std::vector<std::wstring>(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end());
    }

    static bool Has(const std::vector<std::wstring>& texts, const std::wstring& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    TempFolder m_card;
    TempFolder m_disk;
    RecordingHost m_host;
    CDriveJob m_job{kDriveE, &m_host};
};

} // namespace

TEST_F(RunRecordsThreaded, VerifiedRunWritesAListThatSha256sumAccepts) {
    const std::vector<std::wstring> texts = RunCopy(1, 0);
    EXPECT_EQ(texts.back(), L"Finished. 3 files verified.");
    EXPECT_EQ(m_disk.ReadFile("000/DCIM/100/a.jpg"), std::string(300000, 'a'));
    EXPECT_FALSE(m_disk.Exists("000/000.sha256")) << "the run's folder stays an exact copy";
    const std::string list = m_disk.ReadFile("000.sha256");
    EXPECT_EQ(list.rfind("# Harvex 2.0 checksum list", 0), 0u) << list;
    EXPECT_NE(list.find("# Drive E:, volume label \"CARD\", serial number 1234-ABCD\n"), std::string::npos);
    EXPECT_NE(list.find("  000/DCIM/100/b.jpg\n"), std::string::npos);
    EXPECT_EQ(list.find("Not complete"), std::string::npos);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n') - std::count(list.begin(), list.end(), '#'), 3);
    const std::string check = "cd '" + m_disk.Path() + "' && sha256sum --quiet --strict -c 000.sha256";
    EXPECT_EQ(std::system(check.c_str()), 0);
    EXPECT_FALSE(m_disk.Exists("000.copied")) << "no record unless only new files are copied";

    // A stopped run's list says so.
    m_host.onProgress = [this](const ProgressReport&) { m_job.Stop(); };
    RunCopy(1, 0);
    m_host.onProgress = nullptr;
    EXPECT_NE(m_disk.ReadFile("001.sha256").find("# Not complete: the run was stopped"), std::string::npos);
}

TEST_F(RunRecordsThreaded, OnlyNewFilesAreCopiedAndNothingNewMakesNoFolder) {
    RunCopy(0, 1);
    EXPECT_TRUE(m_disk.Exists("000/DCIM/100/b.jpg"));
    EXPECT_TRUE(m_disk.Exists("000.copied"));

    m_card.WriteFile("DCIM/100/c.jpg", "new one");
    m_card.WriteFile("DCIM/100/b.jpg", "bee!"); // changed size
    std::vector<std::wstring> texts = RunCopy(0, 1);
    EXPECT_TRUE(Has(texts, L"Skipped E:\\DCIM\\100\\a.jpg: copied before."));
    EXPECT_EQ(m_disk.ReadFile("001/DCIM/100/c.jpg"), "new one");
    EXPECT_EQ(m_disk.ReadFile("001/DCIM/100/b.jpg"), "bee!");
    EXPECT_FALSE(m_disk.Exists("001/DCIM/100/a.jpg"));
    EXPECT_FALSE(m_disk.Exists("001/top.txt"));
    EXPECT_FALSE(m_disk.Exists("001/MISC")) << "only the folders that lead to new files";

    texts = RunCopy(1, 1);
    EXPECT_TRUE(Has(texts, L"Nothing new on E:: 4 files were copied before.")) << texts.back();
    EXPECT_EQ(texts.back(), L"Finished. 0 files verified.");
    EXPECT_FALSE(m_disk.Exists("002")) << "nothing new makes no folder";
    EXPECT_FALSE(m_disk.Exists("002.sha256"));
    EXPECT_FALSE(m_disk.Exists("002.copied"));

    // Deleting a run's folder makes its files new again; another volume's records do not count.
    platformtest::RemoveTree(m_disk.At("001"));
    platform::posix::SetDriveSerial(L'E', 0x0BADF00D);
    RunCopy(0, 1);
    EXPECT_TRUE(m_disk.Exists("001/top.txt")) << "another serial number: everything is new";
    platform::posix::SetDriveSerial(L'E', 0x1234ABCD);
    platformtest::RemoveTree(m_disk.At("000"));
    RunCopy(0, 1);
    // Both runs of this volume are gone now; the freed number 000 is taken again and the old record
    // beside it is replaced.
    EXPECT_TRUE(m_disk.Exists("000/top.txt")) << "the earlier copies were deleted";
    EXPECT_TRUE(m_disk.Exists("000/DCIM/100/c.jpg"));
    const std::string record = m_disk.ReadFile("000.copied");
    EXPECT_EQ(std::count(record.begin(), record.end(), '\t'), 3 * 4) << "four files, each line once";
}

// The user deleted a run's folder; the next run gets its name. The side files left beside it speak
// for another card: they are replaced, or removed when this run writes none.
TEST_F(RunRecordsThreaded, SideFilesOfAReusedFolderNameAreThisRunsOwn) {
    RunCopy(1, 1);
    platformtest::RemoveTree(m_disk.At("000"));
    ::chmod(m_disk.At("000.sha256").c_str(), 0444); // an open for writing would fail
    m_card.WriteFile("top.txt", "another card's top");
    platformtest::RemoveTree(m_card.At("DCIM"));
    m_card.WriteFile("new.txt", "new");

    std::vector<std::wstring> texts = RunCopy(1, 0);
    EXPECT_EQ(texts.back(), L"Finished. 2 files verified.");
    const std::string list = m_disk.ReadFile("000.sha256");
    EXPECT_EQ(list.find("DCIM"), std::string::npos) << list;
    const std::string check = "cd '" + m_disk.Path() + "' && sha256sum --quiet --strict -c 000.sha256";
    EXPECT_EQ(std::system(check.c_str()), 0);
    EXPECT_FALSE(m_disk.Exists("000.copied")) << "a record this run does not write is not left to vouch";

    platformtest::RemoveTree(m_disk.At("000"));
    RunCopy(0, 0);
    EXPECT_FALSE(m_disk.Exists("000.sha256")) << "nor a list";

    // Neither file can be written: both failures are told and counted.
    m_disk.MakeFolder("001.sha256");
    m_disk.MakeFolder("001.copied");
    texts = RunCopy(1, 1);
    EXPECT_TRUE(Has(texts, L"Cannot write D:\\001.sha256: Access is denied.")) << texts.back();
    EXPECT_TRUE(Has(texts, L"Cannot write D:\\001.copied: Access is denied."));
    EXPECT_EQ(texts.back(), L"Finished with 2 errors.");
    EXPECT_FALSE(m_disk.Exists("001.sha256.harvex-partial"));
    EXPECT_FALSE(m_disk.Exists("001.copied.harvex-partial"));
}

// Copies that got other names than the volume's ("a." -> "a_", a name the user's own file holds in
// "Copy to") count as copied: a card that comes back adds nothing.
TEST_F(RunRecordsThreaded, CopiesUnderOtherNamesAreNotCopiedAgain) {
    m_card.WriteFile("a.", "dot");
    m_card.WriteFile("com1", "device");
    m_card.WriteFile("notes.txt", "the card's notes");
    m_disk.WriteFile("notes.txt", "the user's notes");
    RunCopy(0, 1, true);
    EXPECT_EQ(m_disk.ReadFile("notes (2).txt"), "the card's notes");
    EXPECT_EQ(m_disk.ReadFile("a_"), "dot");

    const std::vector<std::wstring> texts = RunCopy(0, 1, true);
    EXPECT_TRUE(Has(texts, L"Nothing new on E:: 6 files were copied before.")) << texts.back();
    EXPECT_FALSE(m_disk.Exists("notes (3).txt"));
    EXPECT_FALSE(m_disk.Exists("a_ (2)"));
}

// A run that is killed after a flush has left the files it filed in its list and record.
TEST_F(RunRecordsThreaded, FlushedLinesAreOnTheDiskBeforeTheRunEnds) {
    m_disk.MakeFolder("000");
    RunPlace place{L"E:", L"D:\\000", false, L"CARD", 0x1234ABCD, {}};
    RunRecords records(CopyingOptions{1, 1}, std::move(place));
    for (int i = 0; i < 5; ++i) {
        const std::wstring name = L"IMG_" + std::to_wstring(i) + L".JPG";
        records.FileCopied(name, name, 10, 1, platform::Sha256Digest{});
    }
    records.FlushIfDue();
    EXPECT_EQ(m_disk.ReadFile("000.sha256"), "") << "held for up to a second";
    records.Flush();
    const std::string list = m_disk.ReadFile("000.sha256");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n') - std::count(list.begin(), list.end(), '#'), 5)
        << list;
    EXPECT_NE(list.find("  000/IMG_4.JPG\n"), std::string::npos);
    EXPECT_EQ(list.find("# Ended"), std::string::npos);
    const std::string record = m_disk.ReadFile("000.copied");
    EXPECT_EQ(std::count(record.begin(), record.end(), '\t'), 3 * 5) << record;
}
