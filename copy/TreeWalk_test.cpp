// Whole runs of a job over real folders: E: is the card, D: the disk that the copies go to.
#include "copy/CopyTesting_test.h"
#include "copy/DestinationNaming.h"
#include "copy/DriveJob.h"
#include "copy/Progress.h"
#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using copytest::RecordingHost;
using copytest::TempFolder;

constexpr int32_t kDriveE = 4;

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 1000) & 0xFF);
    return data;
}

size_t IndexOf(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return static_cast<size_t>(std::find(texts.begin(), texts.end(), text) - texts.begin());
}

class TreeWalkThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        platform::posix::MapDrive(L'E', m_card.Path(), platform::kDriveRemovable, L"CARD");
        platform::posix::MapDrive(L'D', m_disk.Path(), platform::kDriveFixed);
    }
    void TearDown() override { platform::posix::UnmapAllDrives(); }

    // One run of E: from Attach to the end, by default into a numbered folder below D:, open to all
    // so that a worker acting as "nobody" can fill it.
    void RunCopy() { RunCopy(copytest::NumberedRunIn(L"D:\\", &m_openFolders)); }
    void RunCopy(RunOptions options) {
        m_job.Attach(std::move(options));
        ASSERT_TRUE(m_host.WaitForRunEnd());
        EXPECT_FALSE(m_job.IsRunning());
    }

    std::vector<std::wstring> Texts(LogLevel level) {
        std::vector<std::wstring> texts;
        for (const copytest::LoggedLine& line : m_host.Lines()) {
            if (line.level == level)
                texts.push_back(line.text);
        }
        return texts;
    }

    TempFolder m_card;
    TempFolder m_disk;
    copytest::OpenFolderNaming m_openFolders;
    RecordingHost m_host;
    CDriveJob m_job{kDriveE, &m_host};
};

TEST_F(TreeWalkThreaded, FilesOnlyInTheRootGoIntoTheDestinationItself) {
    const std::string data = Pattern(100000);
    m_card.WriteFile("a.txt", "alpha");
    m_card.WriteFile("b.bin", data);
    RunCopy();

    EXPECT_EQ(m_job.Destination(), L"D:\\000");
    EXPECT_EQ(m_disk.ReadFile("000/a.txt"), "alpha");
    EXPECT_EQ(m_disk.ReadFile("000/b.bin"), data);
    EXPECT_TRUE(Texts(LogLevel::Folders).empty());
    std::vector<std::wstring> files = Texts(LogLevel::Files);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"E:\\a.txt", L"E:\\b.bin"}));
    EXPECT_EQ(Texts(LogLevel::Basic),
              (std::vector<std::wstring>{L"drive attached", L"Copying...", L"Finished."}));
    EXPECT_EQ(m_job.DoneBytes(), 100005u);
    EXPECT_EQ(m_job.ErrorCount(), 0u);
    EXPECT_EQ(m_host.Completions(), std::vector<int32_t>{kDriveE});

    // The history holds every line in the order shown.
    std::vector<std::wstring> history;
    for (const auto& [tick, text] : m_job.History())
        history.push_back(text);
    EXPECT_EQ(history, m_host.Texts());
}

TEST_F(TreeWalkThreaded, ReportsGrowAndEndWithCompletion) {
    m_card.WriteFile("one", Pattern(300000));
    m_card.WriteFile("two", Pattern(200000));
    RunCopy();
    const std::vector<ProgressReport> reports = m_host.Reports();
    ASSERT_GE(reports.size(), 3u);
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_TRUE(std::isfinite(reports[i].fraction));
        EXPECT_GE(reports[i].fraction, 0.0f);
        EXPECT_EQ(reports[i].state, RunState::Running);
        EXPECT_EQ(reports[i].driveIndex, kDriveE);
        EXPECT_EQ(reports[i].sizeText, m_job.SizeText());
        if (i > 0) {
            EXPECT_GE(reports[i].fraction, reports[i - 1].fraction);
            EXPECT_GE(reports[i].elapsed, reports[i - 1].elapsed);
        }
    }
    EXPECT_EQ(reports.back().state, RunState::Finished);
    EXPECT_EQ(reports.back().sizeText, L"");
    EXPECT_EQ(reports.back().elapsed, 0u);
    EXPECT_EQ(reports.back().errorCount, 0u);
    EXPECT_EQ(m_job.SizeText(), FormatSize(m_job.TotalBytes()));
}

