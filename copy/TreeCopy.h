#pragma once
// The copy of a volume's whole tree into one or more destination folders, in one pass over the
// source: each file is read once and written to every destination that needs it.
//
// A volume is untrusted input. The copy never follows a link (it is named and counted as an
// error), never writes over a file (a taken name gives "name (2).ext"), writes a name that Windows
// programs cannot use under a safe name, and files each copy under its name only once it is
// complete (it is written under a temporary name first). Folders wait on a stack of its own, not on
// the thread's, so no depth of tree can exhaust the thread. When another volume appears at the
// source's letter the copy ends and files nothing more.
//
// It runs on the calling thread and reports through ITreeCopySink on that thread. With "Verify
// copies" it has two helpers for the run: a thread that reads each copy back (CopyVerifier) while
// the next file is copied, and one that takes the SHA-256 of the data as it is copied.
#include "copy/CopyTarget.h"
#include "copy/CopyVerifier.h"
#include "copy/FileNames.h"
#include "copy/RunRecords.h"
#include "log/LogLevel.h"
#include "platform/Drives.h"
#include "platform/ChunkPump.h"
#include "platform/Files.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class ITreeCopySink {
public:
    virtual ~ITreeCopySink() = default;
    virtual void Log(LogLevel level, const std::wstring& text) = 0;
    // The bytes read from the volume so far, those of the file in progress included.
    virtual void Progress(uint64_t doneBytes) = 0;
};

struct TreeCopyInput {
    std::wstring sourceRoot; // "E:"
    // At least one. With several, a file copied before is skipped only where each holds it, and a
    // destination that fails as a whole gets one line and no more.
    std::vector<CopyDestination> destinations;
    // Nonzero: stop. Also the file copy's cancel flag.
    const std::atomic<int32_t>* stop = nullptr;
    // The volume the run began with; checked before each folder, at least once a second while
    // copying and at the end. None: the volume could not tell, nothing is checked.
    std::optional<platform::VolumeIdentity> volume;
    // The copy goes into "Copy to" itself: a file at the volume's root must not take a name of the
    // runs' records and lists there.
    bool intoCopyTo = false;
    // Tests: sees each folder's listing as read, to make one that no real file system gives.
    std::function<void(std::vector<platform::FolderEntry>&)> onListing = nullptr;
    // "Verify copies": how much written data may wait for its read-back, and the read-back itself
    // (tests put one of their own in its place).
    VerifyBound verifyBound = {};
    ReadBackFn readBack = platform::ReadBackHash;
};

struct TreeCopyResult {
    uint64_t filesCopied = 0;  // in all destinations together
    uint64_t filesSkipped = 0; // copied before into every destination
    uint64_t doneBytes = 0;    // read from the volume (or skipped), once whatever the destinations
    uint32_t errorCount = 0;   // entries that were not copied whole, a changed volume included
    uint32_t sourceErrors = 0; // of errorCount: those on the volume's side, which every destination lacks
    std::vector<CopyTargetResult> targets; // one per destination, in order
    bool stopped = false;                  // the stop request ended the copy
    bool volumeChanged = false;
};

class CTreeCopy {
public:
    CTreeCopy(TreeCopyInput input, ITreeCopySink& sink);
    CTreeCopy(const CTreeCopy&) = delete;
    CTreeCopy& operator=(const CTreeCopy&) = delete;

    TreeCopyResult Run();

private:
    // Where a folder is in one destination (a relative path; its name may differ from the volume's).
    struct FolderPlace {
        std::wstring rel;
        bool made = true; // in the copy (made or merged); false while it waits for a file
    };
    // A folder being copied: where it is on the volume and in each destination, and its listing,
    // read whole so that no listing stays open below it.
    struct Folder {
        std::wstring name; // on the volume
        std::wstring sourceRel;
        std::vector<FolderPlace> places; // one per destination
        std::vector<platform::FolderEntry> entries;
        // The names met so far: a name listed twice opens only one of its entries.
        std::unordered_set<std::wstring> seen;
        size_t next = 0;
    };

    bool ShouldEnd();
    void CopyEntry(const Folder& parent, const platform::FolderEntry& entry);
    void LogLink(const std::wstring& source);
    void EnterFolder(const Folder& parent, const platform::FolderEntry& entry);
    // False when the folder could not be listed (reported) or the stop request cut the listing short.
    bool ReadListing(Folder& folder);
    void FinishFolder(const Folder& folder);
    bool MakesFoldersLazily() const;
    // Makes the folders of the stack that wait for a file in destination t; false when one cannot be made.
    bool MakeWaitingFolders(size_t t);
    // Makes or merges the folder in destination t (logged when renamed); false when it cannot be made.
    bool PlaceFolder(size_t t, const std::wstring& parentRel, const std::wstring& source,
                     const std::wstring& name, FolderPlace& place);

