#include "copy/VerifiedCopy.h"

#include <vector>

namespace {

constexpr int kAttempts = 2;

void RemoveCopy(const std::wstring& path) {
    platform::SetAttributes(path, platform::kAttrNormal);
    platform::DeleteFileAt(path);
}

} // namespace

platform::ErrorCode ReadBackCopy(const std::wstring& destination, const platform::Xxh128Digest& written,
                                 const std::atomic<int32_t>* cancel, bool& differs) {
    platform::Xxh128Digest readBack{};
    const platform::ErrorCode error = platform::ReadBackHash(destination, cancel, readBack);
    differs = error == platform::kSuccess && readBack != written;
    if (error != platform::kSuccess || differs)
        RemoveCopy(destination);
    return error;
}

VerifiedCopyResult CopyAndVerify(const std::wstring& source, const std::wstring& destination,
                                 platform::CopyProgressFn progress, void* context,
                                 const std::atomic<int32_t>* cancel) {
    VerifiedCopyResult result;
    CopyAndVerifyAll(source, std::span<const std::wstring>(&destination, 1), std::span(&result, 1), progress,
                     context, cancel);
    return result;
}

platform::ErrorCode CopyAndVerifyAll(const std::wstring& source, std::span<const std::wstring> destinations,
                                     std::span<VerifiedCopyResult> results, platform::CopyProgressFn progress,
                                     void* context, const std::atomic<int32_t>* cancel) {
    // The places of the copies still to be written: all of them, then those that differed.
    std::vector<size_t> toWrite;
    for (size_t i = 0; i < destinations.size(); ++i)
        toWrite.push_back(i);
    for (int attempt = 0; attempt < kAttempts && !toWrite.empty(); ++attempt) {
        std::vector<platform::NewFileCopy> copies;
        for (const size_t i : toWrite)
            copies.push_back(platform::NewFileCopy{destinations[i]});
        platform::CopyHashes hashes;
        const platform::ErrorCode error =
            platform::CopyToNewFiles(source, copies, progress, context, cancel, &hashes);
        std::vector<size_t> differing;
        for (size_t k = 0; k < toWrite.size(); ++k) {
            VerifiedCopyResult& result = results[toWrite[k]];
            result.error = copies[k].error;
            result.timeKept = copies[k].timeKept;
            if (result.error != platform::kSuccess)
                continue;
            bool differs = false;
            result.error = ReadBackCopy(destinations[toWrite[k]], hashes.written, cancel, differs);
            if (differs)
                differing.push_back(toWrite[k]);
            else if (result.error == platform::kSuccess)
                result.digest = hashes.source;
        }
        if (error != platform::kSuccess)
            return error;
        toWrite = std::move(differing);
    }
    for (const size_t i : toWrite)
        results[i].differs = true;
    return platform::kSuccess;
}
