#include "copy/RunRecords.h"

#include "copy/ChecksumList.h"
#include "copy/WalkPaths.h"
#include "HarvexVersion.h"
#include "platform/Text.h"

namespace {

// "E 2026-12-07 15-01-02.003": the name of a run's side files when it has no folder of its own.
std::wstring RunStem(const RunPlace& place) {
    const platform::LocalTime& t = place.started;
    return platform::Format(L"%lc %04d-%02d-%02d %02d-%02d-%02d.%03d",
                            place.source.empty() ? L'_' : place.source[0], t.year, t.month, t.day, t.hour,
                            t.minute, t.second, t.milliseconds);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

} // namespace

RunRecords::RunRecords(const CopyingOptions& options, RunPlace place)
    : m_verify(options.m_verify != 0), m_onlyNew(options.m_onlyNew != 0), m_place(std::move(place)) {
    const std::wstring destination = WithoutTrailingSeparators(m_place.destination);
    std::wstring stem;
    if (m_place.intoCopyTo) {
        m_copyTo = destination;
        stem = JoinWalkPath(m_copyTo, RunStem(m_place));
    } else {
        const size_t slash = destination.find_last_of(L"\\/");
        m_copyTo = slash == std::wstring::npos ? std::wstring() : destination.substr(0, slash);
        m_folderName = slash == std::wstring::npos ? destination : destination.substr(slash + 1);
        stem = destination;
    }
    m_list = SideFile(stem + L".sha256");
    m_record = SideFile(stem + kCopyRecordSuffix);
    // Files of this name belong to a run whose folder was deleted: they must not speak for this one,
    // not even when this run ends before writing its own.
    RemoveOld(m_list);
    RemoveOld(m_record);
    if (SkipsFiles())
        m_earlier = EarlierCopies::Load(m_copyTo.size() == 2 ? m_copyTo + L"\\" : m_copyTo, *m_place.serial);
}

void RunRecords::RemoveOld(const SideFile& file) {
    if (platform::ErrorCode error = file.RemoveOld(); error != platform::kSuccess)
        m_startFailures.push_back(Failure{file.Path(), error});
}

bool RunRecords::CopiedBefore(const std::wstring& relativePath, uint64_t size,
                              platform::FileTime lastWriteTime) const {
    return SkipsFiles() && m_earlier.CopiedBefore(relativePath, size, lastWriteTime);
}

std::wstring RunRecords::PathInCopyTo(const std::wstring& relativePath) const {
    return m_folderName.empty() ? relativePath : m_folderName + L"\\" + relativePath;
}

void RunRecords::StartList() {
    if (m_list.IsStarted())
        return;
    const ChecksumListHeader header{kProductAndVersion, m_place.source, m_place.label,
                                    m_place.serial,     m_folderName,   m_place.started};
    m_list.Append(ChecksumListHeaderText(header));
}

void RunRecords::FileCopied(const std::wstring& relativePath, const std::wstring& copyPath, uint64_t size,
                            platform::FileTime lastWriteTime, const platform::Sha256Digest& digest) {
    if (m_verify) {
        StartList();
        m_list.Append(ChecksumLine(digest, PathInCopyTo(copyPath)));
    }
    if (SkipsFiles()) {
        if (!m_record.IsStarted())
            m_record.Append(CopyRecordHeaderText(*m_place.serial, m_folderName));
        m_record.Append(CopyRecordLine(relativePath, copyPath, size, lastWriteTime));
    }
}

void RunRecords::Flush() {
    m_list.Flush();
    m_record.Flush();
}

void RunRecords::FlushIfDue() {
    if (m_list.FlushDue() || m_record.FlushDue())
        Flush();
}

std::vector<RunRecords::Failure> RunRecords::Finish(const platform::LocalTime& ended, bool stopped,
                                                    uint32_t errorCount, bool folderRemoved) {
    if (folderRemoved) {
        m_list.Discard();
        m_record.Discard();
        return {};
    }
    if (m_verify) {
        StartList();
        m_list.Append(ChecksumListEndText(ended, stopped, errorCount));
    }
    std::vector<Failure> failures;
    for (SideFile* file : {&m_list, &m_record}) {
        if (platform::ErrorCode error = file->Finish(); error != platform::kSuccess)
            failures.push_back(Failure{file->Path(), error});
    }
    return failures;
}
