#pragma once
// What the Linux file layer's two files share: an owned file descriptor, errno as the Win32 code the
// rest of the program expects, host paths and the cancel flag.
#include "platform/Errors.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <unistd.h>

namespace platform::posix {

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

// ENOENT means "file not found" for a file and "path not found" where a folder was expected, as
// Windows tells the two apart.
ErrorCode FromErrno(int error, ErrorCode notFound = kErrorFileNotFound);
ErrorCode LastError(ErrorCode notFound = kErrorFileNotFound);
// The host path of a Windows-style path, through the drive map.
std::string Host(const std::wstring& path);
bool Cancelled(const std::atomic<int32_t>* cancel);

} // namespace platform::posix
