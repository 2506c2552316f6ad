#pragma once
// "Verify copies", one file in turn: a file is copied in a loop that hashes the data it writes
// (SHA-256 for the list, XXH3 for the check), then each copy is read back from the disk and its
// XXH3 compared. A copy that differs is written once more; if it still differs it is removed. The
// tree copy does the same with the read-back on a thread of its own (CopyVerifier).
#include "platform/Files.h"

#include <span>
#include <string>

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

// As CopyAndVerify into every destination, the source read once for all of them (and once more
// for the copies that differed). Gives the failure that concerns every copy (as
// platform::CopyToNewFiles); each copy's own outcome is in the same place of results.
platform::ErrorCode CopyAndVerifyAll(const std::wstring& source, std::span<const std::wstring> destinations,
                                     std::span<VerifiedCopyResult> results, platform::CopyProgressFn progress,
                                     void* context, const std::atomic<int32_t>* cancel);

// The read-back of one written copy: hashed again from the disk and compared with the data written.
// A copy that cannot be read back or differs is removed; differs says which.
platform::ErrorCode ReadBackCopy(const std::wstring& destination, const platform::Xxh128Digest& written,
                                 const std::atomic<int32_t>* cancel, bool& differs);
