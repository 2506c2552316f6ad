// Copies on Linux: each file is created new, its data moved in the kernel where it can (or read,
// hashed and written), and renamed without replacing anything, as the Win32 layer does.
#include "platform/ChunkPump.h"
#include "platform/Files.h"
#include "platform/PosixFiles_posix.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

using posix::Cancelled;
using posix::FileDescriptor;
using posix::Host;
using posix::LastError;

// One copy_file_range call or one read moves at most this much between two progress calls.
constexpr size_t kRangeChunk = 8u << 20;
constexpr size_t kBufferSize = 1u << 20;
constexpr size_t kPageSize = 4096;

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

// copy_file_range fails every time between file systems that cannot do it (a card and a disk, two
// tmpfs). Once it has failed from a source volume into a destination folder, the files that follow
// there go straight to reads and writes: one failed call a folder rather than one a file.
struct RangeCopyRefusal {
    dev_t sourceDevice = 0;
    std::string destinationFolder;
};
thread_local RangeCopyRefusal t_rangeRefused;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool RangeCopyRefused(dev_t sourceDevice, const std::string& destination) {
    return t_rangeRefused.sourceDevice == sourceDevice && !t_rangeRefused.destinationFolder.empty() &&
           t_rangeRefused.destinationFolder == FolderOf(destination);
}

// Moves the data, in the kernel where it can (useRange; false when the kernel refused). Stops at the
// size the source had when it was opened, which saves the call that would only find the end.
ErrorCode CopyData(int in, int out, uint64_t size, CopyProgressFn progress, void* context,
                   const std::atomic<int32_t>* cancel, bool& useRange) {
    // Like CopyFileExW, the routine hears of the file once before any data moves.
    if (Report(progress, context, size, 0))
        return kErrorRequestAborted;
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
    // A file cut while it was read (or a failed read taken for its end) gives a short copy, which is
    // a failed one, as in the hashed copy.
    return done < size ? kErrorReadFault : kSuccess;
}

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

// Ends a new file's copy: the source's last write (a file system that cannot take it keeps the
// data), the data on the disk when toDisk asks for it, and the close, where a late write error
// shows. On any failure the file is removed: no part of it is left.
ErrorCode FinishNewFile(FileDescriptor& out, const std::string& path, const struct stat& source,
                        ErrorCode error, bool toDisk, bool* timeKept = nullptr) {
    if (error == kSuccess) {
        const timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
        const bool timeSet = ::futimens(out.Get(), times) == 0;
        if (timeKept != nullptr)
            *timeKept = timeSet;
        if (toDisk && ::fdatasync(out.Get()) != 0 && errno != EINVAL && errno != EROFS)
            error = LastError();
        if (::close(out.Release()) != 0 && error == kSuccess)
            error = LastError();
    }
    if (error != kSuccess) {
        out.Reset();
        ::unlink(path.c_str());
    }
    return error;
}

// Creates the destination as a new file; a name that is taken is left alone.
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

class DescriptorSource final : public ChunkSource {
public:
    explicit DescriptorSource(int fd) : m_fd(fd) {}
    ErrorCode Read(std::byte* buffer, size_t size, size_t& got) override {
        const ssize_t n = ReadSome(m_fd, reinterpret_cast<char*>(buffer), size);
        if (n < 0)
            return LastError();
        got = static_cast<size_t>(n);
        return kSuccess;
    }

private:
    int m_fd;
};

class DescriptorSink final : public ChunkSink {
public:
    explicit DescriptorSink(int fd) : m_fd(fd) {}
    ErrorCode Write(const std::byte* data, size_t size) override {
        return WriteAll(m_fd, reinterpret_cast<const char*>(data), size) ? kSuccess : LastError();
    }

private:
    int m_fd;
};

std::span<std::byte> CopyBytes() {
    return {reinterpret_cast<std::byte*>(CopyBuffer()), kBufferSize};
}

