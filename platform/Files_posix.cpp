// Files on Linux: Windows-style paths go through the drive map (HostPath), errno becomes the Win32
// code the rest of the program expects; listings report links as links and never follow them.
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/PosixFiles_posix.h"
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
namespace posix {

ErrorCode FromErrno(int error, ErrorCode notFound) {
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

ErrorCode LastError(ErrorCode notFound) {
    return FromErrno(errno, notFound);
}

std::string Host(const std::wstring& path) {
    return posix::HostPath(path);
}

bool Cancelled(const std::atomic<int32_t>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
}

} // namespace posix

namespace {

using posix::FileDescriptor;
using posix::Host;
using posix::LastError;

// Seconds from 1601-01-01 (FILETIME's start) to 1970-01-01.
constexpr int64_t kEpochDifferenceSeconds = 11644473600;
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

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
    std::wstring wide = FromHostName(name);
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

ErrorCode RenameReplacing(const std::wstring& from, const std::wstring& to) {
    if (::rename(Host(from).c_str(), Host(to).c_str()) != 0)
        return LastError();
    return kSuccess;
}

ErrorCode RemoveEmptyFolder(const std::wstring& path) {
    if (::rmdir(Host(path).c_str()) != 0)
        return LastError(kErrorPathNotFound);
    return kSuccess;
}

} // namespace platform
