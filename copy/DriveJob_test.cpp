// The life of a job: attach, stop, re-attach while a run goes on, detach, quit. The test's thread
// plays the user-interface thread; workers are real threads.
#include "copy/DriveJob.h"

#include "copy/CopyTesting_test.h"
#include "copy/DestinationNaming.h"
#include "copy/Progress.h"
#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using copytest::Gate;
using copytest::LoggedLine;
using copytest::RecordingHost;
using copytest::TempFolder;

constexpr int32_t kDriveE = 4;
constexpr int32_t kDriveF = 5;

std::vector<std::wstring> HistoryTexts(const CDriveJob& job) {
    std::vector<std::wstring> texts;
    for (const auto& [tick, text] : job.History())
        texts.push_back(text);
    return texts;
}

// Holds the first few runs at their "Copying..." line until the test lets them go.
class RunHolder {
public:
    explicit RunHolder(int runsToHold) : m_runsToHold(runsToHold) {}

    void OnLine(const LoggedLine& line) {
        if (line.text != L"Copying..." || m_held.fetch_add(1) >= m_runsToHold)
            return;
        m_arrived.fetch_add(1);
        m_release.WaitOpen();
    }
    // Waits until count held runs are waiting.
    bool WaitHeld(int count) {
        for (int i = 0; i < 6000 && m_arrived.load() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return m_arrived.load() >= count;
    }
    void Release() { m_release.Open(); }

private:
    const int m_runsToHold;
    std::atomic<int> m_held{0};
    std::atomic<int> m_arrived{0};
    Gate m_release;
};

class DriveJobThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        m_card.WriteFile("photo.jpg", "picture");
        platform::posix::MapDrive(L'E', m_card.Path(), platform::kDriveRemovable, L"CARD");
        platform::posix::MapDrive(L'F', m_card.Path(), platform::kDriveRemovable, L"CARD");
        platform::posix::MapDrive(L'D', m_disk.Path(), platform::kDriveFixed);
    }
    // What the dialog hands a job at an arrival: a new numbered folder below D:.
    static RunOptions Run() { return copytest::NumberedRunIn(L"D:\\"); }
    void TearDown() override { platform::posix::UnmapAllDrives(); }

    void HoldRuns(RunHolder& holder) {
        m_host.onLine = [&holder](const LoggedLine& line) { holder.OnLine(line); };
    }

    TempFolder m_card;
    TempFolder m_disk;
    RecordingHost m_host;
};

TEST_F(DriveJobThreaded, AnArrivalDuringARunStopsItBeforeTheNewRun) {
    CDriveJob job(kDriveE, &m_host);
    RunHolder holder(1);
    HoldRuns(holder);
    job.Attach(Run());
    ASSERT_TRUE(holder.WaitHeld(1));
    EXPECT_EQ(job.Destination(), L"D:\\000");

    // The second arrival does not wait for the first run.
    job.Attach(Run());
    EXPECT_TRUE(job.IsRunning());
    EXPECT_TRUE(job.StopRequested());
    holder.Release();
    ASSERT_TRUE(m_host.WaitForRunEnd()); // the old run ends; the new one starts on the same worker
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_FALSE(job.IsRunning());

    EXPECT_EQ(m_host.Texts(LogLevel::Basic),
              (std::vector<std::wstring>{L"drive attached", L"Copying...", L"drive attached", L"Stopped.",
                                         L"Copying...", L"Finished."}));
    EXPECT_EQ(job.Destination(), L"D:\\001");
    EXPECT_FALSE(m_disk.Exists("000/photo.jpg"));
    EXPECT_EQ(m_disk.ReadFile("001/photo.jpg"), "picture");
    EXPECT_EQ(m_host.Completions(), std::vector<int32_t>{kDriveE});
    const std::vector<ProgressReport> reports = m_host.Reports();
    EXPECT_EQ(reports.front().state, RunState::Stopped);
    EXPECT_EQ(reports.back().state, RunState::Finished);
}

