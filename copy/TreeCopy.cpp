#include "copy/TreeCopy.h"

#include "copy/FileNames.h"
#include "copy/VerifiedCopy.h"
#include "copy/WalkPaths.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <utility>

using platform::ErrorCode;

namespace {

// Numbered names tried for one entry before it counts as failed.
constexpr uint32_t kMaxNameNumber = 10000;
// The most time between two looks at the volume's identity while copying.
constexpr uint32_t kVolumeCheckMs = 1000;

bool IsDotEntry(const std::wstring& name) {
    return name == L"." || name == L"..";
}

} // namespace

CTreeCopy::CTreeCopy(TreeCopyInput input, ITreeCopySink& sink) : m_input(std::move(input)), m_sink(sink) {}

TreeCopyResult CTreeCopy::Run() {
    m_lastVolumeCheck = platform::TickCount();
    std::vector<Folder> stack(1);
    m_stack = &stack;
    if (!ReadListing(stack.back()))
        stack.clear();
    while (!stack.empty() && !ShouldEnd()) {
        Folder& top = stack.back();
        if (top.next == top.entries.size()) {
            FinishFolder(top);
            if (m_input.records)
                m_input.records->Flush();
            stack.pop_back();
            continue;
        }
        const platform::FolderEntry entry = std::move(top.entries[top.next++]);
        if (IsDotEntry(entry.name))
            continue;
        if (!top.seen.insert(entry.name).second) {
            LogError(L"Not copied: " + SourcePath(ChildWalkPath(top.sourceRel, entry.name)) +
                     L": the volume lists another entry under the same name.");
            continue;
        }
        if (entry.isLink || (entry.attributes & platform::kAttrDirectory) == 0) {
            CopyEntry(top, entry);
            continue;
        }
        if (!VolumeUnchanged())
            continue;
        const std::wstring sourceRel = ChildWalkPath(top.sourceRel, entry.name);
        if (IsOwnDestination(sourceRel)) {
            m_sink.Log(LogLevel::Basic,
                       L"Skipped " + SourcePath(sourceRel) + L": it is the destination of this copy.");
            continue;
        }
        m_sink.Log(LogLevel::Folders, SourcePath(sourceRel));
        Folder child;
        child.name = entry.name;
        child.sourceRel = sourceRel;
        child.destinationRel = ChildWalkPath(top.destinationRel, NameInCopy(entry.name, {}).name);
        child.made = !MakesFoldersLazily();
        if (child.made) {
            std::optional<std::wstring> placed = PlaceFolder(top.destinationRel, entry.name);
            if (placed) {
                child.destinationRel = ChildWalkPath(top.destinationRel, *placed);
                LogRenamed(SourcePath(sourceRel), NameInCopy(entry.name, {}), *placed);
            }
        }
        // Pushing may move the stack: top is not used after this.
        if (ReadListing(child))
            stack.push_back(std::move(child));
    }
    // Before the last report: a volume changed at the very end still makes the run one with errors,
    // and the last copies are filed only after this look.
    VolumeUnchanged();
    DropPending();
    m_stack = nullptr;
    m_result.stopped = StopRequested() && !m_result.volumeChanged;
    return m_result;
}

bool CTreeCopy::ShouldEnd() {
    if (m_input.records)
        m_input.records->FlushIfDue();
    if (StopRequested() || m_result.volumeChanged)
        return true;
    return VolumeCheckDue() && !VolumeUnchanged();
}

void CTreeCopy::CopyEntry(const Folder& parent, const platform::FolderEntry& entry) {
    if (!entry.isLink) {
        CopyOneFile(parent, entry);
        return;
    }
    LogLink(SourcePath(ChildWalkPath(parent.sourceRel, entry.name)));
}

// A link may lead anywhere: outside the volume, to another machine, back to its own folder.
void CTreeCopy::LogLink(const std::wstring& source) {
    LogError(L"Not copied: " + source + L" is a link.");
}

