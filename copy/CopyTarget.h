#pragma once
// One destination of a run. A run copies into one or two of them from a single read of the volume:
// each has its own run folder, records, names and counts, and one that fails (full, write-protected,
// gone) stops alone while the copy goes on into the other.
#include "copy/RunRecords.h"
#include "platform/Errors.h"

#include <cstdint>
#include <string>

struct CopyDestination {
    std::wstring root; // an existing folder: "D:\Copies\000"
    // Where the destination lies on the source volume, a relative path in upper case
    // (UpperPathBelowRoot), so the copy does not copy itself; empty when it lies elsewhere.
    std::wstring belowSource = {};
    // "Verify copies" and "only files not copied before": this destination's records, or none.
    RunRecords* records = nullptr;
};

// How the copy into one destination went.
struct CopyTargetResult {
    uint64_t filesCopied = 0;
    // Files and folders that did not reach this destination through a failure of its own (the
    // failures on the volume's side count for every destination, in TreeCopyResult::sourceErrors).
    uint32_t ownErrors = 0;
    // Nonzero: the destination failed as a whole with this error; nothing more was written there.
    platform::ErrorCode lostError = platform::kSuccess;
};

// An error that ends the copy into a destination, not one of a single file: the destination is
// full, write-protected, or the device or the network under it is gone.
bool IsDestinationLostError(platform::ErrorCode error);

// "the destination is full", "the destination is write-protected", "the destination cannot be
// reached": a lost destination's reason, briefly.
std::wstring LostDestinationText(platform::ErrorCode error);