TEST_F(DriveJobThreaded, StopEndsTwoRunsAtOnce) {
    CDriveJob jobE(kDriveE, &m_host);
    CDriveJob jobF(kDriveF, &m_host);
    RunHolder holder(2);
    HoldRuns(holder);
    jobE.Attach(Run());
    jobF.Attach(Run());
    ASSERT_TRUE(holder.WaitHeld(2));
    jobE.Stop();
    jobF.Stop();
    holder.Release();
    ASSERT_TRUE(m_host.WaitForRunEnd());
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(HistoryTexts(jobE), (std::vector<std::wstring>{L"drive attached", L"Copying...", L"Stopped."}));
    EXPECT_EQ(HistoryTexts(jobF), (std::vector<std::wstring>{L"drive attached", L"Copying...", L"Stopped."}));
    EXPECT_TRUE(m_host.Completions().empty());
    EXPECT_FALSE(jobE.IsRunning() || jobF.IsRunning());
}

TEST_F(DriveJobThreaded, AStopWhileIdleIsClearedByTheNextArrival) {
    CDriveJob job(kDriveE, &m_host);
    job.Stop();
    EXPECT_FALSE(job.IsRunning());
    EXPECT_TRUE(m_host.Lines().empty());
    job.Attach(Run());
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(m_host.Texts(LogLevel::Basic).back(), L"Finished.");
    EXPECT_EQ(m_disk.ReadFile("000/photo.jpg"), "picture");
}

TEST_F(DriveJobThreaded, NoDestinationStartsNoRun) {
    CDriveJob job(kDriveE, &m_host);
    job.Attach(copytest::NumberedRunIn(L""));
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(m_host.Texts(),
              (std::vector<std::wstring>{
                  L"drive attached",
                  L"No copy is made: the \"Copy to\" folder is empty, missing or cannot be written.",
              }));
    ASSERT_EQ(m_host.Reports().size(), 1u);
    EXPECT_EQ(MakeProgressView(m_host.Reports().front()).text, m_host.Texts().back())
        << "the progress line says why";
    // The next arrival with a destination copies.
    job.Attach(Run());
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(m_host.Texts(LogLevel::Basic).back(), L"Finished.");
}

TEST_F(DriveJobThreaded, ARemovalDuringARunOnlyLogs) {
    CDriveJob job(kDriveE, &m_host);
    RunHolder holder(1);
    HoldRuns(holder);
    job.Attach(Run());
    ASSERT_TRUE(holder.WaitHeld(1));
    job.Detach();
    EXPECT_FALSE(job.StopRequested());
    holder.Release();
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(m_host.Texts(LogLevel::Basic),
              (std::vector<std::wstring>{L"drive attached", L"Copying...", L"drive detached", L"Finished."}));
    EXPECT_EQ(m_host.Completions().size(), 1u);
}

TEST_F(DriveJobThreaded, ClearEmptiesTheHistoryWhileARunGoesOn) {
    CDriveJob job(kDriveE, &m_host);
    RunHolder holder(1);
    HoldRuns(holder);
    job.Attach(Run());
    ASSERT_TRUE(holder.WaitHeld(1));
    job.ClearLog();
    EXPECT_TRUE(job.History().empty());
    holder.Release();
    ASSERT_TRUE(m_host.WaitForRunEnd());
    const CDriveJob::LogHistory history = job.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history.front().second, L"E:\\photo.jpg");
    EXPECT_EQ(history.back().second, L"Finished.");
    EXPECT_LE(static_cast<uint32_t>(history.back().first - history.front().first), 60000u);
    // The host still saw every line.
    EXPECT_EQ(m_host.Lines().size(), 4u);
}

TEST_F(DriveJobThreaded, StopDropsARunThatWaitsForTheRunBeforeIt) {
    CDriveJob job(kDriveE, &m_host);
    RunHolder holder(1);
    HoldRuns(holder);
    job.Attach(Run());
    ASSERT_TRUE(holder.WaitHeld(1));
    job.Attach(Run()); // the card is put in again while its first copy runs
    job.Stop();
    holder.Release();
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(m_host.Texts(LogLevel::Basic),
              (std::vector<std::wstring>{L"drive attached", L"Copying...", L"drive attached", L"Stopped."}));
    EXPECT_FALSE(m_disk.Exists("001"));
    // A later arrival copies again.
    job.Attach(Run());
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(m_disk.ReadFile("001/photo.jpg"), "picture");
}

