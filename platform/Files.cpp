// Ownership of a folder listing is the same on every platform; only Close differs.
#include "platform/Files.h"

#include <utility>

namespace platform {

FolderListing::~FolderListing() {
    Close();
}

FolderListing::FolderListing(FolderListing&& other) noexcept
    : m_handle(other.m_handle), m_havePending(other.m_havePending), m_pending(std::move(other.m_pending)) {
    other.m_handle = nullptr;
    other.m_havePending = false;
}

FolderListing& FolderListing::operator=(FolderListing&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_havePending = other.m_havePending;
        m_pending = std::move(other.m_pending);
        other.m_handle = nullptr;
        other.m_havePending = false;
    }
    return *this;
}

bool FolderListing::TakePending(FolderEntry& entry, ErrorCode& error) {
    if (!m_havePending)
        return false;
    entry = std::move(m_pending);
    m_havePending = false;
    error = kSuccess;
    return true;
}

NewFile::~NewFile() {
    Close();
}

NewFile::NewFile(NewFile&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

// The loop for several copies serves one as well: one read, one hash, one write, the copy flushed.
ErrorCode CopyFileHashed(const std::wstring& source, const std::wstring& destination, CopyProgressFn progress,
                         void* context, const std::atomic<int32_t>* cancel, Sha256Digest& digest,
                         bool* timeKept) {
    NewFileCopy copy{destination};
    const ErrorCode error = CopyToNewFilesInOneRead(source, {&copy, 1}, progress, context, cancel, &digest);
    if (timeKept != nullptr)
        *timeKept = copy.timeKept;
    return error != kSuccess ? error : copy.error;
}

ErrorCode CopyToNewFiles(const std::wstring& source, std::span<NewFileCopy> copies, CopyProgressFn progress,
                         void* context, const std::atomic<int32_t>* cancel, Sha256Digest* digest) {
    if (copies.size() != 1)
        return CopyToNewFilesInOneRead(source, copies, progress, context, cancel, digest);
    NewFileCopy& copy = copies[0];
    copy.error = digest != nullptr ? CopyFileHashed(source, copy.destination, progress, context, cancel,
                                                    *digest, &copy.timeKept)
                                   : CopyToNewFile(source, copy.destination, progress, context, cancel);
    return copy.error;
}

} // namespace platform