std::optional<std::wstring> CTreeCopy::PlaceFolder(const std::wstring& parentRel, const std::wstring& name) {
    const std::wstring safe = NameInCopy(name, {}).name;
    ErrorCode error = platform::kSuccess;
    for (uint32_t number = 1; number <= kMaxNameNumber; ++number) {
        const std::wstring candidate = number == 1 ? safe : NumberedName(safe, number);
        const std::wstring path = DestinationPath(ChildWalkPath(parentRel, candidate));
        error = platform::CreateFolder(path);
        if (error == platform::kSuccess)
            return candidate;
        if (error != platform::kErrorAlreadyExists)
            break;
        // A folder of that name takes the content in as well; a file or a link does not.
        platform::FileInfo info;
        const bool isFolder = platform::GetFileInfo(path, info) == platform::kSuccess &&
                              (info.attributes & platform::kAttrDirectory) != 0 &&
                              (info.attributes & platform::kAttrReparsePoint) == 0;
        if (isFolder)
            return candidate;
    }
    LogError(L"CreateDirectory failed for " + DestinationPath(ChildWalkPath(parentRel, safe)) + L": " +
             platform::ErrorText(error));
    return std::nullopt;
}

bool CTreeCopy::ReadListing(Folder& folder) {
    const std::wstring source = SourcePath(folder.sourceRel);
    ErrorCode error = platform::kSuccess;
    platform::FolderListing listing = platform::FolderListing::Open(ListingPattern(source), error);
    if (!listing.IsOpen()) {
        // Only a volume's root lists nothing at all when empty (an empty FAT root); any other folder
        // lists at least "." and "..", so a folder that finds nothing could not be read.
        const bool empty = error == platform::kErrorNoMoreFiles ||
                           (error == platform::kErrorFileNotFound && folder.sourceRel.empty());
        if (!empty)
            LogError(L"FindFirstFile failed for " + source + L": " + platform::ErrorText(error));
        return empty;
    }
    platform::FolderEntry entry;
    while (listing.Next(entry, error)) {
        if (StopRequested())
            return false;
        folder.entries.push_back(std::move(entry));
    }
    if (error != platform::kErrorNoMoreFiles)
        LogError(L"FindNextFile failed for " + source + L": " + platform::ErrorText(error));
    if (m_input.onListing)
        m_input.onListing(folder.entries);
    return true;
}

// After the whole content: the folder's attributes (read-only last) and times. The root keeps its own.
void CTreeCopy::FinishFolder(const Folder& folder) {
    // Its files get their names before the folder its read-only bit and times.
    if (!m_pending.empty() && !VolumeUnchanged())
        return;
    if (folder.sourceRel.empty() || !folder.made)
        return;
    const std::wstring source = SourcePath(folder.sourceRel);
    const std::wstring destination = DestinationPath(folder.destinationRel);
    platform::FileInfo info;
    if (platform::GetFileInfo(source, info) != platform::kSuccess) {
        LogError(L"GetFileAttributesEx failed for " + source);
        return;
    }
    platform::SetAttributes(destination, info.attributes);
    platform::SetFolderTimes(destination, info.creationTime, info.lastAccessTime, info.lastWriteTime);
}

