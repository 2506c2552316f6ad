// What is the same on every platform: the ownership of a folder listing (only Close differs), and
// hashing a file on the disk (only how it is read past the cache differs).
#include "platform/Files.h"
#include "platform/ChunkPump.h"
#include "platform/Sha256.h"
#include "platform/Xxh3.h"

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
    CopyHashes hashes;
    const ErrorCode error = CopyToNewFilesInOneRead(source, {&copy, 1}, progress, context, cancel, &hashes);
    if (timeKept != nullptr)
        *timeKept = copy.timeKept;
    digest = hashes.source;
    return error != kSuccess ? error : copy.error;
}

ErrorCode CopyToNewFiles(const std::wstring& source, std::span<NewFileCopy> copies, CopyProgressFn progress,
                         void* context, const std::atomic<int32_t>* cancel, CopyHashes* hashes) {
    if (copies.size() != 1 || hashes != nullptr) {
        const ErrorCode error = CopyToNewFilesInOneRead(source, copies, progress, context, cancel, hashes);
        if (error != kSuccess) {
            for (NewFileCopy& copy : copies)
                copy.error = error;
        }
        return copies.size() == 1 ? copies[0].error : error;
    }
    NewFileCopy& copy = copies[0];
    copy.error = CopyToNewFile(source, copy.destination, progress, context, cancel);
    return copy.error;
}

ErrorCode HashFile(const std::wstring& path, CopyProgressFn progress, void* context,
                   const std::atomic<int32_t>* cancel, Sha256Digest& digest) {
    Sha256 hash;
    const ErrorCode error = HashUncached(path, {progress, context, cancel}, ChunkHashes{&hash});
    if (error != kSuccess)
        return error;
    digest = hash.Finish();
    return kSuccess;
}

ErrorCode ReadBackHash(const std::wstring& path, const std::atomic<int32_t>* cancel, Xxh128Digest& digest) {
    Xxh3 hash;
    const ErrorCode error = HashUncached(path, {nullptr, nullptr, cancel}, ChunkHashes{nullptr, &hash});
    if (error != kSuccess)
        return error;
    digest = hash.Finish();
    return kSuccess;
}

} // namespace platform
