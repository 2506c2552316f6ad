// Files on Windows: thin wrappers over kernel32 that take plain paths and hand them over in their
// literal form.
#include "platform/ChunkPump.h"
#include "platform/Files.h"
#include "platform/LiteralPath.h"

#include <windows.h>

#include <vector>

namespace platform {
namespace {

// CopyFileExW polls the job's stop request through its cancel flag, a BOOL*.
static_assert(sizeof(std::atomic<int32_t>) == sizeof(BOOL), "the stop request must be a 32-bit BOOL");
static_assert(alignof(std::atomic<int32_t>) == alignof(BOOL), "the stop request must be aligned as a BOOL");
static_assert(std::atomic<int32_t>::is_always_lock_free, "the stop request must be a plain value");

class OwnedHandle {
public:
    OwnedHandle() : m_handle(nullptr) {}
    explicit OwnedHandle(HANDLE handle) : m_handle(handle) {}
    ~OwnedHandle() {
        if (IsValid())
            CloseHandle(m_handle);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid())
            CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle;
};

FileTime FromFiletime(const FILETIME& time) {
    return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFiletime(FileTime time) {
    FILETIME result{};
    result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return result;
}

ErrorCode LastError() {
    return static_cast<ErrorCode>(GetLastError());
}

bool Cancelled(const std::atomic<int32_t>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
}

// Junctions, symbolic links and mount points carry a name-surrogate tag (bit 29). A reparse point
// that reports no tag is taken for a link too: Harvex cannot tell what it would lead to.
bool IsLink(const WIN32_FIND_DATAW& data) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    return data.dwReserved0 == 0 || (data.dwReserved0 & 0x20000000u) != 0;
}

// Wine lists a symbolic link to a file as a plain file; only the file's own attributes tell.
bool SourceIsLink(const std::wstring& from, const WIN32_FILE_ATTRIBUTE_DATA& source) {
    if ((source.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(from.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return true;
    FindClose(find);
    data.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return IsLink(data);
}

FolderEntry EntryOf(const WIN32_FIND_DATAW& data) {
    FolderEntry entry;
    entry.name = data.cFileName;
    entry.attributes = data.dwFileAttributes;
    entry.isLink = IsLink(data);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.lastWriteTime = FromFiletime(data.ftLastWriteTime);
    }
    return entry;
}

struct ProgressAdapter {
    CopyProgressFn routine;
    void* context;
    bool called = false;
};

DWORD CALLBACK OnCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred, LARGE_INTEGER,
                              LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    auto* adapter = static_cast<ProgressAdapter*>(data);
    adapter->called = true;
    const bool cancel =
        adapter->routine(static_cast<uint64_t>(totalFileSize.QuadPart),
                         static_cast<uint64_t>(totalBytesTransferred.QuadPart), adapter->context);
    return cancel ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// Wine leaves a partly written file behind when CopyFileExW fails. The copy went to a name of its
// own, so whatever stands there is its work.
void RemoveFailedCopy(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA after{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &after))
        return;
    if ((after.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return;
    if ((after.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(path.c_str(), after.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    DeleteFileW(path.c_str());
}

bool IsNameTaken(ErrorCode error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

uint64_t SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Wine's CopyFileExW takes a failed read for the end of the file and reports success with a short
// copy (a bad sector, a stick pulled mid-file): a copy shorter than its source is a failed one. It
// also never calls the progress routine; the copy's size is then reported once at the end, so that
// the bytes count toward the run's progress as they do on Windows. One look at the copy serves both.
bool CheckFinishedCopy(const std::wstring& to, const WIN32_FILE_ATTRIBUTE_DATA* source,
                       const ProgressAdapter& adapter) {
    const bool reportSize = !adapter.called && adapter.routine != nullptr;
    if (source == nullptr && !reportSize)
        return true;
    WIN32_FILE_ATTRIBUTE_DATA copy{};
    if (!GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &copy))
        return source == nullptr;
    if (source != nullptr && SizeOf(copy) < SizeOf(*source))
        return false;
    if (reportSize)
        adapter.routine(SizeOf(copy), SizeOf(copy), adapter.context);
    return true;
}

// A chunk of the hashed copy and the read-back: a multiple of every sector size, as unbuffered
// reads need.
constexpr DWORD kChunkBytes = 1u << 20;

// Page-aligned memory (unbuffered reads need sector alignment) for one file's copy or hash. Owned
// per call: a thread_local object with a destructor can bring down a MinGW program as its thread ends.
class ChunkBuffer {
public:
    ChunkBuffer()
        : m_bytes(static_cast<BYTE*>(
              VirtualAlloc(nullptr, kChunkBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~ChunkBuffer() {
        if (m_bytes != nullptr)
            VirtualFree(m_bytes, 0, MEM_RELEASE);
    }
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;
    // Empty when the memory could not be had.
    std::span<std::byte> Bytes() const {
        return m_bytes != nullptr ? std::span<std::byte>(reinterpret_cast<std::byte*>(m_bytes), kChunkBytes)
                                  : std::span<std::byte>();
    }

private:
    BYTE* m_bytes;
};

// Writes all of size bytes, at most a chunk per call.
bool WriteAll(HANDLE file, const std::byte* data, size_t size) {
    while (size > 0) {
        const DWORD part = size > kChunkBytes ? kChunkBytes : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, part, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

class HandleSource final : public ChunkSource {
public:
    explicit HandleSource(HANDLE file) : m_file(file) {}
    ErrorCode Read(std::byte* buffer, size_t size, size_t& got) override {
        DWORD read = 0;
        if (!ReadFile(m_file, buffer, static_cast<DWORD>(size), &read, nullptr))
            return LastError();
        got = read;
        return kSuccess;
    }

private:
    HANDLE m_file;
};

class HandleSink final : public ChunkSink {
public:
    explicit HandleSink(HANDLE file) : m_file(file) {}
    ErrorCode Write(const std::byte* data, size_t size) override {
        return WriteAll(m_file, data, size) ? kSuccess : LastError();
    }

private:
    HANDLE m_file;
};

// The attributes a copy keeps, as CopyFileExW keeps them.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

} // namespace

void FolderListing::Close() {
    if (m_handle != nullptr)
        FindClose(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
    m_havePending = false;
}

FolderListing FolderListing::Open(const std::wstring& pattern, ErrorCode& error) {
    FolderListing listing;
    WIN32_FIND_DATAW data{};
    HANDLE handle = FindFirstFileExW(LiteralPath(pattern).c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return listing;
    }
    listing.m_handle = handle;
    listing.m_pending = EntryOf(data);
    listing.m_havePending = true;
    error = kSuccess;
    return listing;
}

bool FolderListing::Next(FolderEntry& entry, ErrorCode& error) {
    if (TakePending(entry, error))
        return true;
    if (m_handle == nullptr) {
        error = kErrorNoMoreFiles;
        return false;
    }
    WIN32_FIND_DATAW data{};
    if (!FindNextFileW(static_cast<HANDLE>(m_handle), &data)) {
        error = LastError();
        return false;
    }
    entry = EntryOf(data);
    error = kSuccess;
    return true;
}

ErrorCode CreateFolder(const std::wstring& path) {
    return CreateDirectoryW(LiteralPath(path).c_str(), nullptr) ? kSuccess : LastError();
}

// PathFileExistsW stops at MAX_PATH; the attribute query takes the long form.
bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(LiteralPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

ErrorCode GetFileInfo(const std::wstring& path, FileInfo& info) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(LiteralPath(path).c_str(), GetFileExInfoStandard, &data))
        return LastError();
    info.attributes = data.dwFileAttributes;
    info.creationTime = FromFiletime(data.ftCreationTime);
    info.lastAccessTime = FromFiletime(data.ftLastAccessTime);
    info.lastWriteTime = FromFiletime(data.ftLastWriteTime);
    info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return kSuccess;
}

ErrorCode SetAttributes(const std::wstring& path, uint32_t attributes) {
    return SetFileAttributesW(LiteralPath(path).c_str(), attributes) ? kSuccess : LastError();
}

ErrorCode SetFolderTimes(const std::wstring& path, FileTime creation, FileTime lastAccess,
                         FileTime lastWrite) {
    OwnedHandle folder(CreateFileW(LiteralPath(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.IsValid())
        return LastError();
    const FILETIME creationTime = ToFiletime(creation);
    const FILETIME accessTime = ToFiletime(lastAccess);
    const FILETIME writeTime = ToFiletime(lastWrite);
    if (!SetFileTime(folder.Get(), &creationTime, &accessTime, &writeTime))
        return LastError();
    return kSuccess;
}

ErrorCode DeleteFileAt(const std::wstring& path) {
    return DeleteFileW(LiteralPath(path).c_str()) ? kSuccess : LastError();
}

ErrorCode RemoveEmptyFolder(const std::wstring& path) {
    return RemoveDirectoryW(LiteralPath(path).c_str()) ? kSuccess : LastError();
}

ErrorCode RenameNoReplace(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(LiteralPath(from).c_str(), LiteralPath(to).c_str(), 0))
        return kSuccess;
    const ErrorCode error = LastError();
    return IsNameTaken(error) ? kErrorAlreadyExists : error;
}

ErrorCode RenameReplacing(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(LiteralPath(from).c_str(), LiteralPath(to).c_str(), MOVEFILE_REPLACE_EXISTING)
               ? kSuccess
               : LastError();
}

ErrorCode CopyToNewFile(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                        void* context, const std::atomic<int32_t>* cancel) {
    // Wine does not look at the cancel flag; a stop that came first is honoured here.
    if (Cancelled(cancel))
        return kErrorRequestAborted;
    const std::wstring from = LiteralPath(source);
    const std::wstring to = LiteralPath(destination);
    WIN32_FILE_ATTRIBUTE_DATA sourceData{};
    const bool sourceKnown = GetFileAttributesExW(from.c_str(), GetFileExInfoStandard, &sourceData) != 0;
    if (sourceKnown && SourceIsLink(from, sourceData))
        return kErrorStoppedOnSymlink;
    ProgressAdapter adapter{progress, context};
    const LPPROGRESS_ROUTINE routine = progress != nullptr ? &OnCopyProgress : nullptr;
    // The flag is only read, by CopyFileExW, which wants a BOOL* all the same.
    auto* cancelFlag = reinterpret_cast<BOOL*>(const_cast<std::atomic<int32_t>*>(cancel));
    const DWORD flags = COPY_FILE_ALLOW_DECRYPTED_DESTINATION | COPY_FILE_FAIL_IF_EXISTS;
    if (CopyFileExW(from.c_str(), to.c_str(), routine, &adapter, cancelFlag, flags)) {
        if (!CheckFinishedCopy(to, sourceKnown ? &sourceData : nullptr, adapter)) {
            RemoveFailedCopy(to);
            return kErrorReadFault;
        }
        return kSuccess;
    }
    const ErrorCode error = LastError();
    if (IsNameTaken(error))
        return kErrorFileExists;
    RemoveFailedCopy(to);
    return error;
}

namespace {

// Ends one new file of a copy from one read: its time, the data on the disk when asked, its
// attributes. A failure removes it.
ErrorCode FinishCopy(OwnedHandle& out, const std::wstring& to, const BY_HANDLE_FILE_INFORMATION& info,
                     ErrorCode error, bool toDisk, bool& timeKept) {
    if (error == kSuccess)
        timeKept = SetFileTime(out.Get(), nullptr, nullptr, &info.ftLastWriteTime) != 0;
    if (error == kSuccess && toDisk && !FlushFileBuffers(out.Get()))
        error = LastError();
    out.Reset();
    if (error != kSuccess) {
        DeleteFileW(to.c_str());
        return error;
    }
    SetFileAttributesW(to.c_str(), (info.dwFileAttributes & kKeptAttributes) != 0
                                       ? info.dwFileAttributes & kKeptAttributes
                                       : FILE_ATTRIBUTE_NORMAL);
    return kSuccess;
}

ErrorCode OpenCopySource(const std::wstring& from, OwnedHandle& in, BY_HANDLE_FILE_INFORMATION& info) {
    WIN32_FILE_ATTRIBUTE_DATA sourceData{};
    if (GetFileAttributesExW(from.c_str(), GetFileExInfoStandard, &sourceData) &&
        SourceIsLink(from, sourceData))
        return kErrorStoppedOnSymlink;
    in.Reset(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.IsValid())
        return LastError();
    if (!GetFileInformationByHandle(in.Get(), &info))
        return LastError();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ERROR_ACCESS_DENIED;
    return kSuccess;
}

} // namespace

ErrorCode CopyToNewFilesInOneRead(const std::wstring& source, std::span<NewFileCopy> copies,
                                  CopyProgressFn progress, void* context, const std::atomic<int32_t>* cancel,
                                  CopyHashes* hashes) {
    if (Cancelled(cancel))
        return kErrorRequestAborted;
    OwnedHandle in;
    BY_HANDLE_FILE_INFORMATION info{};
    if (const ErrorCode error = OpenCopySource(LiteralPath(source), in, info); error != kSuccess) {
        for (NewFileCopy& copy : copies)
            copy.error = error;
        return error;
    }
    std::vector<OwnedHandle> outs(copies.size());
    std::vector<HandleSink> sinks;
    sinks.reserve(copies.size());
    std::vector<ChunkSink*> writing;
    std::vector<size_t> writingCopy;
    for (size_t i = 0; i < copies.size(); ++i) {
        outs[i].Reset(CreateFileW(LiteralPath(copies[i].destination).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!outs[i].IsValid()) {
            copies[i].error = IsNameTaken(LastError()) ? kErrorFileExists : LastError();
            continue;
        }
        copies[i].error = kSuccess;
        sinks.emplace_back(outs[i].Get());
        writing.push_back(&sinks.back());
        writingCopy.push_back(i);
    }
    if (writing.empty())
        return kSuccess;
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const ChunkBuffer chunk;
    HandleSource reader(in.Get());
    return PumpIntoNewCopies(reader, writing, writingCopy, copies, size, chunk.Bytes(),
                             {progress, context, cancel}, hashes,
                             [&](NewFileCopy& copy, size_t index, ErrorCode outcome) {
                                 return FinishCopy(outs[index], LiteralPath(copy.destination), info, outcome,
                                                   hashes != nullptr, copy.timeKept);
                             });
}

// Unbuffered where the file system allows it; some (network shares among them) refuse it.
ErrorCode HashUncached(const std::wstring& path, const ChunkProgress& progress, const ChunkHashes& hashes) {
    const std::wstring name = LiteralPath(path);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    OwnedHandle in(CreateFileW(name.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // Some file systems (network shares among them) refuse unbuffered reads: read through the cache.
    if (!in.IsValid() && GetLastError() == ERROR_INVALID_PARAMETER)
        in.Reset(CreateFileW(name.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.IsValid())
        return LastError();
    LARGE_INTEGER size{};
    GetFileSizeEx(in.Get(), &size);
    const ChunkBuffer chunk;
    HandleSource reader(in.Get());
    return PumpChunks(reader, nullptr, static_cast<uint64_t>(size.QuadPart), chunk.Bytes(), progress, hashes);
}

NewFile NewFile::Create(const std::wstring& path, ErrorCode& error) {
    NewFile file;
    HANDLE handle = CreateFileW(LiteralPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return file;
    }
    file.m_handle = handle;
    error = kSuccess;
    return file;
}

ErrorCode NewFile::Write(const void* data, size_t size) {
    if (m_handle == nullptr)
        return ERROR_INVALID_PARAMETER;
    return WriteAll(static_cast<HANDLE>(m_handle), static_cast<const std::byte*>(data), size) ? kSuccess
                                                                                              : LastError();
}

ErrorCode NewFile::Close() {
    if (m_handle == nullptr)
        return kSuccess;
    HANDLE handle = static_cast<HANDLE>(m_handle);
    m_handle = nullptr;
    return CloseHandle(handle) ? kSuccess : LastError();
}

ErrorCode ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
    OwnedHandle in(CreateFileW(LiteralPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.IsValid())
        return LastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.Get(), &size))
        return LastError();
    if (static_cast<uint64_t>(size.QuadPart) > maxBytes)
        return ERROR_NOT_ENOUGH_MEMORY;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const size_t left = bytes.size() - done;
        if (!ReadFile(in.Get(), bytes.data() + done,
                      left > kChunkBytes ? kChunkBytes : static_cast<DWORD>(left), &got, nullptr))
            return LastError();
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return kSuccess;
}

} // namespace platform
