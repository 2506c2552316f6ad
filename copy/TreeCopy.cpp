#include "copy/TreeCopy.h"

#include "copy/FileNames.h"
#include "copy/WalkPaths.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <utility>

using platform::ErrorCode;

namespace {

// Numbered names tried for one entry before it counts as failed.
constexpr uint32_t kMaxNameNumber = 10000;
// A verified copy that differs is written once more; the second that differs is given up.
constexpr int kVerifyAttempts = 2;
// The most time between two looks at the volume's identity while copying.
constexpr uint32_t kVolumeCheckMs = 1000;

bool IsDotEntry(const std::wstring& name) {
    return name == L"." || name == L"..";
}

// A copy's failure that is the whole file's. One copy alone reports its own failure as the result:
// with one destination that is the file's failure as ever; a copy going again alone (its temporary
// name was taken) keeps it as its own.
bool EndsEveryCopy(ErrorCode error, size_t going, size_t copies) {
    return error != platform::kSuccess && error != platform::kErrorFileExists && (going > 1 || copies == 1);
}

} // namespace

// One destination's copy of the file in progress.
struct CTreeCopy::FileCopy {
    size_t target = 0;
    std::wstring folder; // the file's folder in that destination, whole
    std::wstring folderRel;
    std::wstring temporary; // its name in folder
    platform::ErrorCode error = platform::kErrorFileExists;
    bool timeKept = true;
    platform::Sha256Digest digest{};  // of the source, when verifying
    platform::Xxh128Digest written{}; // of the data written, when verifying
};

CTreeCopy::CTreeCopy(TreeCopyInput input, ITreeCopySink& sink) : m_input(std::move(input)), m_sink(sink) {
    m_result.targets.resize(m_input.destinations.size());
}

