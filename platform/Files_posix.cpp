// Files on Linux: Windows-style paths go through the drive map (HostPath), errno becomes the Win32
// code the rest of the program expects, and a file copy behaves as CopyFileExW does.
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Seconds from 1601-01-01 (FILETIME's start) to 1970-01-01.
constexpr int64_t kEpochDifferenceSeconds = 11644473600;
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

// One copy_file_range call or one read moves at most this much between two progress calls.
constexpr size_t kRangeChunk = 8u << 20;
constexpr size_t kBufferSize = 1u << 20;
constexpr size_t kPageSize = 4096;

// ENOENT means "file not found" for a file and "path not found" where a folder was expected,
// as Windows tells the two apart.
ErrorCode FromErrno(int error, ErrorCode notFound = kErrorFileNotFound) {
    switch (error) {
    case 0:
        return kSuccess;
    case ENOENT:
        return notFound;
    case ENOTDIR:
    case ELOOP:
        return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return kErrorAccessDenied;
    case EEXIST:
        return kErrorAlreadyExists;
    case ENOTEMPTY:
        return kErrorDirNotEmpty;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kErrorDiskFull;
    case ENAMETOOLONG:
        return kErrorFilenameTooLong;
    case ENOMEM:
        return kErrorNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
        return kErrorSharingViolation;
    case EINVAL:
        return kErrorInvalidParameter;
    case ENOTCONN:
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
        return kErrorDeviceNotConnected;
    case ENOSYS:
    case EOPNOTSUPP:
        return kErrorNotSupported;
    case EIO:
    default:
        return kErrorIoDevice;
    }
}

ErrorCode LastError(ErrorCode notFound = kErrorFileNotFound) {
    return FromErrno(errno, notFound);
}

std::string Host(const std::wstring& path) {
    return posix::HostPath(path);
}

FileTime ToFileTime(int64_t seconds, int64_t nanoseconds) {
    if (seconds < -kEpochDifferenceSeconds)
        return 0;
    return static_cast<FileTime>((seconds + kEpochDifferenceSeconds) * kFileTimeTicksPerSecond +
                                 nanoseconds / 100);
}

timespec ToTimespec(FileTime time) {
    timespec spec{};
    spec.tv_sec =
        static_cast<time_t>(static_cast<int64_t>(time / kFileTimeTicksPerSecond) - kEpochDifferenceSeconds);
    spec.tv_nsec = static_cast<long>((time % kFileTimeTicksPerSecond) * 100);
    return spec;
}

uint32_t AttributesOfMode(mode_t mode) {
    uint32_t attributes = 0;
    if (S_ISDIR(mode))
        attributes |= kAttrDirectory;
    if ((mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    return attributes != 0 ? attributes : kAttrNormal;
}

bool Cancelled(const std::atomic<int32_t>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The open listing behind FolderListing's handle.
struct OpenListing {
    DIR* dir = nullptr;
    bool isDriveRoot = false; // Windows lists no "." and ".." in a drive's root folder
};

// "E:\" (and "E:\\"): the root folder of a drive.
bool IsDriveRootFolder(const std::wstring& folder) {
    if (folder.size() < 2 || folder[1] != L':')
        return false;
    return folder.find_first_not_of(L"\\/", 2) == std::wstring::npos;
}

bool IsDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The attributes, size and last write of an entry, from the entry itself: a symbolic link is
// reported as a link and never followed, as Windows lists its links.
void FillEntry(DIR* dir, const dirent& found, FolderEntry& entry) {
    entry.size = 0;
    entry.lastWriteTime = 0;
    struct stat info {};
    if (::fstatat(dirfd(dir), found.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.isLink = found.d_type == DT_LNK;
        entry.attributes = entry.isLink             ? kAttrReparsePoint
                           : found.d_type == DT_DIR ? kAttrDirectory
                                                    : kAttrNormal;
        return;
    }
    entry.isLink = S_ISLNK(info.st_mode);
    entry.attributes = entry.isLink ? kAttrReparsePoint : AttributesOfMode(info.st_mode);
    if (entry.isLink || S_ISDIR(info.st_mode))
        return;
    entry.size = static_cast<uint64_t>(info.st_size);
    entry.lastWriteTime = ToFileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

// A host name as a Windows-style name: a backslash in it must not read as a separator.
std::wstring NameOfHost(const char* name) {
    std::wstring wide = FromUtf8(name);
    std::replace(wide.begin(), wide.end(), L'\\', kHostBackslash);
    return wide;
}

bool ReadEntry(OpenListing& listing, FolderEntry& entry, ErrorCode& error) {
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(listing.dir);
        if (found == nullptr) {
            error = errno != 0 ? LastError() : kErrorNoMoreFiles;
            return false;
        }
        if (listing.isDriveRoot && IsDotName(found->d_name))
            continue;
        entry.name = NameOfHost(found->d_name);
        FillEntry(listing.dir, *found, entry);
        error = kSuccess;
        return true;
    }
}

// Reports progress; true when the routine asks to cancel.
bool Report(CopyProgressFn progress, void* context, uint64_t total, uint64_t done) {
    return progress != nullptr && progress(total, done, context);
}

// copy_file_range cannot serve this pair of files (other file systems, old kernels, special files).
bool RangeCopyUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EBADF ||
           error == ETXTBSY;
}

struct PageAlignedDelete {
    void operator()(char* buffer) const { ::operator delete[](buffer, std::align_val_t{kPageSize}); }
};

// Page-aligned: the kernel copies into and out of it much faster than into a buffer that malloc
// places 16 bytes past a page start.
char* CopyBuffer() {
    thread_local std::unique_ptr<char[], PageAlignedDelete> buffer;
    if (!buffer)
        buffer.reset(new (std::align_val_t{kPageSize}) char[kBufferSize]);
    return buffer.get();
}

// One read and the writes it needs; the bytes moved, 0 at the end, -1 with errno on failure.
ssize_t ReadWriteChunk(int in, int out) {
    char* buffer = CopyBuffer();
    const ssize_t got = ::read(in, buffer, kBufferSize);
    if (got <= 0)
        return got;
    ssize_t written = 0;
    while (written < got) {
        const ssize_t n = ::write(out, buffer + written, static_cast<size_t>(got - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        written += n;
    }
    return got;
}

// Moves the data, in the kernel where it can. Stops at the size the source had when it was opened,
// which saves the call that would only find the end.
ErrorCode CopyData(int in, int out, uint64_t size, CopyProgressFn progress, void* context,
                   const std::atomic<int32_t>* cancel) {
    // Like CopyFileExW, the routine hears of the file once before any data moves.
    if (Report(progress, context, size, 0))
        return kErrorRequestAborted;
    bool useRange = true;
    uint64_t done = 0;
    while (size == 0 || done < size) {
        if (Cancelled(cancel))
            return kErrorRequestAborted;
        ssize_t moved =
            useRange ? ::copy_file_range(in, nullptr, out, nullptr, kRangeChunk, 0) : ReadWriteChunk(in, out);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && useRange && RangeCopyUnsupported(errno)) {
            useRange = false;
            continue;
        }
        if (moved < 0)
            return LastError();
        if (moved == 0)
            break;
        done += static_cast<uint64_t>(moved);
        if (Report(progress, context, done > size ? done : size, done))
            return kErrorRequestAborted;
    }
    return kSuccess;
}

// Creates the destination as a new file; a name that is taken is left alone.
// Opens a file to copy: a regular file only, never through a link. O_NONBLOCK: opening a FIFO must
// not wait for a writer; it is turned away here. O_NOFOLLOW: a link put in the file's place after
// the listing is not read through.
ErrorCode OpenSourceFile(const std::wstring& source, FileDescriptor& in, struct stat& info) {
    in.Reset(::open(Host(source).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (!in.IsOpen())
        return errno == ELOOP ? kErrorStoppedOnSymlink : LastError();
    if (::fstat(in.Get(), &info) != 0)
        return LastError();
    if (S_ISDIR(info.st_mode))
        return kErrorAccessDenied;
    if (!S_ISREG(info.st_mode))
        return kErrorNotSupported;
    return kSuccess;
}

ErrorCode OpenNewDestination(const std::string& path, const struct stat& source, FileDescriptor& out) {
    out.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW,
                     source.st_mode & 0777));
    if (out.IsOpen())
        return kSuccess;
    if (errno == EEXIST)
        return kErrorFileExists;
    return LastError(kErrorPathNotFound);
}

// A file system without an atomic no-replace rename (some FUSE volumes): a hard link cannot take a
// name that exists either; without hard links the name is checked first.
ErrorCode RenameWithoutNoReplace(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0)
        return ::unlink(from.c_str()) == 0 ? kSuccess : LastError();
    if (errno == EEXIST)
        return kErrorAlreadyExists;
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0)
        return kErrorAlreadyExists;
    return ::rename(from.c_str(), to.c_str()) == 0 ? kSuccess : LastError();
}

// Writes all of size bytes.
bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A read that retries when interrupted; the bytes read, 0 at the end, -1 with errno on failure.
ssize_t ReadSome(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got < 0 && errno == EINTR)
            continue;
        return got;
    }
}

// The hashed copy's loop: every byte read is hashed and written; the source's size at opening ends it.
ErrorCode CopyDataHashed(int in, int out, uint64_t size, CopyProgressFn progress, void* context,
                         const std::atomic<int32_t>* cancel, Sha256& hash) {
    if (Report(progress, context, size, 0))
        return kErrorRequestAborted;
    char* buffer = CopyBuffer();
    uint64_t done = 0;
    for (;;) {
        if (Cancelled(cancel))
            return kErrorRequestAborted;
        const ssize_t got = ReadSome(in, buffer, kBufferSize);
        if (got < 0)
            return LastError();
        if (got == 0)
            return kSuccess;
        hash.Update(buffer, static_cast<size_t>(got));
        if (!WriteAll(out, buffer, static_cast<size_t>(got)))
            return LastError();
        done += static_cast<uint64_t>(got);
        if (Report(progress, context, done > size ? done : size, done))
            return kErrorRequestAborted;
    }
}

// Opens a file for reading past the page cache when the file system allows direct I/O.
int OpenUncached(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_DIRECT);
    if (fd >= 0 || (errno != EINVAL && errno != EOPNOTSUPP))
        return fd;
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

} // namespace