TEST_F(TreeWalkThreaded, FoldersComeBeforeTheirContentAndGetTheirTimesAfterIt) {
    m_card.MakeFolder("DCIM");
    m_card.MakeFolder("DCIM/100MEDIA");
    m_card.MakeFolder("DCIM/empty");
    m_card.WriteFile("DCIM/100MEDIA/IMG_0001.JPG", "one");
    m_card.WriteFile("DCIM/100MEDIA/IMG_0002.JPG", "two");
    m_card.SetModifiedSeconds("DCIM/100MEDIA", 1300000000);
    m_card.SetModifiedSeconds("DCIM/empty", 1200000000);
    m_card.SetModifiedSeconds("DCIM", 1100000000);
    RunCopy();

    const std::vector<std::wstring> texts = m_host.Texts();
    const size_t dcim = IndexOf(texts, L"E:\\DCIM");
    const size_t media = IndexOf(texts, L"E:\\DCIM\\100MEDIA");
    const size_t image = IndexOf(texts, L"E:\\DCIM\\100MEDIA\\IMG_0001.JPG");
    ASSERT_LT(image, texts.size());
    EXPECT_LT(dcim, media);
    EXPECT_LT(media, image);
    EXPECT_LT(IndexOf(texts, L"E:\\DCIM\\empty"), texts.size());
    EXPECT_EQ(m_disk.ReadFile("000/DCIM/100MEDIA/IMG_0002.JPG"), "two");
    EXPECT_TRUE(m_disk.Exists("000/DCIM/empty"));
    EXPECT_EQ(m_disk.ModifiedSeconds("000/DCIM/100MEDIA"), 1300000000);
    EXPECT_EQ(m_disk.ModifiedSeconds("000/DCIM/empty"), 1200000000);
    EXPECT_EQ(m_disk.ModifiedSeconds("000/DCIM"), 1100000000);
    EXPECT_EQ(Texts(LogLevel::Basic).back(), L"Finished.");
}

// A name of dots alone names nothing on Windows: it is copied under a safe name.
TEST_F(TreeWalkThreaded, DotNamesAreCopied) {
    m_card.MakeFolder("...");
    m_card.MakeFolder(".hidden");
    m_card.WriteFile(".../in-dots", "1");
    m_card.WriteFile(".hidden/in-hidden", "2");
    m_card.WriteFile(".z", "3");
    RunCopy();
    EXPECT_EQ(m_disk.ReadFile("000/___/in-dots"), "1");
    EXPECT_EQ(m_disk.ReadFile("000/.hidden/in-hidden"), "2");
    EXPECT_EQ(m_disk.ReadFile("000/.z"), "3");
    std::vector<std::wstring> folders = Texts(LogLevel::Folders);
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::wstring>{L"E:\\...", L"E:\\.hidden"}));
    EXPECT_EQ(m_job.ErrorCount(), 0u);
}

TEST_F(TreeWalkThreaded, AReadOnlyFolderIsFilledFirstAndMarkedAfter) {
    m_card.MakeFolder("ro");
    m_card.WriteFile("ro/f", "inside", 0444);
    ::chmod(m_card.At("ro").c_str(), 0555);
    RunCopy();
    EXPECT_EQ(m_disk.ReadFile("000/ro/f"), "inside");
    EXPECT_EQ(m_disk.Mode("000/ro/f") & 0222, 0u);
    EXPECT_EQ(m_disk.Mode("000/ro") & 0222, 0u);
    EXPECT_EQ(Texts(LogLevel::Basic).back(), L"Finished.");
}