// A "Copy to" whose folder takes long to make (a dead share) holds only its own worker: the
// arrival returns at once, another drive copies meanwhile, and the job does not count as copying,
// so quitting does not wait for it.
TEST_F(DriveJobThreaded, ADestinationThatBlocksHoldsOnlyItsOwnWorker) {
    class BlockingNaming : public NamingEnvironment {
    public:
        platform::ErrorCode CreateFolder(const std::wstring& path) override {
            entered.Open();
            release.WaitOpen();
            return NamingEnvironment::CreateFolder(path);
        }
        Gate entered;
        Gate release;
    } blocking;
    CDriveJob jobE(kDriveE, &m_host);
    CDriveJob jobF(kDriveF, &m_host);
    jobE.Attach(copytest::NumberedRunIn(L"D:\\", &blocking));
    ASSERT_TRUE(blocking.entered.WaitOpen());
    EXPECT_TRUE(jobE.IsRunning());
    EXPECT_FALSE(jobE.IsCopying());
    jobF.Attach(Run());
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(HistoryTexts(jobF).back(), L"Finished.");
    EXPECT_EQ(HistoryTexts(jobE), std::vector<std::wstring>{L"drive attached"});
    blocking.release.Open();
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_EQ(HistoryTexts(jobE).back(), L"Finished.");
    EXPECT_EQ(m_disk.ReadFile("000/photo.jpg"), "picture");
    EXPECT_EQ(m_disk.ReadFile("001/photo.jpg"), "picture");
}

TEST_F(DriveJobThreaded, QuittingDropsARunThatWasWaiting) {
    CDriveJob job(kDriveE, &m_host);
    RunHolder holder(1);
    HoldRuns(holder);
    job.Attach(Run());
    ASSERT_TRUE(holder.WaitHeld(1));
    job.Attach(Run()); // a run now waits for this one
    job.Close();
    job.Attach(Run()); // an arrival after quitting began is only logged
    holder.Release();
    ASSERT_TRUE(m_host.WaitForRunEnd());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_TRUE(job.JoinIfEnded());
    EXPECT_EQ(m_host.Texts(LogLevel::Basic),
              (std::vector<std::wstring>{L"drive attached", L"Copying...", L"drive attached",
                                         L"drive attached", L"Stopped."}));
    EXPECT_FALSE(m_disk.Exists("001"));
}

TEST_F(DriveJobThreaded, DestroyingARunningJobStopsAndJoinsIt) {
    auto job = std::make_unique<CDriveJob>(kDriveE, &m_host);
    CDriveJob* jobPointer = job.get();
    // The run waits at its start until the stop request arrives.
    m_host.onLine = [jobPointer](const LoggedLine& line) {
        if (line.text != L"Copying...")
            return;
        for (int i = 0; i < 6000 && !jobPointer->StopRequested(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    job->Attach(Run());
    job.reset();
    EXPECT_EQ(m_host.Texts(LogLevel::Basic),
              (std::vector<std::wstring>{L"drive attached", L"Copying...", L"Stopped."}));
    EXPECT_FALSE(m_disk.Exists("000/photo.jpg"));
}

TEST(DriveJob, SourceIsTheLetterAndAColon) {
    RecordingHost host;
    EXPECT_EQ(CDriveJob(0, &host).Source(), L"A:");
    EXPECT_EQ(CDriveJob(kDriveE, &host).Source(), L"E:");
    EXPECT_EQ(CDriveJob(25, &host).Source(), L"Z:");
}

TEST(DriveJob, LogKeepsTickAndTextInOrder) {
    RecordingHost host;
    CDriveJob job(kDriveE, &host);
    job.Log(LogLevel::Basic, L"first");
    job.Log(LogLevel::Files, L"second");
    const CDriveJob::LogHistory history = job.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history.front().second, L"first");
    EXPECT_EQ(history.back().second, L"second");
    EXPECT_LE(static_cast<uint32_t>(history.back().first - history.front().first), 1000u);
    const std::vector<LoggedLine> lines = host.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].level, LogLevel::Files);
    EXPECT_EQ(lines[1].driveIndex, kDriveE);
    job.ClearLog();
    EXPECT_TRUE(job.History().empty());
}