void CTreeCopy::CopyOneFile(const Folder& parent, const platform::FolderEntry& entry) {
    if (StopRequested())
        return;
    const std::wstring sourceRel = ChildWalkPath(parent.sourceRel, entry.name);
    const std::wstring source = SourcePath(sourceRel);
    if (m_input.records && m_input.records->CopiedBefore(sourceRel, entry.size, entry.lastWriteTime)) {
        ++m_result.filesSkipped;
        m_result.doneBytes += entry.size;
        m_sink.Progress(m_result.doneBytes);
        m_sink.Log(LogLevel::Files, L"Skipped " + source + L": copied before.");
        return;
    }
    if (!MakeWaitingFolders())
        return;
    // The stack's last folder is this file's: parent's place may have changed with the folders made.
    const Folder& folderNow = m_stack->back();
    const std::wstring folder = DestinationPath(folderNow.destinationRel);
    CopyName inCopy = NameInCopy(entry.name, {true, m_input.intoCopyTo && parent.sourceRel.empty()});
    std::wstring temporary;
    platform::Sha256Digest digest{};
    bool differs = false;
    bool timeKept = true;
    ErrorCode error = platform::kErrorFileExists;
    const std::wstring base = TemporaryName(inCopy.name);
    for (uint32_t number = 1; number <= kMaxNameNumber && error == platform::kErrorFileExists; ++number) {
        // A name taken by an earlier copy's leftover is passed over.
        temporary = number == 1 ? base : NumberedName(base, number);
        error = CopyData(source, JoinWalkPath(folder, temporary), digest, differs, timeKept);
    }
    m_result.doneBytes += m_fileTotal;
    m_fileTotal = 0;
    m_sink.Progress(m_result.doneBytes);
    // The file's line comes whether it could be copied or not; after a stop nothing is logged.
    const bool quiet = StopRequested() || m_result.volumeChanged;
    if (!quiet)
        m_sink.Log(LogLevel::Files, source);
    if (quiet && error != platform::kSuccess)
        return; // cut short by the stop request or by a changed volume: no failure of its own
    if (differs) {
        LogError(L"Verify failed for " + source + L": the copy differs from the source.");
        return;
    }
    if (error == platform::kErrorStoppedOnSymlink) {
        LogLink(source);
        return;
    }
    if (error != platform::kSuccess) {
        LogError(L"CopyFileEx failed for " + source + L": " + platform::ErrorText(error));
        return;
    }
    if (!timeKept)
        m_sink.Log(LogLevel::Basic,
                   L"Warning: " + source + L" is copied without its time: the destination cannot take it.");
    m_pending.push_back(PendingFile{source, std::move(inCopy), folder, temporary, sourceRel,
                                    folderNow.destinationRel, entry.size, entry.lastWriteTime, digest});
    if (!m_input.volume)
        FilePending();
}

ErrorCode CTreeCopy::CopyData(const std::wstring& source, const std::wstring& temporary,
                              platform::Sha256Digest& digest, bool& differs, bool& timeKept) {
    if (!m_input.records || !m_input.records->Verifying())
        return platform::CopyToNewFile(source, temporary, &OnCopyProgress, this, m_input.stop);
    const VerifiedCopyResult result = CopyAndVerify(source, temporary, &OnCopyProgress, this, m_input.stop);
    digest = result.digest;
    differs = result.differs;
    timeKept = result.timeKept;
    return result.error;
}

bool CTreeCopy::MakesFoldersLazily() const {
    return m_input.records && m_input.records->SkipsFiles();
}

bool CTreeCopy::MakeWaitingFolders() {
    std::vector<Folder>& stack = *m_stack;
    for (size_t i = 1; i < stack.size(); ++i) {
        Folder& folder = stack[i];
        if (folder.made)
            continue;
        const std::wstring& parentRel = stack[i - 1].destinationRel;
        std::optional<std::wstring> placed = PlaceFolder(parentRel, folder.name);
        if (!placed)
            return false;
        folder.made = true;
        folder.destinationRel = ChildWalkPath(parentRel, *placed);
        LogRenamed(SourcePath(folder.sourceRel), NameInCopy(folder.name, {}), *placed);
    }
    return true;
}

// A look at the volume that finds it unchanged (or gone) after a copy is complete shows the copy
// came from the run's volume: had another volume been read, it would be found there.
void CTreeCopy::FilePending() {
    for (const PendingFile& file : m_pending) {
        const std::wstring temporary = JoinWalkPath(file.folder, file.temporary);
        std::wstring placed;
        const ErrorCode error = GiveFinalName(temporary, file.folder, file.inCopy.name, placed);
        if (error != platform::kSuccess) {
            RemoveTemporary(temporary);
            LogError(L"MoveFileEx failed for " + file.source + L": " + platform::ErrorText(error));
            continue;
        }
        ++m_result.filesCopied;
        if (m_input.records)
            m_input.records->FileCopied(file.sourceRel, ChildWalkPath(file.destinationFolderRel, placed),
                                        file.size, file.lastWriteTime, file.digest);
        if (!StopRequested())
            LogRenamed(file.source, file.inCopy, placed);
    }
    m_pending.clear();
}

