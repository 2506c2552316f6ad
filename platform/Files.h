#pragma once
// File and folder operations on Windows-style paths ("E:\DCIM\IMG_0001.JPG").
// The Win32 layer hands every absolute path to the system in its literal form (LiteralPath.h), so
// callers pass plain paths and each name means exactly the file of that name.
// The POSIX layer resolves "X:" through the drive map (Drives.h) and turns backslashes into slashes.
// A backslash inside a host name is listed as U+F05C, the character Windows tools show for it, and
// turns back into a backslash in any path, so such a name is read as the one file it is.
#include "platform/Errors.h"
#include "platform/Sha256.h"
#include "platform/Xxh3.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

namespace platform {

class HashThread;

inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrHidden = 0x2;
inline constexpr uint32_t kAttrSystem = 0x4;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;
inline constexpr uint32_t kAttrReparsePoint = 0x400;

// How a backslash inside a host name is presented on the POSIX build.
inline constexpr wchar_t kHostBackslash = 0xF05C;

// 100-nanosecond intervals since 1601-01-01 UTC (FILETIME).
using FileTime = uint64_t;

struct FileInfo {
    uint32_t attributes = 0;
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    uint64_t size = 0;
};

struct FolderEntry {
    std::wstring name;
    uint32_t attributes = 0;
    // A junction, symbolic link or mount point (a POSIX symbolic link): a name that stands for
    // something elsewhere, perhaps outside the volume. Other reparse points (a deduplicated or
    // offline file) hold their own data and are not links.
    bool isLink = false;
    uint64_t size = 0;          // files only
    FileTime lastWriteTime = 0; // files only
};

// One open folder listing (FindFirstFileW/FindNextFileW/FindClose). Move-only.
class FolderListing {
public:
    FolderListing() = default;
    ~FolderListing();
    FolderListing(FolderListing&& other) noexcept;
    FolderListing& operator=(FolderListing&& other) noexcept;
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Opens the listing of pattern ("E:\DCIM\*"). On failure the listing is closed and error says
    // why; kErrorFileNotFound and kErrorNoMoreFiles mean the folder simply has nothing in it.
    static FolderListing Open(const std::wstring& pattern, ErrorCode& error);
    bool IsOpen() const { return m_handle != nullptr; }
    // The next entry; false at the end, with error kErrorNoMoreFiles, or on a failure.
    bool Next(FolderEntry& entry, ErrorCode& error);

private:
    void Close();
    // Hands out the entry that Open found, once.
    bool TakePending(FolderEntry& entry, ErrorCode& error);
    void* m_handle = nullptr;
    bool m_havePending = false; // the first entry, found by Open, not yet handed out
    FolderEntry m_pending;
};

// Creates one folder, never its parents (CreateDirectoryW).
ErrorCode CreateFolder(const std::wstring& path);
// A file or folder of that name exists (PathFileExistsW).
bool PathExists(const std::wstring& path);
ErrorCode GetFileInfo(const std::wstring& path, FileInfo& info);
ErrorCode SetAttributes(const std::wstring& path, uint32_t attributes);
// Sets a folder's three times (CreateFileW with backup semantics, SetFileTime).
ErrorCode SetFolderTimes(const std::wstring& path, FileTime creation, FileTime lastAccess,
                         FileTime lastWrite);
ErrorCode DeleteFileAt(const std::wstring& path);
// Gives a file or folder a new name in the same volume, never in place of anything: a name that is
// taken (by a file or a folder) gives kErrorAlreadyExists and changes nothing.
ErrorCode RenameNoReplace(const std::wstring& from, const std::wstring& to);
// Gives a file a new name in the same folder in place of a file of that name (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING, rename(2)). For the program's own files only: a copy never replaces.
// A NewFile still open under the old name may go on writing.
ErrorCode RenameReplacing(const std::wstring& from, const std::wstring& to);
// Removes a folder that is empty (RemoveDirectoryW).
ErrorCode RemoveEmptyFolder(const std::wstring& path);

// Called as the copy goes: the file's size and the bytes copied so far. Return true to cancel.
using CopyProgressFn = bool (*)(uint64_t totalBytes, uint64_t transferredBytes, void* context);

// Copies one file into a new file as CopyFileExW does: data, attributes and last-write time;
// progress is reported per chunk; a nonzero *cancel or a true from the routine stops it
// (kErrorRequestAborted). A destination name that is taken is never written: kErrorFileExists.
// A source that turns out to be a link is not read through: kErrorStoppedOnSymlink.
// On any other failure the partly written destination is
// removed: give the copy a name of its own (a temporary name), which it then owns.
ErrorCode CopyToNewFile(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                        void* context, const std::atomic<int32_t>* cancel);

// Copies one file as CopyToNewFile does (never over an existing file), but in a loop of its own that reads
// the source once and gives the SHA-256 of exactly the data written (the copy is flushed to the disk before
// this returns). Progress and the cancel flag work per chunk on every platform. A last-write time
// the destination cannot take (a year past 30827) fails nothing: *timeKept, when given, says so.
ErrorCode CopyFileHashed(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                         void* context, const std::atomic<int32_t>* cancel, Sha256Digest& digest,
                         bool* timeKept = nullptr);

// One of the new files that CopyToNewFiles makes, and how it went.
struct NewFileCopy {
    std::wstring destination;
    ErrorCode error = kSuccess; // kErrorFileExists: the name is taken, nothing was written there
    bool timeKept = true;
};

// The hashes a verified copy takes of the data it moves, from the same buffers: the SHA-256 for the
// checksum list and the XXH3-128 that the read-back of each copy is compared with.
struct CopyHashes {
    Sha256Digest source{};
    Xxh128Digest written{};
    // Given by the caller: a thread that takes the SHA-256 while the copy goes on, or none.
    HashThread* helper = nullptr;
};

// Copies one file into several new files from one read of the source: each chunk read is written
// to every copy still going. A copy that fails (its disk full, its folder gone) is removed and the
// others go on. The result is a failure that concerns every copy (the source's read, a link, a
// stop); then no copy is left and each copy's error is that one too. hashes, when given, get the
// data read, and each copy is on the disk when this returns (as CopyFileHashed). One copy without
// hashes goes by CopyToNewFile, the fastest way the platform has; its failure is always the result.
ErrorCode CopyToNewFiles(const std::wstring& source, std::span<NewFileCopy> copies, CopyProgressFn progress,
                         void* context, const std::atomic<int32_t>* cancel, CopyHashes* hashes);

// The platform's own loop behind CopyToNewFiles, for any number of copies.
ErrorCode CopyToNewFilesInOneRead(const std::wstring& source, std::span<NewFileCopy> copies,
                                  CopyProgressFn progress, void* context, const std::atomic<int32_t>* cancel,
                                  CopyHashes* hashes);

// The SHA-256 of a file's content, read past the system's cache where the platform allows it
// (unbuffered on Windows, direct I/O on Linux where the file system takes it). Progress reports
// the bytes read; a nonzero *cancel stops it (kErrorRequestAborted).
ErrorCode HashFile(const std::wstring& path, CopyProgressFn progress, void* context,
                   const std::atomic<int32_t>* cancel, Sha256Digest& digest);

// The read-back of a copy: its XXH3-128, read past the system's cache as HashFile reads.
ErrorCode ReadBackHash(const std::wstring& path, const std::atomic<int32_t>* cancel, Xxh128Digest& digest);

// A file made new for writing (CREATE_NEW): a name that is taken is never written
// (kErrorFileExists). It may be renamed while it is open (RenameReplacing).
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&& other) noexcept;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    static NewFile Create(const std::wstring& path, ErrorCode& error);
    bool IsOpen() const { return m_handle != nullptr; }
    ErrorCode Write(const void* data, size_t size);
    // Closes the file; a late write failure shows here.
    ErrorCode Close();

private:
    void* m_handle = nullptr;
};

// Reads a whole file of at most maxBytes into bytes.
ErrorCode ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string& bytes);

} // namespace platform