TEST(DriveJob, TheHistoryKeepsOnlyTheNewestLines) {
    RecordingHost host;
    CDriveJob job(kDriveE, &host);
    for (size_t i = 0; i < CDriveJob::kHistoryLines + 10; ++i)
        job.Log(LogLevel::Files, std::to_wstring(i));
    const CDriveJob::LogHistory history = job.History();
    ASSERT_EQ(history.size(), CDriveJob::kHistoryLines);
    EXPECT_EQ(history.front().second, L"10");
    EXPECT_EQ(history.back().second, std::to_wstring(CDriveJob::kHistoryLines + 9));
    EXPECT_EQ(host.Lines().size(), CDriveJob::kHistoryLines + 10); // the host still saw every line
}

// A run into "Copy to" (D:) and "Also copy to" (G:), E: the card.
class TwoDestinations : public ::testing::Test {
protected:
    void SetUp() override {
        platform::posix::MapDrive(L'E', m_card.Path(), platform::kDriveRemovable, L"CARD");
        platform::posix::SetDriveSerial(L'E', 0x1234ABCD);
        platform::posix::MapDrive(L'D', m_disk.Path(), platform::kDriveFixed);
        platform::posix::MapDrive(L'G', m_backup.Path(), platform::kDriveRemote);
        m_card.WriteFile("a.jpg", std::string(200000, 'a'));
        m_card.WriteFile("b.jpg", "bee");
        m_card.WriteFile("c.jpg", "sea");
    }
    void TearDown() override { platform::posix::UnmapAllDrives(); }

    std::vector<std::wstring> RunCopy(int32_t verify, int32_t onlyNew, const std::wstring& alsoCopyTo) {
        RunOptions options = copytest::NumberedRunIn(L"D:\\");
        options.alsoCopyTo = alsoCopyTo;
        options.copying = {verify, onlyNew};
        const size_t before = m_host.Lines().size();
        m_job.Attach(options);
        EXPECT_TRUE(m_host.WaitForRunEnd());
        std::vector<std::wstring> texts = m_host.Texts();
        return std::vector<std::wstring>(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end());
    }

    TempFolder m_card;
    TempFolder m_disk;
    TempFolder m_backup;
    RecordingHost m_host;
    CDriveJob m_job{kDriveE, &m_host};
};

// The second destination's run folder goes away after the first file (a share dropped): it gets one
// line and its list says it is not complete, while the first destination gets every file, verified.
TEST_F(TwoDestinations, ADestinationThatGoesAwayStopsAloneWithOneLine) {
    m_host.onLine = [this](const LoggedLine& line) {
        if (line.level == LogLevel::Files && line.text.rfind(L"E:\\", 0) == 0 && m_backup.Exists("000"))
            platformtest::RemoveTree(m_backup.At("000"));
    };
    const std::vector<std::wstring> texts = RunCopy(1, 0, L"G:\\");
    size_t aboutG = 0;
    for (const std::wstring& text : texts)
        aboutG += text.find(L"G:\\000") != std::wstring::npos ? 1 : 0;
    EXPECT_EQ(aboutG, 3u) << "its name at the start, its one failure, the last line";
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        L"Copying into G:\\000 stopped: The system cannot find the path specified."),
              texts.end());
    EXPECT_EQ(texts.back(),
              L"Finished with 3 errors. D:\\000: 3 files verified. G:\\000: stopped, the destination "
              L"cannot be reached (0 files).");
    for (const std::string name : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_EQ(m_disk.ReadFile("000/" + name), m_card.ReadFile(name));
    EXPECT_EQ(m_disk.ReadFile("000.sha256").find("Not complete"), std::string::npos);
    EXPECT_NE(m_backup.ReadFile("000.sha256").find("# Not complete: the run had 3 errors"), std::string::npos)
        << m_backup.ReadFile("000.sha256");
    EXPECT_EQ(m_host.CompletionErrors(), std::vector<uint32_t>{3});
}