TreeCopyResult CTreeCopy::Run() {
    m_lastVolumeCheck = platform::TickCount();
    const RunRecords* records = m_input.destinations[0].records;
    if (records != nullptr && records->Verifying()) {
        m_hasher = std::make_unique<platform::HashThread>();
        m_verifier = std::make_unique<CCopyVerifier>(m_input.stop, m_input.verifyBound, m_input.readBack);
    }
    std::vector<Folder> stack(1);
    stack.back().places.resize(m_input.destinations.size());
    m_stack = &stack;
    if (!ReadListing(stack.back()))
        stack.clear();
    while (!stack.empty() && !ShouldEnd()) {
        Folder& top = stack.back();
        if (top.next == top.entries.size()) {
            FinishFolder(top);
            FlushRecords(false);
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
        for (size_t t = 0; t < top.places.size(); ++t) {
            FolderPlace place{ChildWalkPath(top.places[t].rel, NameInCopy(entry.name, {}).name),
                              !MakesFoldersLazily() && !Lost(t)};
            if (place.made)
                PlaceFolder(t, top.places[t].rel, SourcePath(sourceRel), entry.name, place);
            child.places.push_back(std::move(place));
        }
        // Pushing may move the stack: top is not used after this.
        if (ReadListing(child))
            stack.push_back(std::move(child));
    }
    // Every copy handed over gets its verdict, also after a stop: those the stop left unverified are
    // reported, never filed.
    TakeVerdicts(true);
    // Before the last report: a volume changed at the very end still makes the run one with errors,
    // and the last copies are filed only after this look.
    VolumeUnchanged();
    DropPending();
    m_verifier.reset();
    m_hasher.reset();
    m_stack = nullptr;
    m_result.stopped = StopRequested() && !m_result.volumeChanged;
    return m_result;
}

bool CTreeCopy::ShouldEnd() {
    FlushRecords(true);
    if (StopRequested() || m_result.volumeChanged || AllLost())
        return true;
    return VolumeCheckDue() && !VolumeUnchanged();
}

void CTreeCopy::FlushRecords(bool onlyIfDue) {
    for (size_t t = 0; t < m_input.destinations.size(); ++t) {
        RunRecords* records = m_input.destinations[t].records;
        if (records == nullptr || Lost(t))
            continue;
        if (onlyIfDue)
            records->FlushIfDue();
        else
            records->Flush();
    }
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

bool CTreeCopy::PlaceFolder(size_t t, const std::wstring& parentRel, const std::wstring& source,
                            const std::wstring& name, FolderPlace& place) {
    const CopyName wanted = NameInCopy(name, {});
    ErrorCode error = platform::kSuccess;
    for (uint32_t number = 1; number <= kMaxNameNumber; ++number) {
        const std::wstring candidate = number == 1 ? wanted.name : NumberedName(wanted.name, number);
        const std::wstring path = DestinationPath(t, ChildWalkPath(parentRel, candidate));
        error = platform::CreateFolder(path);
        // A folder of that name takes the content in as well; a file or a link does not.
        platform::FileInfo info;
        const bool placed =
            error == platform::kSuccess || (error == platform::kErrorAlreadyExists &&
                                            platform::GetFileInfo(path, info) == platform::kSuccess &&
                                            (info.attributes & platform::kAttrDirectory) != 0 &&
                                            (info.attributes & platform::kAttrReparsePoint) == 0);
        if (placed) {
            place = FolderPlace{ChildWalkPath(parentRel, candidate), true};
            LogRenamed(t, source, wanted, candidate);
            return true;
        }
        if (error != platform::kErrorAlreadyExists)
            break;
    }
    TargetError(t, error,
                L"CreateDirectory failed for " + DestinationPath(t, ChildWalkPath(parentRel, wanted.name)) +
                    L": " + platform::ErrorText(error));
    return false;
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
    // Its files get their names before the folder its read-only bit and times; so they are verified.
    TakeVerdicts(true);
    if (!m_pending.empty() && !VolumeUnchanged())
        return;
    if (folder.sourceRel.empty())
        return;
    bool anyMade = false;
    for (size_t t = 0; t < folder.places.size(); ++t)
        anyMade = anyMade || (folder.places[t].made && !Lost(t));
    if (!anyMade)
        return;
    const std::wstring source = SourcePath(folder.sourceRel);
    platform::FileInfo info;
    if (platform::GetFileInfo(source, info) != platform::kSuccess) {
        LogError(L"GetFileAttributesEx failed for " + source);
        return;
    }
    for (size_t t = 0; t < folder.places.size(); ++t) {
        if (!folder.places[t].made || Lost(t))
            continue;
        const std::wstring destination = DestinationPath(t, folder.places[t].rel);
        platform::SetAttributes(destination, info.attributes);
        platform::SetFolderTimes(destination, info.creationTime, info.lastAccessTime, info.lastWriteTime);
    }
}

bool CTreeCopy::NeedsCopy(const std::wstring& sourceRel, const platform::FolderEntry& entry,
                          std::vector<size_t>& targets) {
    for (size_t t = 0; t < m_input.destinations.size(); ++t) {
        const RunRecords* records = m_input.destinations[t].records;
        if (records == nullptr || !records->CopiedBefore(sourceRel, entry.size, entry.lastWriteTime))
            targets.push_back(t);
    }
    return !targets.empty();
}

void CTreeCopy::CopyOneFile(const Folder& parent, const platform::FolderEntry& entry) {
    if (StopRequested())
        return;
    const std::wstring sourceRel = ChildWalkPath(parent.sourceRel, entry.name);
    const std::wstring source = SourcePath(sourceRel);
    std::vector<size_t> lacking;
    if (!NeedsCopy(sourceRel, entry, lacking)) {
        ++m_result.filesSkipped;
        m_result.doneBytes += entry.size;
        m_sink.Progress(m_result.doneBytes);
        m_sink.Log(LogLevel::Files, L"Skipped " + source + L": copied before.");
        return;
    }
    std::vector<FileCopy> copies;
    for (const size_t t : lacking) {
        // A lost destination's files only count; a folder that cannot be made is its files' error.
        if (Lost(t)) {
            TargetError(t, platform::kSuccess, {});
            continue;
        }
        if (!MakeWaitingFolders(t))
            continue;
        // The stack's last folder is this file's: parent's place may have changed with the folders made.
        const std::wstring& folderRel = m_stack->back().places[t].rel;
        FileCopy copy;
        copy.target = t;
        copy.folder = DestinationPath(t, folderRel);
        copy.folderRel = folderRel;
        copies.push_back(std::move(copy));
    }
    if (copies.empty()) {
        m_result.doneBytes += entry.size;
        m_sink.Progress(m_result.doneBytes);
        return;
    }
    CopyName inCopy = NameInCopy(entry.name, {true, m_input.intoCopyTo && parent.sourceRel.empty()});
    const ErrorCode error = CopyData(source, copies, TemporaryName(inCopy.name));
    m_result.doneBytes += m_fileTotal;
    m_fileTotal = 0;
    m_sink.Progress(m_result.doneBytes);
    // The file's line comes whether it could be copied or not; after a stop nothing is logged.
    const bool quiet = StopRequested() || m_result.volumeChanged;
    if (!quiet)
        m_sink.Log(LogLevel::Files, source);
    if (quiet && error != platform::kSuccess)
        return; // cut short by the stop request or by a changed volume: no failure of its own
    if (error == platform::kErrorStoppedOnSymlink) {
        LogLink(source);
        return;
    }
    if (error != platform::kSuccess) {
        LogError(L"CopyFileEx failed for " + source + L": " + platform::ErrorText(error));
        return;
    }
    bool timeKept = true;
    for (FileCopy& copy : copies) {
        if (quiet && copy.error != platform::kSuccess)
            continue;
        if (copy.error != platform::kSuccess) {
            TargetError(copy.target, copy.error,
                        L"CopyFileEx failed for " + source + Into(copy.target) + L": " +
                            platform::ErrorText(copy.error));
            continue;
        }
        timeKept = timeKept && copy.timeKept;
        PendingFile file{source,         inCopy,      copy.folder, copy.temporary,      sourceRel,
                         copy.folderRel, copy.target, entry.size,  entry.lastWriteTime, copy.digest};
        if (Verifying())
            HandOver(std::move(file), copy.written, 1);
        else
            m_pending.push_back(std::move(file));
    }
    if (!timeKept)
        m_sink.Log(LogLevel::Basic,
                   L"Warning: " + source + L" is copied without its time: the destination cannot take it.");
    TakeVerdicts(false);
    if (!m_input.volume)
        FilePending();
}

void CTreeCopy::HandOver(PendingFile file, const platform::Xxh128Digest& written, int attempt) {
    const uint64_t id = m_nextVerifyId++;
    CopyToVerify copy{id, JoinWalkPath(file.folder, file.temporary), file.size, written};
    m_unverified.emplace(id, UnverifiedCopy{std::move(file), attempt});
    m_verifier->Submit(std::move(copy));
}

void CTreeCopy::TakeVerdicts(bool wait) {
    if (!Verifying())
        return;
    // A copy written once more is handed over again: waiting takes until none is left.
    for (;;) {
        const std::vector<CopyVerdict> verdicts = m_verifier->Take(wait);
        for (const CopyVerdict& verdict : verdicts)
            OnVerdict(verdict);
        if (!wait || verdicts.empty())
            return;
    }
}

void CTreeCopy::OnVerdict(const CopyVerdict& verdict) {
    auto node = m_unverified.extract(verdict.id);
    if (node.empty())
        return;
    UnverifiedCopy& copy = node.mapped();
    const PendingFile& file = copy.file;
    if (verdict.error != platform::kSuccess) {
        // After a stop too: the copy was written, and is not kept unverified.
        TargetError(file.target, verdict.error,
                    L"CopyFileEx failed for " + file.source + Into(file.target) + L": " +
                        platform::ErrorText(verdict.error));
        return;
    }
    if (!verdict.differs) {
        m_pending.push_back(std::move(copy.file));
        return;
    }
    if (copy.attempt < kVerifyAttempts && !StopRequested() && !m_result.volumeChanged && !Lost(file.target)) {
        WriteAgain(std::move(copy));
        return;
    }
    TargetError(file.target, platform::kSuccess,
                L"Verify failed for " + file.source + Into(file.target) +
                    L": the copy differs from the source.");
}

// The verifier has removed the copy that differed; its temporary name is free again.
void CTreeCopy::WriteAgain(UnverifiedCopy copy) {
    PendingFile& file = copy.file;
    std::vector<FileCopy> copies(1);
    copies[0].target = file.target;
    copies[0].folder = file.folder;
    copies[0].folderRel = file.destinationFolderRel;
    const ErrorCode error = CopyData(file.source, copies, TemporaryName(file.inCopy.name), false);
    const ErrorCode own = error != platform::kSuccess ? error : copies[0].error;
    if (own != platform::kSuccess) {
        TargetError(file.target, own,
                    L"CopyFileEx failed for " + file.source + Into(file.target) + L": " +
                        platform::ErrorText(own));
        return;
    }
    file.temporary = copies[0].temporary;
    file.digest = copies[0].digest;
    HandOver(std::move(file), copies[0].written, copy.attempt + 1);
}

ErrorCode CTreeCopy::CopyData(const std::wstring& source, std::vector<FileCopy>& copies,
                              const std::wstring& base, bool reportProgress) {
    const platform::CopyProgressFn progress = reportProgress ? &OnCopyProgress : nullptr;
    for (uint32_t number = 1; number <= kMaxNameNumber; ++number) {
        // A name taken by an earlier copy's leftover is passed over: that copy goes again, alone.
        std::vector<FileCopy*> going;
        std::vector<platform::NewFileCopy> newFiles;
        for (FileCopy& copy : copies) {
            if (copy.error != platform::kErrorFileExists)
                continue;
            copy.temporary = number == 1 ? base : NumberedName(base, number);
            going.push_back(&copy);
            newFiles.push_back(platform::NewFileCopy{JoinWalkPath(copy.folder, copy.temporary)});
        }
        if (going.empty())
            return platform::kSuccess;
        platform::CopyHashes hashes;
        hashes.helper = m_hasher.get();
        const ErrorCode error = platform::CopyToNewFiles(source, newFiles, progress, this, m_input.stop,
                                                         Verifying() ? &hashes : nullptr);
        for (size_t k = 0; k < going.size(); ++k) {
            going[k]->error = newFiles[k].error;
            going[k]->timeKept = newFiles[k].timeKept;
            going[k]->digest = hashes.source;
            going[k]->written = hashes.written;
        }
        if (EndsEveryCopy(error, going.size(), copies.size()))
            return error;
    }
    return platform::kSuccess;
}

bool CTreeCopy::MakesFoldersLazily() const {
    for (const CopyDestination& destination : m_input.destinations) {
        if (destination.records != nullptr && destination.records->SkipsFiles())
            return true;
    }
    return false;
}

bool CTreeCopy::MakeWaitingFolders(size_t t) {
    std::vector<Folder>& stack = *m_stack;
    for (size_t i = 1; i < stack.size(); ++i) {
        Folder& folder = stack[i];
        if (folder.places[t].made)
            continue;
        if (!PlaceFolder(t, stack[i - 1].places[t].rel, SourcePath(folder.sourceRel), folder.name,
                         folder.places[t]))
            return false;
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
            TargetError(file.target, error,
                        L"MoveFileEx failed for " + file.source + Into(file.target) + L": " +
                            platform::ErrorText(error));
            continue;
        }
        ++m_result.filesCopied;
        ++m_result.targets[file.target].filesCopied;
        if (RunRecords* records = m_input.destinations[file.target].records)
            records->FileCopied(file.sourceRel, ChildWalkPath(file.destinationFolderRel, placed), file.size,
                                file.lastWriteTime, file.digest);
        if (!StopRequested())
            LogRenamed(file.target, file.source, file.inCopy, placed);
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

void CTreeCopy::LogRenamed(size_t t, const std::wstring& source, const CopyName& wanted,
                           const std::wstring& placed) {
    if (placed == wanted.name && wanted.reason == nullptr)
        return;
    const wchar_t* reason =
        wanted.reason != nullptr ? wanted.reason : L"its name is taken in the destination.";
    m_sink.Log(LogLevel::Basic, source + L" is copied as " + placed + Into(t) + L": " + reason);
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
    const std::wstring upper = platform::AsciiUpper(sourceRel);
    for (const CopyDestination& destination : m_input.destinations) {
        if (!destination.belowSource.empty() && upper == destination.belowSource)
            return true;
    }
    return false;
}

std::wstring CTreeCopy::SourcePath(const std::wstring& rel) const {
    return JoinWalkPath(m_input.sourceRoot, rel);
}

std::wstring CTreeCopy::DestinationPath(size_t t, const std::wstring& rel) const {
    return JoinWalkPath(m_input.destinations[t].root, rel);
}

std::wstring CTreeCopy::Into(size_t t) const {
    return m_input.destinations.size() > 1 ? L" into " + m_input.destinations[t].root : std::wstring();
}

bool CTreeCopy::AllLost() const {
    for (size_t t = 0; t < m_result.targets.size(); ++t) {
        if (!Lost(t))
            return false;
    }
    return true;
}

bool CTreeCopy::StopRequested() const {
    return m_input.stop != nullptr && m_input.stop->load() != 0;
}

void CTreeCopy::LogError(const std::wstring& text) {
    ++m_result.errorCount;
    ++m_result.sourceErrors;
    m_sink.Log(LogLevel::Basic, text);
}

void CTreeCopy::TargetError(size_t t, ErrorCode error, const std::wstring& text) {
    ++m_result.errorCount;
    CopyTargetResult& target = m_result.targets[t];
    ++target.ownErrors;
    if (Lost(t))
        return;
    const bool several = m_input.destinations.size() > 1;
    if (several && error != platform::kSuccess) {
        // A failure that is not plainly the destination's own is its loss still when the run folder
        // cannot be reached any more (a network drive dropped, a disk pulled).
        platform::FileInfo info;
        const ErrorCode reach = platform::GetFileInfo(m_input.destinations[t].root, info);
        if (IsDestinationLostError(error) || reach != platform::kSuccess) {
            target.lostError = error;
            m_sink.Log(LogLevel::Basic, L"Copying into " + m_input.destinations[t].root + L" stopped: " +
                                            platform::ErrorText(error));
            return;
        }
    }
    m_sink.Log(LogLevel::Basic, text);
}

bool CTreeCopy::OnCopyProgress(uint64_t totalBytes, uint64_t transferredBytes, void* context) {
    CTreeCopy& copy = *static_cast<CTreeCopy*>(context);
    copy.m_fileTotal = totalBytes;
    copy.m_sink.Progress(copy.m_result.doneBytes + transferredBytes);
    copy.FlushRecords(true);
    if (copy.StopRequested())
        return true;
    return copy.VolumeCheckDue() && !copy.VolumeUnchanged();
}
