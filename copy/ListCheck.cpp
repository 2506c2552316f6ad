#include "copy/ListCheck.h"

#include "copy/ChecksumList.h"
#include "copy/Progress.h"
#include "copy/WalkPaths.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <string_view>
#include <system_error>
#include <vector>

namespace {

// A list larger than this is not read (a 64-hex-digit line per file: several million files).
constexpr size_t kMaxListBytes = 512u << 20;

struct ListedFile {
    std::wstring path;
    std::string hex;
    uint64_t size = 0;
    bool present = false;
};

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return std::wstring();
    return slash == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, slash);
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

} // namespace

CListCheck::~CListCheck() {
    m_stop = 1;
    if (m_thread.joinable())
        m_thread.join();
}

bool CListCheck::Start(const std::wstring& listPath) {
    if (!WorkerHasEnded())
        return false;
    // A check that has ended but whose end the dialog has not handled yet is released here.
    if (m_thread.joinable())
        m_thread.join();
    m_stop = 0;
    m_workerEnded = false;
    try {
        m_thread = std::thread(&CListCheck::Run, this, listPath);
    } catch (const std::system_error&) {
        m_workerEnded = true;
        return false;
    }
    return true;
}

void CListCheck::OnWorkerEnded() {
    if (m_thread.joinable())
        m_thread.join();
}

void CListCheck::Run(std::wstring listPath) {
    const uint32_t problems = Check(listPath);
    ProgressReport report;
    report.driveIndex = kListCheckIndex;
    report.errorCount = problems;
    report.state = m_stop != 0 ? RunState::Stopped : RunState::Finished;
    m_host->ShowProgress(report);
    m_host->OnRunEnded(kListCheckIndex);
    m_workerEnded = true;
}

void CListCheck::Log(const std::wstring& text) {
    m_host->ShowLogLine(kListCheckIndex, LogLevel::Basic, text);
}

uint32_t CListCheck::Check(const std::wstring& listPath) {
    Log(L"Verifying " + listPath + L"...");
    std::string text;
    if (platform::ErrorCode error = platform::ReadSmallFile(listPath, kMaxListBytes, text);
        error != platform::kSuccess) {
        Log(L"The list " + listPath + L" cannot be read: " + platform::ErrorText(error));
        Log(L"Verify found 1 problem.");
        return 1;
    }
    const std::wstring base = FolderOf(listPath);
    uint32_t problems = 0;
    m_totalBytes = 0;
    std::vector<ListedFile> files;
    const std::vector<std::string_view> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        ChecksumListLine line = ParseChecksumLine(lines[i]);
        if (line.kind == ChecksumListLine::Kind::Malformed) {
            ++problems;
            Log(platform::Format(L"Line %zu of the list is not a checksum line: %ls.", i + 1,
                                 line.problem.c_str()));
        }
        if (line.kind != ChecksumListLine::Kind::Entry)
            continue;
        ListedFile file{JoinWalkPath(base, line.relativePath), std::move(line.hex)};
        platform::FileInfo info;
        file.present = platform::GetFileInfo(file.path, info) == platform::kSuccess &&
                       (info.attributes & platform::kAttrDirectory) == 0;
        file.size = info.size;
        m_totalBytes += file.present ? file.size : 0;
        files.push_back(std::move(file));
    }
    m_sizeText = FormatSize(m_totalBytes);
    m_doneBytes = 0;
    m_startTick = platform::TickCount();
    uint64_t matching = 0;
    for (const ListedFile& file : files) {
        if (m_stop != 0) {
            Log(L"Stopped.");
            return problems;
        }
        if (!file.present) {
            ++problems;
            Log(L"Missing: " + file.path);
            continue;
        }
        platform::Sha256Digest digest{};
        const platform::ErrorCode error = platform::HashFile(file.path, &OnProgress, this, &m_stop, digest);
        m_doneBytes += file.size;
        ReportProgress(0);
        if (error == platform::kErrorRequestAborted && m_stop != 0)
            continue;
        if (error != platform::kSuccess) {
            ++problems;
            Log(L"Cannot read " + file.path + L": " + platform::ErrorText(error));
        } else if (platform::DigestHex(digest) != file.hex) {
            ++problems;
            Log(L"Differs: " + file.path);
        } else {
            ++matching;
        }
    }
    if (m_stop != 0) {
        Log(L"Stopped.");
        return problems;
    }
    if (problems == 0)
        Log(L"Verified: " + CountText(matching, L"file matches.", L"files match."));
    else
        Log(L"Verify found " + CountText(problems, L"problem.", L"problems."));
    return problems;
}

bool CListCheck::OnProgress(uint64_t, uint64_t done, void* context) {
    auto& check = *static_cast<CListCheck*>(context);
    check.ReportProgress(done);
    return check.m_stop != 0;
}

void CListCheck::ReportProgress(uint64_t fileDone) {
    ProgressReport report;
    report.driveIndex = kListCheckIndex;
    report.sizeText = m_sizeText;
    report.fraction = ProgressFraction(m_doneBytes + fileDone, m_totalBytes);
    report.elapsed = platform::TickCount() - m_startTick;
    m_host->ShowProgress(report);
}