    // One file: a copy under a temporary name in each destination that needs it, then its own name.
    // Both steps never replace.
    void CopyOneFile(const Folder& parent, const platform::FolderEntry& entry);
    // The destinations that lack the file; false when every destination holds it.
    bool NeedsCopy(const std::wstring& sourceRel, const platform::FolderEntry& entry,
                   std::vector<size_t>& targets);
    struct FileCopy; // one destination's copy of the file in progress
    // Copies into each copy's temporary name (base, numbered past names taken by leftovers). Gives
    // the failure that concerns every copy. A copy written once more reports no progress: its
    // bytes were counted the first time.
    platform::ErrorCode CopyData(const std::wstring& source, std::vector<FileCopy>& copies,
                                 const std::wstring& base, bool reportProgress = true);
    platform::ErrorCode GiveFinalName(const std::wstring& temporary, const std::wstring& folder,
                                      const std::wstring& name, std::wstring& finalName);
    void LogRenamed(size_t t, const std::wstring& source, const CopyName& wanted, const std::wstring& placed);
    // Removes a temporary copy whatever its attributes: a read-only one too.
    static void RemoveTemporary(const std::wstring& path);

    // A complete copy under its temporary name, waiting for a look at the volume.
    struct PendingFile {
        std::wstring source;
        CopyName inCopy; // before any number
        std::wstring folder;
        std::wstring temporary;
        std::wstring sourceRel;
        std::wstring destinationFolderRel;
        size_t target = 0;
        uint64_t size = 0;
        platform::FileTime lastWriteTime = 0;
        platform::Sha256Digest digest{};
    };
    void FilePending();
    void DropPending();

    // A copy handed to the verifier; once verified it is pending.
    struct UnverifiedCopy {
        PendingFile file;
        int attempt = 1;
    };
    bool Verifying() const { return m_verifier != nullptr; }
    void HandOver(PendingFile file, const platform::Xxh128Digest& written, int attempt);
    // Takes the verifier's verdicts: verified copies become pending, the others are written once more
    // or reported. wait: until no copy waits for its read-back.
    void TakeVerdicts(bool wait);
    void OnVerdict(const CopyVerdict& verdict);
    void WriteAgain(UnverifiedCopy copy);

    // False once the volume at the source root is another one. Files the pending copies when the
    // volume is unchanged, drops them when it changed.
    bool VolumeUnchanged();
    bool VolumeCheckDue() const;
    bool IsOwnDestination(const std::wstring& sourceRel) const;
    std::wstring SourcePath(const std::wstring& rel) const;
    std::wstring DestinationPath(size_t t, const std::wstring& rel) const;
    // " into D:\Copies\000" when there are several destinations; nothing with one.
    std::wstring Into(size_t t) const;
    bool Lost(size_t t) const { return m_result.targets[t].lostError != platform::kSuccess; }
    bool AllLost() const;
    bool StopRequested() const;
    // An error on the volume's side: every destination lacks the entry.
    void LogError(const std::wstring& text);
    // A failure writing into destination t. With several destinations, one that is full, write-
    // protected or gone (its run folder unreachable) is lost: one line, and from then on its files
    // only count. Otherwise the line is the entry's own.
    void TargetError(size_t t, platform::ErrorCode error, const std::wstring& text);
    void FlushRecords(bool onlyIfDue);
    static bool OnCopyProgress(uint64_t totalBytes, uint64_t transferredBytes, void* context);

    const TreeCopyInput m_input;
    ITreeCopySink& m_sink;
    TreeCopyResult m_result;
    std::vector<Folder>* m_stack = nullptr;
    std::vector<PendingFile> m_pending; // of every destination, in the order copied
    std::unique_ptr<platform::HashThread> m_hasher;
    std::unique_ptr<CCopyVerifier> m_verifier;
    std::map<uint64_t, UnverifiedCopy> m_unverified; // by the id the verifier knows them by
    uint64_t m_nextVerifyId = 0;
    uint64_t m_fileTotal = 0;
    uint32_t m_lastVolumeCheck = 0;
};