void CTreeCopy::DropPending() {
    for (const PendingFile& file : m_pending)
        RemoveTemporary(JoinWalkPath(file.folder, file.temporary));
    m_pending.clear();
}

void CTreeCopy::RemoveTemporary(const std::wstring& path) {
    platform::SetAttributes(path, platform::kAttrNormal);
    platform::DeleteFileAt(path);
}

ErrorCode CTreeCopy::GiveFinalName(const std::wstring& temporary, const std::wstring& folder,
                                   const std::wstring& name, std::wstring& finalName) {
    for (uint32_t number = 1; number <= kMaxNameNumber; ++number) {
        const std::wstring candidate = number == 1 ? name : NumberedName(name, number);
        const ErrorCode error = platform::RenameNoReplace(temporary, JoinWalkPath(folder, candidate));
        if (error == platform::kErrorAlreadyExists)
            continue;
        if (error == platform::kSuccess)
            finalName = candidate;
        return error;
    }
    return platform::kErrorAlreadyExists;
}

void CTreeCopy::LogRenamed(const std::wstring& source, const CopyName& wanted, const std::wstring& placed) {
    if (placed == wanted.name && wanted.reason == nullptr)
        return;
    const wchar_t* reason =
        wanted.reason != nullptr ? wanted.reason : L"its name is taken in the destination.";
    m_sink.Log(LogLevel::Basic, source + L" is copied as " + placed + L": " + reason);
}

bool CTreeCopy::VolumeUnchanged() {
    if (m_result.volumeChanged)
        return false;
    m_lastVolumeCheck = platform::TickCount();
    // A volume that is gone is no other volume: its reads fail and are reported one by one.
    platform::VolumeIdentity now;
    if (!m_input.volume || !platform::GetVolumeIdentity(m_input.sourceRoot + L"\\", now) ||
        now == *m_input.volume) {
        FilePending();
        return true;
    }
    m_result.volumeChanged = true;
    DropPending();
    LogError(L"Stopped: the volume in " + m_input.sourceRoot + L" was changed.");
    return false;
}

// Unsigned 32-bit arithmetic: a wrap of the tick counter still gives the right difference.
bool CTreeCopy::VolumeCheckDue() const {
    return m_input.volume && platform::TickCount() - m_lastVolumeCheck >= kVolumeCheckMs;
}

bool CTreeCopy::IsOwnDestination(const std::wstring& sourceRel) const {
    return !m_input.destinationBelowSource.empty() &&
           platform::AsciiUpper(sourceRel) == m_input.destinationBelowSource;
}

std::wstring CTreeCopy::SourcePath(const std::wstring& rel) const {
    return JoinWalkPath(m_input.sourceRoot, rel);
}

std::wstring CTreeCopy::DestinationPath(const std::wstring& rel) const {
    return JoinWalkPath(m_input.destinationRoot, rel);
}

bool CTreeCopy::StopRequested() const {
    return m_input.stop != nullptr && m_input.stop->load() != 0;
}

void CTreeCopy::LogError(const std::wstring& text) {
    ++m_result.errorCount;
    m_sink.Log(LogLevel::Basic, text);
}

bool CTreeCopy::OnCopyProgress(uint64_t totalBytes, uint64_t transferredBytes, void* context) {
    CTreeCopy& copy = *static_cast<CTreeCopy*>(context);
    copy.m_fileTotal = totalBytes;
    copy.m_sink.Progress(copy.m_result.doneBytes + transferredBytes);
    if (copy.m_input.records)
        copy.m_input.records->FlushIfDue();
    if (copy.StopRequested())
        return true;
    return copy.VolumeCheckDue() && !copy.VolumeUnchanged();
}
