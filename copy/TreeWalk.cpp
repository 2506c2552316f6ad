// The walk of a run: a depth-first copy of the drive's tree. Each folder is created before its
// content and receives its attributes and times after it. Failures of single entries are logged and
// counted, and the walk goes on.
#include "copy/DriveJob.h"

#include "copy/Progress.h"
#include "copy/VerifiedCopy.h"
#include "copy/WalkPaths.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

using platform::ErrorCode;

void CDriveJob::CopyFolder(const std::wstring& rel) {
    if (StopRequested())
        return;
    const std::wstring source = JoinWalkPath(m_source, rel);
    const std::wstring destination = JoinWalkPath(m_destination, rel);
    if (IsOwnDestination(rel)) {
        Log(LogBasic, L"Skipped " + source + L": it is the destination of this copy.");
        return;
    }
    // The root gets no line and no folder of its own: the destination folder already exists.
    if (!rel.empty()) {
        Log(LogFolders, source);
        if (!MakesFoldersLazily())
            MakeFolder(rel);
    }
    if (!CopyFolderEntries(rel, source))
        return; // stopped: the folder keeps the attributes and times it was made with
    if (rel.empty() || (MakesFoldersLazily() && m_madeFolders.count(rel) == 0))
        return;
    CopyFolderAttributes(source, destination);
}

bool CDriveJob::CopyFolderEntries(const std::wstring& rel, const std::wstring& source) {
    ErrorCode error = platform::kSuccess;
    platform::FolderListing listing = platform::FolderListing::Open(ListingPattern(source), error);
    if (!listing.IsOpen()) {
        // Nothing found is an empty folder; anything else is a folder that could not be read.
        if (error != platform::kErrorFileNotFound && error != platform::kErrorNoMoreFiles)
            LogError(L"FindFirstFile failed for " + source + L": " + platform::ErrorText(error));
        return true;
    }
    platform::FolderEntry entry;
    while (listing.Next(entry, error)) {
        if (StopRequested())
            return false;
        const bool isFolder = (entry.attributes & platform::kAttrDirectory) != 0;
        if (isFolder && (entry.name == L"." || entry.name == L".."))
            continue;
        const std::wstring entryRel = ChildWalkPath(rel, entry.name);
        if (isFolder)
            CopyFolder(entryRel);
        else
            CopyOneFile(entryRel, entry);
    }
    // A stop during the last entry still leaves the folder as it was made.
    if (StopRequested())
        return false;
    if (error != platform::kErrorNoMoreFiles)
        LogError(L"FindNextFile failed for " + source + L": " + platform::ErrorText(error));
    return true;
}

void CDriveJob::CopyFolderAttributes(const std::wstring& source, const std::wstring& destination) {
    platform::FileInfo info;
    if (platform::GetFileInfo(source, info) != platform::kSuccess) {
        LogError(L"GetFileAttributesEx failed for " + source);
        return;
    }
    platform::SetAttributes(destination, info.attributes);
    platform::SetFolderTimes(destination, info.creationTime, info.lastAccessTime, info.lastWriteTime);
}

void CDriveJob::MakeFolder(const std::wstring& rel) {
    const std::wstring destination = JoinWalkPath(m_destination, rel);
    const ErrorCode error = platform::CreateFolder(destination);
    if (error != platform::kSuccess && error != platform::kErrorAlreadyExists)
        LogError(L"CreateDirectory failed for " + destination + L": " + platform::ErrorText(error));
    if (MakesFoldersLazily())
        m_madeFolders.insert(rel);
}

void CDriveJob::MakeFoldersFor(const std::wstring& fileRel) {
    const size_t slash = fileRel.rfind(L'\\');
    if (slash == std::wstring::npos)
        return;
    const std::wstring folder = fileRel.substr(0, slash);
    if (m_madeFolders.count(folder) != 0)
        return;
    MakeFoldersFor(folder);
    MakeFolder(folder);
}

void CDriveJob::CopyOneFile(const std::wstring& rel, const platform::FolderEntry& entry) {
    if (StopRequested())
        return;
    const std::wstring source = JoinWalkPath(m_source, rel);
    if (m_records && m_records->CopiedBefore(rel, entry.size, entry.lastWriteTime)) {
        ++m_skippedCount;
        m_doneBytes += entry.size;
        ReportProgress();
        Log(LogFiles, L"Skipped " + source + L": copied before.");
        return;
    }
    if (MakesFoldersLazily())
        MakeFoldersFor(rel);
    const std::wstring destination = JoinWalkPath(m_destination, rel);
    platform::Sha256Digest digest{};
    if (!CopyFileData(source, destination, digest))
        return;
    ++m_copiedCount;
    if (m_records)
        m_records->FileCopied(rel, entry.size, entry.lastWriteTime, digest);
}

bool CDriveJob::CopyFileData(const std::wstring& source, const std::wstring& destination,
                             platform::Sha256Digest& digest) {
    ErrorCode error = platform::kSuccess;
    bool differs = false;
    if (m_records && m_records->Verifying()) {
        const VerifiedCopyResult result = CopyAndVerify(source, destination, &OnCopyProgress, this, &m_stop);
        error = result.error;
        differs = result.differs;
        digest = result.digest;
    } else {
        error = platform::CopyFileWithProgress(source, destination, &OnCopyProgress, this, &m_stop);
    }
    m_doneBytes += m_fileTotal;
    m_fileDone = 0;
    m_fileTotal = 0;
    ReportProgress();
    const bool stopped = StopRequested();
    if (!stopped)
        Log(LogFiles, source);
    if (differs) {
        LogError(L"Verify failed for " + source + L": the copy differs from the source.");
        return false;
    }
    // A copy cut short by the stop request is no failure.
    if (error != platform::kSuccess && !(stopped && error == platform::kErrorRequestAborted))
        LogError(L"CopyFileEx failed for " + source + L": " + platform::ErrorText(error));
    return error == platform::kSuccess;
}

bool CDriveJob::IsOwnDestination(const std::wstring& rel) const {
    return !rel.empty() && !m_destinationBelowSource.empty() &&
           platform::AsciiUpper(rel) == m_destinationBelowSource;
}

void CDriveJob::LogError(const std::wstring& text) {
    ++m_errorCount;
    Log(LogBasic, text);
}

bool CDriveJob::OnCopyProgress(uint64_t totalBytes, uint64_t transferredBytes, void* context) {
    CDriveJob& job = *static_cast<CDriveJob*>(context);
    job.m_fileTotal = totalBytes;
    job.m_fileDone = transferredBytes;
    job.ReportProgress();
    return job.StopRequested();
}

void CDriveJob::ReportProgress() {
    m_progress = ProgressFraction(m_doneBytes + m_fileDone, m_totalBytes);
    ProgressReport report;
    report.driveIndex = m_driveIndex;
    report.sizeText = m_sizeText;
    report.fraction = m_progress;
    // Unsigned 32-bit arithmetic: a wrap of the tick counter still gives the right difference.
    report.elapsed = platform::TickCount() - m_startTick;
    m_host->ShowProgress(report);
}