// Opens a file for reading past the page cache when the file system allows direct I/O.
int OpenUncached(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_DIRECT);
    if (fd >= 0 || (errno != EINVAL && errno != EOPNOTSUPP))
        return fd;
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

} // namespace

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

namespace {

// Copies source into a new file at destination: both are opened, moveData(in, out, info,
// destinationHost) fills the new file, and FinishNewFile ends it (removed on any failure).
template <class MoveData>
ErrorCode CopyIntoNewFile(const std::wstring& source, const std::wstring& destination,
                          const std::atomic<int32_t>* cancel, bool toDisk, MoveData moveData,
                          bool* timeKept = nullptr) {
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
        error = moveData(in.Get(), out.Get(), info, destinationHost);
    if (!out.IsOpen())
        return error;
    return FinishNewFile(out, destinationHost, info, error, toDisk, timeKept);
}

} // namespace

ErrorCode CopyToNewFile(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                        void* context, const std::atomic<int32_t>* cancel) {
    return CopyIntoNewFile(source, destination, cancel, false,
                           [&](int in, int out, const struct stat& info, const std::string& destinationHost) {
                               bool useRange = !RangeCopyRefused(info.st_dev, destinationHost);
                               const bool triedRange = useRange;
                               const ErrorCode error = CopyData(in, out, static_cast<uint64_t>(info.st_size),
                                                                progress, context, cancel, useRange);
                               if (triedRange && !useRange)
                                   t_rangeRefused = {info.st_dev, FolderOf(destinationHost)};
                               return error;
                           });
}

ErrorCode CopyToNewFilesInOneRead(const std::wstring& source, std::span<NewFileCopy> copies,
                                  CopyProgressFn progress, void* context, const std::atomic<int32_t>* cancel,
                                  CopyHashes* hashes) {
    if (Cancelled(cancel))
        return kErrorRequestAborted;
    FileDescriptor in;
    struct stat info {};
    if (const ErrorCode error = OpenSourceFile(source, in, info); error != kSuccess) {
        for (NewFileCopy& copy : copies)
            copy.error = error;
        return error;
    }
    std::vector<FileDescriptor> outs(copies.size());
    std::vector<DescriptorSink> sinks;
    sinks.reserve(copies.size());
    std::vector<ChunkSink*> writing;
    std::vector<size_t> writingCopy;
    for (size_t i = 0; i < copies.size(); ++i) {
        copies[i].error = OpenNewDestination(Host(copies[i].destination), info, outs[i]);
        if (copies[i].error != kSuccess)
            continue;
        sinks.emplace_back(outs[i].Get());
        writing.push_back(&sinks.back());
        writingCopy.push_back(i);
    }
    if (writing.empty())
        return kSuccess;
    DescriptorSource reader(in.Get());
    return PumpIntoNewCopies(reader, writing, writingCopy, copies, static_cast<uint64_t>(info.st_size),
                             CopyBytes(), {progress, context, cancel}, hashes,
                             [&](NewFileCopy& copy, size_t index, ErrorCode outcome) {
                                 return FinishNewFile(outs[index], Host(copy.destination), info, outcome,
                                                      hashes != nullptr, &copy.timeKept);
                             });
}

// Past the page cache where the file system allows it (O_DIRECT).
ErrorCode HashUncached(const std::wstring& path, const ChunkProgress& progress, const ChunkHashes& hashes) {
    FileDescriptor in(OpenUncached(Host(path)));
    if (!in.IsOpen())
        return LastError();
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0)
        return LastError();
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? kErrorAccessDenied : kErrorNotSupported;
    DescriptorSource reader(in.Get());
    return PumpChunks(reader, nullptr, static_cast<uint64_t>(info.st_size), CopyBytes(), progress, hashes);
}

NewFile NewFile::Create(const std::wstring& path, ErrorCode& error) {
    NewFile file;
    const int fd = ::open(Host(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        error = errno == EEXIST ? kErrorFileExists : LastError(kErrorPathNotFound);
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
