#include "copy/VerifiedCopy.h"

namespace {

constexpr int kAttempts = 2;

void RemoveCopy(const std::wstring& path) {
    platform::SetAttributes(path, platform::kAttrNormal);
    platform::DeleteFileAt(path);
}

} // namespace

VerifiedCopyResult CopyAndVerify(const std::wstring& source, const std::wstring& destination,
                                 platform::CopyProgressFn progress, void* context,
                                 const std::atomic<int32_t>* cancel) {
    VerifiedCopyResult result;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        platform::Sha256Digest written{};
        result.error = platform::CopyFileHashed(source, destination, progress, context, cancel, written,
                                                &result.timeKept);
        if (result.error != platform::kSuccess)
            return result;
        platform::Sha256Digest readBack{};
        result.error = platform::HashFile(destination, nullptr, nullptr, cancel, readBack);
        if (result.error != platform::kSuccess) {
            RemoveCopy(destination);
            return result;
        }
        if (readBack == written) {
            result.digest = written;
            return result;
        }
        RemoveCopy(destination);
    }
    result.differs = true;
    return result;
}