TEST_F(TreeWalkThreaded, EntriesThatCannotBeCopiedAreLoggedCountedAndPassedOver) {
    ASSERT_EQ(::mkfifo(m_card.At("pipe").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("nowhere", m_card.At("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("loop", m_card.At("loop").c_str()), 0);
    m_card.WriteFile("ok.txt", "fine");
    RunCopy();

    std::vector<std::wstring> basic = Texts(LogLevel::Basic);
    EXPECT_EQ(basic.back(), L"Finished with 3 errors.");
    std::sort(basic.begin(), basic.end());
    for (const wchar_t* line : {L"CopyFileEx failed for E:\\pipe: The request is not supported.",
                                L"Not copied: E:\\dangling is a link.", L"Not copied: E:\\loop is a link."})
        EXPECT_EQ(std::count(basic.begin(), basic.end(), line), 1) << platform::ToUtf8(line);
    // Each file still gets its file line; a link is no file.
    EXPECT_EQ(Texts(LogLevel::Files).size(), 2u);
    EXPECT_EQ(m_disk.ReadFile("000/ok.txt"), "fine");
    EXPECT_FALSE(m_disk.Exists("000/pipe") || m_disk.Exists("000/dangling") || m_disk.Exists("000/loop"));
    EXPECT_EQ(m_job.ErrorCount(), 3u);
    EXPECT_EQ(m_host.Reports().back().errorCount, 3u);
    EXPECT_EQ(m_host.Reports().back().state, RunState::Finished);
}

// Permission denials need a worker without root's powers: it gives them up when it starts.
TEST_F(TreeWalkThreaded, DeniedFilesAndFoldersAreReported) {
    m_card.WriteFile("secret", "x", 0);
    m_card.MakeFolder("locked");
    m_card.WriteFile("locked/inner", "y");
    ::chmod(m_card.At("locked").c_str(), 0);
    m_card.WriteFile("open.txt", "z");
    std::atomic<bool> dropped{true};
    m_host.onLine = [&dropped](const copytest::LoggedLine& line) {
        if (line.text == L"Copying...")
            dropped = copytest::ActAsNobodyOnThisThread();
    };
    RunCopy();
    if (!dropped)
        GTEST_SKIP() << "cannot act as another user here";

    const std::vector<std::wstring> basic = Texts(LogLevel::Basic);
    EXPECT_LT(IndexOf(basic, L"CopyFileEx failed for E:\\secret: Access is denied."), basic.size());
    EXPECT_LT(IndexOf(basic, L"FindFirstFile failed for E:\\locked: Access is denied."), basic.size());
    EXPECT_EQ(basic.back(), L"Finished with 2 errors.");
    // The unlistable folder is still made, empty.
    EXPECT_TRUE(m_disk.Exists("000/locked"));
    EXPECT_FALSE(m_disk.Exists("000/locked/inner"));
    EXPECT_FALSE(m_disk.Exists("000/secret"));
    EXPECT_EQ(m_disk.ReadFile("000/open.txt"), "z");
}

TEST_F(TreeWalkThreaded, StopDuringALargeFileLeavesNoPartOfIt) {
    m_card.MakeFolder("A");
    m_card.WriteFile("A/huge.bin", Pattern(40u << 20));
    m_card.WriteFile("A/small1", "1");
    m_card.WriteFile("A/small2", "2");
    m_card.SetModifiedSeconds("A", 1000000000);
    // Stop once 4 MiB more than at the folder's first report have been copied: that can only be
    // inside huge.bin, whose first chunk is larger, and long before its end.
    std::atomic<bool> inFolder{false};
    size_t linesAtStop = 0;
    double startFraction = -1.0;
    m_host.onLine = [&](const copytest::LoggedLine& line) {
        if (line.text == L"E:\\A")
            inFolder = true;
    };
    m_host.onProgress = [&](const ProgressReport& report) {
        if (!inFolder || m_job.StopRequested())
            return;
        if (startFraction < 0.0) {
            startFraction = report.fraction;
            return;
        }
        const double copied = (report.fraction - startFraction) * static_cast<double>(m_job.TotalBytes());
        if (copied >= double(4u << 20)) {
            linesAtStop = m_host.Lines().size();
            m_job.Stop();
        }
    };
    RunCopy();

    EXPECT_EQ(Texts(LogLevel::Basic).back(), L"Stopped.");
    EXPECT_EQ(m_host.Reports().back().state, RunState::Stopped);
    EXPECT_TRUE(m_host.Completions().empty());
    EXPECT_FALSE(m_disk.Exists("000/A/huge.bin"));
    const std::vector<std::wstring> files = Texts(LogLevel::Files);
    EXPECT_EQ(IndexOf(files, L"E:\\A\\huge.bin"), files.size());
    // Nothing is logged after the stop but "Stopped."; the folder keeps the time it was made with.
    ASSERT_GT(linesAtStop, 0u);
    EXPECT_EQ(m_host.Lines().size(), linesAtStop + 1);
    EXPECT_NE(m_disk.ModifiedSeconds("000/A"), 1000000000);
}

TEST_F(TreeWalkThreaded, StopBeforeTheWalkCopiesNothing) {
    m_card.MakeFolder("DCIM");
    m_card.WriteFile("DCIM/x", "x");
    m_host.onLine = [this](const copytest::LoggedLine& line) {
        if (line.text == L"Copying...")
            m_job.Stop();
    };
    RunCopy();
    EXPECT_EQ(m_host.Texts(), (std::vector<std::wstring>{L"drive attached", L"Copying...", L"Stopped."}));
    EXPECT_FALSE(m_disk.Exists("000/DCIM"));
    EXPECT_EQ(m_host.Reports().back().state, RunState::Stopped);
}

TEST_F(TreeWalkThreaded, PathsBeyondWindowsPlainLimitAreCopied) {
    std::string rel;
    for (char c : {'p', 'q', 'r'}) {
        rel += (rel.empty() ? "" : "/") + std::string(120, c);
        m_card.MakeFolder(rel);
    }
    m_card.WriteFile(rel + "/deep.txt", "deep");
    RunCopy();
    EXPECT_EQ(m_disk.ReadFile("000/" + rel + "/deep.txt"), "deep");
    EXPECT_EQ(m_job.ErrorCount(), 0u);
}

// A "Copy to" used as the destination itself (no folder-name rule): the user's own file stays,
// the copy takes the next free name, and so does the copy of the next arrival.
TEST_F(TreeWalkThreaded, AnExistingFileInTheDestinationIsKept) {
    m_disk.MakeFolder("existing", 0777);
    m_disk.WriteFile("existing/a.txt", "the user's own");
    m_card.WriteFile("a.txt", "new");
    RunOptions intoExisting;
    intoExisting.copyTo = L"D:\\existing\\"; // no naming rule: the folder itself
    RunCopy(intoExisting);
    RunCopy(intoExisting);
    EXPECT_EQ(m_disk.ReadFile("existing/a.txt"), "the user's own");
    EXPECT_EQ(m_disk.ReadFile("existing/a (2).txt"), "new");
    EXPECT_EQ(m_disk.ReadFile("existing/a (3).txt"), "new");
    const std::vector<std::wstring> basic = Texts(LogLevel::Basic);
    EXPECT_EQ(std::count(basic.begin(), basic.end(), L"Finished."), 2);
    EXPECT_LT(IndexOf(basic, L"E:\\a.txt is copied as a (3).txt: its name is taken in the destination."),
              basic.size());
}

// A "Copy to" folder on the card itself: the new copy is not copied into itself again.
TEST_F(TreeWalkThreaded, TheDestinationInsideTheSourceIsPassedOver) {
    m_card.MakeFolder("backup");
    m_card.WriteFile("photo.jpg", "p");
    RunCopy(copytest::NumberedRunIn(L"E:\\backup\\", &m_openFolders));
    EXPECT_EQ(m_job.Destination(), L"E:\\backup\\000");
    const std::vector<std::wstring> basic = Texts(LogLevel::Basic);
    EXPECT_LT(IndexOf(basic, L"Skipped E:\\backup\\000: it is the destination of this copy."), basic.size());
    EXPECT_EQ(m_card.ReadFile("backup/000/photo.jpg"), "p");
    EXPECT_TRUE(m_card.Exists("backup/000/backup"));
    EXPECT_FALSE(m_card.Exists("backup/000/backup/000"));
    EXPECT_EQ(basic.back(), L"Finished.");
}

// Drive F: is not there at all: no total, and a root that cannot be listed.
TEST_F(TreeWalkThreaded, AMissingVolumeEndsWithAnError) {
    CDriveJob job(5, &m_host);
    job.Attach(copytest::NumberedRunIn(L"D:\\", &m_openFolders));
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(m_host.Texts(),
              (std::vector<std::wstring>{
                  L"drive attached",
                  L"Copying...",
                  L"GetDiskFreeSpaceEx failed for F:\\: the total size is unknown.",
                  L"FindFirstFile failed for F:\\: The system cannot find the path specified.",
                  L"Finished with 1 error.",
              }));
    EXPECT_EQ(job.SizeText(), L"0.00 B");
    EXPECT_EQ(job.TotalBytes(), 0u);
}

// Names in log lines cannot break a line or forge one.
TEST_F(TreeWalkThreaded, ControlCharactersInNamesAreShownAsQuestionMarks) {
    m_card.WriteFile("evil\r\n[E]: Finished.", "x");
    RunCopy();
    const std::vector<std::wstring> files = Texts(LogLevel::Files);
    EXPECT_LT(IndexOf(files, L"E:\\evil??[E]: Finished."), files.size());
    for (const auto& [tick, text] : m_job.History())
        EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_EQ(m_disk.ReadFile("000/evil__[E]_ Finished_"), "x");
    EXPECT_EQ(Texts(LogLevel::Basic).back(), L"Finished.");
}

} // namespace