void FolderListing::Close() {
    auto* listing = static_cast<OpenListing*>(m_handle);
    m_handle = nullptr;
    m_havePending = false;
    if (listing == nullptr)
        return;
    ::closedir(listing->dir);
    delete listing;
}

FolderListing FolderListing::Open(const std::wstring& pattern, ErrorCode& error) {
    FolderListing result;
    std::wstring folder = pattern;
    if (!folder.empty() && folder.back() == L'*')
        folder.pop_back();
    // A trailing separator would make the system follow a link in the folder's place.
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    // A link in the folder's place is not followed.
    FileDescriptor fd(::open(Host(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    DIR* dir = fd.IsOpen() ? ::fdopendir(fd.Get()) : nullptr;
    if (dir == nullptr) {
        error = LastError(kErrorPathNotFound);
        return result;
    }
    fd.Release();
    auto* listing = new OpenListing{dir, IsDriveRootFolder(folder)};
    result.m_handle = listing;
    if (!ReadEntry(*listing, result.m_pending, error)) {
        result.Close();
        // FindFirstFileW's word for a folder with nothing in it.
        if (error == kErrorNoMoreFiles)
            error = kErrorFileNotFound;
        return result;
    }
    result.m_havePending = true;
    return result;
}

bool FolderListing::Next(FolderEntry& entry, ErrorCode& error) {
    if (TakePending(entry, error))
        return true;
    if (m_handle == nullptr) {
        error = kErrorNoMoreFiles;
        return false;
    }
    return ReadEntry(*static_cast<OpenListing*>(m_handle), entry, error);
}

ErrorCode CreateFolder(const std::wstring& path) {
    if (::mkdir(Host(path).c_str(), 0777) != 0)
        return LastError(kErrorPathNotFound);
    return kSuccess;
}

bool PathExists(const std::wstring& path) {
    struct stat info {};
    return ::stat(Host(path).c_str(), &info) == 0;
}

ErrorCode GetFileInfo(const std::wstring& path, FileInfo& info) {
    struct statx details {};
    // A link is described as itself, as GetFileAttributesExW describes a reparse point.
    if (::statx(AT_FDCWD, Host(path).c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &details) != 0)
        return LastError();
    info.attributes = S_ISLNK(details.stx_mode) ? kAttrReparsePoint : AttributesOfMode(details.stx_mode);
    info.size = S_ISDIR(details.stx_mode) ? 0 : details.stx_size;
    info.lastAccessTime = ToFileTime(details.stx_atime.tv_sec, details.stx_atime.tv_nsec);
    info.lastWriteTime = ToFileTime(details.stx_mtime.tv_sec, details.stx_mtime.tv_nsec);
    // Not every file system keeps a birth time; the last write is the nearest figure then.
    info.creationTime = (details.stx_mask & STATX_BTIME) != 0
                            ? ToFileTime(details.stx_btime.tv_sec, details.stx_btime.tv_nsec)
                            : info.lastWriteTime;
    return kSuccess;
}

// Only the read-only bit has a POSIX form: the owner's write permission.
ErrorCode SetAttributes(const std::wstring& path, uint32_t attributes) {
    const std::string host = Host(path);
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0)
        return LastError();
    const mode_t mode = info.st_mode & 07777;
    const mode_t wanted = (attributes & kAttrReadOnly) != 0 ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
    if (wanted != mode && ::chmod(host.c_str(), wanted) != 0)
        return LastError();
    return kSuccess;
}

// Linux cannot set a birth time; the last access and last write are set.
ErrorCode SetFolderTimes(const std::wstring& path, FileTime, FileTime lastAccess, FileTime lastWrite) {
    const timespec times[2] = {ToTimespec(lastAccess), ToTimespec(lastWrite)};
    if (::utimensat(AT_FDCWD, Host(path).c_str(), times, 0) != 0)
        return LastError();
    return kSuccess;
}

ErrorCode DeleteFileAt(const std::wstring& path) {
    if (::unlink(Host(path).c_str()) != 0)
        return LastError();
    return kSuccess;
}

ErrorCode RemoveEmptyFolder(const std::wstring& path) {
    if (::rmdir(Host(path).c_str()) != 0)
        return LastError(kErrorPathNotFound);
    return kSuccess;
}

ErrorCode RenameNoReplace(const std::wstring& from, const std::wstring& to) {
    const std::string fromHost = Host(from);
    const std::string toHost = Host(to);
    if (::renameat2(AT_FDCWD, fromHost.c_str(), AT_FDCWD, toHost.c_str(), RENAME_NOREPLACE) == 0)
        return kSuccess;
    if (errno == EEXIST)
        return kErrorAlreadyExists;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
        return RenameWithoutNoReplace(fromHost, toHost);
    return LastError();
}

ErrorCode CopyToNewFile(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                        void* context, const std::atomic<int32_t>* cancel) {
    if (Cancelled(cancel))
        return kErrorRequestAborted;
    FileDescriptor in;
    struct stat info {};
    if (const ErrorCode error = OpenSourceFile(source, in, info); error != kSuccess)
        return error;

    const std::string destinationHost = Host(destination);
    FileDescriptor out;
    ErrorCode error = OpenNewDestination(destinationHost, info, out);
    if (error == kSuccess)
        error = CopyData(in.Get(), out.Get(), static_cast<uint64_t>(info.st_size), progress, context, cancel);
    if (!out.IsOpen())
        return error;
    if (error == kSuccess) {
        // The copy keeps the source's last write; a file system that cannot take it keeps the data.
        const timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
        ::futimens(out.Get(), times);
        // A late write error shows only here.
        if (::close(out.Release()) != 0)
            error = LastError();
    }
    if (error != kSuccess) {
        out.Reset();
        ::unlink(destinationHost.c_str());
    }
    return error;
}

ErrorCode CopyFileHashed(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                         void* context, const std::atomic<int32_t>* cancel, Sha256Digest& digest) {
    if (Cancelled(cancel))
        return kErrorRequestAborted;
    FileDescriptor in;
    struct stat info {};
    if (const ErrorCode error = OpenSourceFile(source, in, info); error != kSuccess)
        return error;
    Sha256 hash;
    if (!hash.IsValid())
        return kErrorNotEnoughMemory;

    const std::string destinationHost = Host(destination);
    FileDescriptor out;
    ErrorCode error = OpenNewDestination(destinationHost, info, out);
    if (error == kSuccess)
        error = CopyDataHashed(in.Get(), out.Get(), static_cast<uint64_t>(info.st_size), progress, context,
                               cancel, hash);
    if (!out.IsOpen())
        return error;
    if (error == kSuccess) {
        const timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
        ::futimens(out.Get(), times);
        // The read-back that follows must find the data on the disk, not only in the cache.
        if (::fdatasync(out.Get()) != 0 && errno != EINVAL && errno != EROFS)
            error = LastError();
        if (::close(out.Release()) != 0 && error == kSuccess)
            error = LastError();
    }
    if (error != kSuccess) {
        out.Reset();
        ::unlink(destinationHost.c_str());
        return error;
    }
    digest = hash.Finish();
    return kSuccess;
}

ErrorCode HashFile(const std::wstring& path, CopyProgressFn progress, void* context,
                   const std::atomic<int32_t>* cancel, Sha256Digest& digest) {
    FileDescriptor in(OpenUncached(Host(path)));
    if (!in.IsOpen())
        return LastError();
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0)
        return LastError();
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? kErrorAccessDenied : kErrorNotSupported;
    Sha256 hash;
    if (!hash.IsValid())
        return kErrorNotEnoughMemory;
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    char* buffer = CopyBuffer();
    uint64_t done = 0;
    for (;;) {
        if (Cancelled(cancel))
            return kErrorRequestAborted;
        const ssize_t got = ReadSome(in.Get(), buffer, kBufferSize);
        if (got < 0)
            return LastError();
        if (got == 0)
            break;
        hash.Update(buffer, static_cast<size_t>(got));
        done += static_cast<uint64_t>(got);
        if (Report(progress, context, done > size ? done : size, done))
            return kErrorRequestAborted;
    }
    digest = hash.Finish();
    return kSuccess;
}

NewFile NewFile::Create(const std::wstring& path, ErrorCode& error) {
    NewFile file;
    const int fd = ::open(Host(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        error = LastError(kErrorPathNotFound);
        return file;
    }
    // The descriptor is kept in the handle, off by one so that descriptor 0 is not "closed".
    file.m_handle = reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
    error = kSuccess;
    return file;
}

ErrorCode NewFile::Write(const void* data, size_t size) {
    if (m_handle == nullptr)
        return kErrorInvalidParameter;
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(m_handle) - 1);
    return WriteAll(fd, static_cast<const char*>(data), size) ? kSuccess : LastError();
}

ErrorCode NewFile::Close() {
    if (m_handle == nullptr)
        return kSuccess;
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(m_handle) - 1);
    m_handle = nullptr;
    return ::close(fd) == 0 ? kSuccess : LastError();
}

ErrorCode ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
    FileDescriptor in(::open(Host(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!in.IsOpen())
        return LastError();
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0)
        return LastError();
    if (!S_ISREG(info.st_mode))
        return kErrorAccessDenied;
    if (static_cast<uint64_t>(info.st_size) > maxBytes)
        return kErrorNotEnoughMemory;
    bytes.assign(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ReadSome(in.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0)
            return LastError();
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return kSuccess;
}

} // namespace platform
