#include "copy/ListCheck.h"

#include "copy/ChecksumList.h"
#include "copy/Progress.h"
#include "copy/WalkPaths.h"
#include "log/LogText.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <string_view>
#include <system_error>
#include <vector>

namespace {

// A list larger than this is not read (a 64-hex-digit line per file: several million files).
constexpr size_t kMaxListBytes = 512u << 20;

// The closing comment lines that ChecksumListEndText writes.
constexpr std::string_view kEndedComment = "# Ended: ";
constexpr std::string_view kNotCompleteComment = "# Not complete: ";

struct ListContents {
    std::vector<ListedFile> files;
    std::vector<std::wstring> malformed; // a line for each line not in the format
    bool ended = false;                  // the run that wrote the list came to its end
    std::wstring notComplete;            // why the run did not copy everything, when the list says so
};

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return std::wstring();
    return slash == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, slash);
}

std::string_view WithoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
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

ListContents ReadList(const std::wstring& base, std::string_view text) {
    ListContents list;
    const std::vector<std::string_view> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = WithoutLineEnd(lines[i]);
        if (line.starts_with(kEndedComment))
            list.ended = true;
        if (line.starts_with(kNotCompleteComment))
            list.notComplete = platform::FromUtf8(std::string(line.substr(kNotCompleteComment.size())));
        ChecksumListLine parsed = ParseChecksumLine(line);
        if (parsed.kind == ChecksumListLine::Kind::Malformed)
            list.malformed.push_back(platform::Format(L"Line %zu of the list is not a checksum line: %ls.",
                                                      i + 1, parsed.problem.c_str()));
        if (parsed.kind == ChecksumListLine::Kind::Entry)
            list.files.push_back({JoinWalkPath(base, parsed.relativePath), std::move(parsed.hex)});
    }
    return list;
}

// What keeps the list from vouching for a whole copy, however well its files match.
std::vector<std::wstring> ListDoubts(const ListContents& list) {
    std::vector<std::wstring> doubts;
    if (list.files.empty())
        doubts.push_back(L"The list names no files: it does not show that anything was copied.");
    if (!list.ended)
        doubts.push_back(L"The list has no closing \"# Ended:\" line: the run that wrote it did not end, so "
                         L"it may not name every file of the copy.");
    if (!list.notComplete.empty())
        doubts.push_back(L"The list is not complete: " + list.notComplete);
    return doubts;
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

bool CListCheck::JoinIfEnded() {
    if (!WorkerHasEnded())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    return true;
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
    // Names come from the list and the disk: they may neither split a line nor forge one.
    m_host->ShowLogLine(kListCheckIndex, LogLevel::Basic, VisibleLogText(text));
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
    ListContents list = ReadList(FolderOf(listPath), text);
    uint32_t problems = static_cast<uint32_t>(list.malformed.size());
    for (const std::wstring& line : list.malformed)
        Log(line);
    for (const std::wstring& doubt : ListDoubts(list)) {
        ++problems;
        Log(doubt);
    }
    if (!LookUpFiles(list.files))
        return problems;
    m_sizeText = FormatSize(m_totalBytes);
    m_doneBytes = 0;
    m_startTick = platform::TickCount();
    uint64_t matching = 0;
    for (const ListedFile& file : list.files) {
        if (Stopped())
            return problems;
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
    if (Stopped())
        return problems;
    if (problems == 0)
        Log(L"Verified: " + CountText(matching, L"file matches.", L"files match."));
    else
        Log(L"Verify found " + CountText(problems, L"problem.", L"problems."));
    return problems;
}

// A look-up on a slow or dead share may take the system minutes: Stop is seen before each one.
bool CListCheck::LookUpFiles(std::vector<ListedFile>& files) {
    m_totalBytes = 0;
    for (ListedFile& file : files) {
        if (Stopped())
            return false;
        platform::FileInfo info;
        const platform::ErrorCode error =
            m_lookUp ? m_lookUp(file.path, info, m_lookUpContext) : platform::GetFileInfo(file.path, info);
        file.present = error == platform::kSuccess && (info.attributes & platform::kAttrDirectory) == 0;
        file.size = info.size;
        m_totalBytes += file.present ? file.size : 0;
    }
    return true;
}

bool CListCheck::Stopped() {
    if (m_stop == 0)
        return false;
    Log(L"Stopped.");
    return true;
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