// A file is skipped only where it was copied before; one that a destination lacks goes there alone.
// "Nothing new" comes once both hold everything, and leaves no run folder in either.
TEST_F(TwoDestinations, OnlyNewFilesGoWhereTheyAreMissing) {
    RunCopy(0, 1, L"");
    m_card.WriteFile("d.jpg", "dee");
    std::vector<std::wstring> texts = RunCopy(0, 1, L"G:\\");
    EXPECT_EQ(texts.back(), L"Finished. D:\\001: 1 file copied. G:\\000: 4 files copied.");
    EXPECT_TRUE(m_disk.Exists("001/d.jpg"));
    EXPECT_FALSE(m_disk.Exists("001/a.jpg")) << "D: holds it from the first run";
    for (const std::string name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        EXPECT_EQ(m_backup.ReadFile("000/" + name), m_card.ReadFile(name));

    // A copy gone from G: only: G: gets it again, and D:, which has everything, keeps no folder.
    platformtest::RemoveTree(m_backup.At("000/b.jpg"));
    texts = RunCopy(0, 1, L"G:\\");
    EXPECT_EQ(texts.back(), L"Finished. D:\\002: nothing new. G:\\001: 1 file copied.");
    EXPECT_FALSE(m_disk.Exists("002"));
    EXPECT_EQ(m_backup.ReadFile("001/b.jpg"), "bee");

    texts = RunCopy(0, 1, L"G:\\");
    EXPECT_EQ(texts.back(), L"Finished.");
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Nothing new on E:: 4 files were copied before."),
              texts.end());
    EXPECT_FALSE(m_disk.Exists("002"));
    EXPECT_FALSE(m_backup.Exists("002"));
}

// A destination whose run folder cannot be made is named with its reason; the run goes into the other.
TEST_F(TwoDestinations, ADestinationThatCannotBePreparedLeavesTheOther) {
    for (const bool firstMissing : {true, false}) {
        RunOptions options = copytest::NumberedRunIn(firstMissing ? L"D:\\missing" : L"D:\\");
        options.alsoCopyTo = firstMissing ? L"G:\\" : L"G:\\missing";
        const size_t before = m_host.Lines().size();
        m_job.Attach(options);
        ASSERT_TRUE(m_host.WaitForRunEnd());
        const std::vector<std::wstring> all = m_host.Texts();
        const std::vector<std::wstring> texts(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        const std::wstring missing = firstMissing
                                         ? L"No copy is made in the \"Copy to\" folder D:\\missing: "
                                         : L"No copy is made in the \"Also copy to\" folder G:\\missing: ";
        EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                                [&](const std::wstring& text) { return text.rfind(missing, 0) == 0; }),
                  1)
            << texts[1];
        EXPECT_EQ(texts.back(), L"Finished.");
        EXPECT_EQ((firstMissing ? m_backup : m_disk).ReadFile("000/b.jpg"), "bee");
        EXPECT_EQ(m_job.Destination(), firstMissing ? L"G:\\000" : L"D:\\000");
    }
}

// "Also copy to" that is "Copy to" itself, lies inside it or holds it would put both copies on one
// disk: it is named once and the run makes the one copy, as without it.
TEST_F(TwoDestinations, AnAlsoCopyToThatOverlapsCopyToMakesOneCopy) {
    m_disk.MakeFolder("cards");
    struct Case {
        const wchar_t* copyTo;
        const wchar_t* also;
        const wchar_t* last;
    };
    for (const Case& run :
         {Case{L"D:\\", L"d:", L"Finished."}, Case{L"D:\\", L"D:\\cards\\", L"Finished."},
          Case{L"D:\\cards", L"D:\\", L"Finished."},
          Case{L"D:\\", L"G:\\", L"Finished. D:\\002: 3 files copied. G:\\000: 3 files copied."}}) {
        RunOptions options = copytest::NumberedRunIn(run.copyTo);
        options.alsoCopyTo = run.also;
        const size_t before = m_host.Lines().size();
        m_job.Attach(options);
        ASSERT_TRUE(m_host.WaitForRunEnd());
        const std::vector<std::wstring> all = m_host.Texts();
        const std::vector<std::wstring> texts(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        const auto named = std::count_if(texts.begin(), texts.end(), [](const std::wstring& text) {
            return text.find(L"or one of the two holds the other") != std::wstring::npos;
        });
        EXPECT_EQ(named, run.also == std::wstring(L"G:\\") ? 0 : 1) << run.also;
        EXPECT_EQ(texts.back(), run.last) << run.also;
    }
    for (const std::string folder : {"000", "001", "cards/000", "002"})
        EXPECT_EQ(m_disk.ReadFile(folder + "/b.jpg"), "bee") << folder;
    EXPECT_FALSE(m_disk.Exists("cards/001")) << "no run folder for a refused second copy";
    EXPECT_FALSE(m_disk.Exists("003"));
}

} // namespace
