#pragma once
// "Verify copies": a file is copied in a loop that hashes the data it writes, then the copy is read
// back from the disk and hashed again. A copy that differs is written once more; if it still
// differs it is removed.
#include "platform/Files.h"

struct VerifiedCopyResult {
    platform::ErrorCode error = platform::kSuccess; // of the copy or the read-back
    bool differs = false;                           // both copies differed from the source; removed
    platform::Sha256Digest digest{};                // the source's, when verified
    bool timeKept = true; // false: the destination could not take the source's time; the data is whole
};

// progress and cancel as for platform::CopyFileWithProgress; a stop during the read-back removes the
// unverified copy too.
VerifiedCopyResult CopyAndVerify(const std::wstring& source, const std::wstring& destination,
                                 platform::CopyProgressFn progress, void* context,
                                 const std::atomic<int32_t>* cancel);
