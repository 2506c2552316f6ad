#pragma once
// What a run's progress reports look like on screen: the size and time-left texts, the progress
// line with its bar position, and the completion actions a finished run calls for.
#include "copy/JobHost.h"
#include "platform/Errors.h"
#include "settings/CompletionOptions.h"

#include <cstdint>
#include <span>
#include <string>

// "%.2f %s" in units of 1024: 0.00 B, 1023.00 B, 1.50 KiB, 1.00 GiB.
std::wstring FormatSize(uint64_t bytes);

// "1 file", "1,234 files": a count with thousands separators and the word that fits it.
std::wstring CountText(uint64_t count, const wchar_t* one, const wchar_t* many);

// The two largest units of a time span: "2d 3h", "1h 0m", "5m 12s", "59s".
std::wstring FormatTimeLeft(uint32_t milliseconds);

// Bytes done of bytes in total as a report's fraction. A total of 0 gives NaN (nothing of nothing)
// or infinity (something of nothing).
float ProgressFraction(uint64_t doneBytes, uint64_t totalBytes);

// What the dialog shows for one report.
struct ProgressView {
    std::wstring text;    // the progress line (control 1016)
    bool setsBar = false; // false: the bar keeps its position
    int barPos = 0;       // 0..100 when setsBar
    bool completed = false;
    bool stopped = false;
};

ProgressView MakeProgressView(const ProgressReport& report);

// The final report of a run that makes no copy: the progress line says why.
ProgressReport NoCopyReport(int32_t driveIndex, const std::wstring& why);

// What a finished run does, from the "When finished:" settings and the drive's type at that moment.
struct CompletionPlan {
    bool eject = false;       // IOCTL_STORAGE_EJECT_MEDIA on the device path
    bool speakerBeep = false; // Beep(1000, 100)
    bool soundBeep = false;   // MessageBeep(MB_ICONASTERISK)
    bool popup = false;       // CompletionPopupText in a message box

    bool operator==(const CompletionPlan&) const = default;
};

// driveType is the platform's type of the drive's root; 7 and above count as 0 (unknown).
CompletionPlan PlanCompletion(const CompletionOptions& options, uint32_t driveType);

// How the copy into one destination ended.
struct DestinationOutcome {
    std::wstring folder;
    uint64_t files = 0;                                 // copied into it
    uint32_t errors = 0;                                // entries that did not reach it
    platform::ErrorCode lostError = platform::kSuccess; // nonzero: it stopped as a whole
    bool nothingNew = false;                            // it held every file: its folder is gone again
};

// "D:\Cards\017: 1,234 files verified.", "D:\Cards\017: 1,230 files copied, 4 errors." or
// "\\nas\cards\004: stopped, the destination is full (812 files)." for each destination, in order.
std::wstring DestinationsText(std::span<const DestinationOutcome> destinations, bool verified);

// The run's last line: "Finished.", "Finished. 1,234 files verified." or "Finished with 2 errors.";
// with two destinations followed by how each ended (DestinationsText).
std::wstring FinishedText(uint32_t errorCount, bool verified, uint64_t verifiedCount,
                          std::span<const DestinationOutcome> destinations = {});

// "Copying finished for drive \\.\E:", and for a run with errors a second line: "3 files or folders
// could not be copied." With two destinations the second line says how each ended.
std::wstring CompletionPopupText(int32_t driveIndex, uint32_t errorCount,
                                 const std::wstring& destinations = {});
