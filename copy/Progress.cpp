#include "copy/Progress.h"

#include "copy/CopyTarget.h"
#include "drives/DriveTypes.h"
#include "platform/Drives.h"
#include "platform/Text.h"

#include <cmath>
#include <limits>

namespace {

const wchar_t* const kSizeUnits[] = {L"B", L"KiB", L"MiB", L"GiB", L"TiB", L"PiB", L"EiB", L"ZiB", L"YiB"};

// Beyond this the percent or the estimate no longer fits a 32-bit signed count.
constexpr double kInt32Limit = 2147483648.0;

std::wstring CompletionText(uint32_t errorCount) {
    if (errorCount == 0)
        return L"Complete.";
    return platform::Format(L"Complete with %u %ls.", errorCount, errorCount == 1 ? L"error" : L"errors");
}

// The straight-line estimate from the average speed so far, in milliseconds; negative when there
// is no usable estimate (nothing done yet, or a figure that does not fit 32 bits).
int64_t EstimateTimeLeft(float fraction, uint32_t elapsed) {
    if (fraction <= 0.0f)
        return -1;
    const float elapsedMs = static_cast<float>(elapsed);
    const float estimate = elapsedMs / fraction - elapsedMs;
    if (std::isnan(estimate) || estimate >= static_cast<float>(kInt32Limit))
        return -1;
    const int64_t milliseconds = static_cast<int64_t>(estimate);
    // A fraction above 1 (more copied than the volume said it held) gives a negative figure.
    return milliseconds < 1000 ? 1000 : milliseconds;
}

} // namespace

std::wstring CountText(uint64_t count, const wchar_t* one, const wchar_t* many) {
    std::wstring digits = std::to_wstring(count);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, L',');
    return digits + L" " + (count == 1 ? one : many);
}

std::wstring FormatSize(uint64_t bytes) {
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0) {
        value *= 0.0009765625;
        ++unit;
    }
    const wchar_t* name = unit < std::size(kSizeUnits) ? kSizeUnits[unit] : L"???";
    return platform::Format(L"%.2f %ls", value, name);
}

std::wstring FormatTimeLeft(uint32_t milliseconds) {
    const uint32_t s = milliseconds / 1000;
    const uint32_t days = s / 86400;
    const uint32_t hours = (s / 3600) % 24;
    const uint32_t minutes = (s / 60) % 60;
    const uint32_t seconds = s % 60;
    if (days != 0)
        return platform::Format(L"%ud %uh", days, hours);
    if (hours != 0)
        return platform::Format(L"%uh %um", hours, minutes);
    if (minutes != 0)
        return platform::Format(L"%um %us", minutes, seconds);
    return platform::Format(L"%us", seconds);
}

float ProgressFraction(uint64_t doneBytes, uint64_t totalBytes) {
    if (totalBytes == 0)
        return doneBytes == 0 ? std::numeric_limits<float>::quiet_NaN()
                              : std::numeric_limits<float>::infinity();
    return static_cast<float>(static_cast<double>(doneBytes) / static_cast<double>(totalBytes));
}

// Cases a straight reading of the report would turn into "nan" or garbage:
// - a fraction that is NaN, infinite or negative comes from a volume
//   that reported no space in use, so there is no total to measure against: the line reads
//   "Copying, total size unknown" and the bar stays where it is;
// - a percent of 2^31 or more is treated the same way;
// - no usable estimate (nothing copied yet, or 2^31 ms or more left) reads "time left unknown".
ProgressView MakeProgressView(const ProgressReport& report) {
    ProgressView view;
    if (!report.note.empty()) {
        view.text = report.note;
        return view;
    }
    if (report.state == RunState::Finished) {
        view.completed = true;
        view.setsBar = true;
        view.barPos = 100;
        view.text = CompletionText(report.errorCount);
        return view;
    }
    if (report.state == RunState::Stopped) {
        view.stopped = true;
        view.text = L"Stopped.";
        return view;
    }
    const double percent = static_cast<double>(report.fraction) * 100.0;
    if (!std::isfinite(percent) || percent < 0.0 || percent >= kInt32Limit) {
        view.text = L"Copying, total size unknown";
        return view;
    }
    const int32_t wholePercent = static_cast<int32_t>(percent);
    view.setsBar = true;
    view.barPos = wholePercent > 100 ? 100 : wholePercent;
    const int64_t timeLeft = EstimateTimeLeft(report.fraction, report.elapsed);
    if (timeLeft < 0) {
        view.text =
            platform::Format(L"%d%% of %ls, time left unknown", wholePercent, report.sizeText.c_str());
        return view;
    }
    const std::wstring timeText = FormatTimeLeft(static_cast<uint32_t>(timeLeft));
    view.text =
        platform::Format(L"%d%% of %ls, %ls left", wholePercent, report.sizeText.c_str(), timeText.c_str());
    return view;
}

ProgressReport NoCopyReport(int32_t driveIndex, const std::wstring& why) {
    ProgressReport report;
    report.driveIndex = driveIndex;
    report.state = RunState::Stopped;
    report.note = why;
    return report;
}

CompletionPlan PlanCompletion(const CompletionOptions& options, uint32_t driveType) {
    const bool beep = options.m_beep != 0;
    const bool bySpeaker = options.m_beepBySpeaker != 0;
    CompletionPlan plan;
    plan.eject = options.m_ejectCdRom != 0 && ClampDriveType(driveType) == platform::kDriveCdRom;
    plan.speakerBeep = beep && bySpeaker;
    plan.soundBeep = beep && !bySpeaker;
    plan.popup = options.m_showPopup != 0;
    return plan;
}

std::wstring DestinationsText(std::span<const DestinationOutcome> destinations, bool verified) {
    std::wstring text;
    for (const DestinationOutcome& destination : destinations) {
        if (!text.empty())
            text += L' ';
        text += destination.folder + L": ";
        if (destination.lostError != platform::kSuccess) {
            text += L"stopped, " + LostDestinationText(destination.lostError) + L" (" +
                    CountText(destination.files, L"file", L"files") + L").";
            continue;
        }
        if (destination.nothingNew) {
            text += L"nothing new.";
            continue;
        }
        text += CountText(destination.files, L"file", L"files") + (verified ? L" verified" : L" copied");
        if (destination.errors != 0)
            text += L", " + CountText(destination.errors, L"error", L"errors");
        text += L'.';
    }
    return text;
}

std::wstring FinishedText(uint32_t errorCount, bool verified, uint64_t verifiedCount,
                          std::span<const DestinationOutcome> destinations) {
    if (destinations.size() > 1) {
        const std::wstring start = errorCount != 0 ? platform::Format(L"Finished with %u %ls.", errorCount,
                                                                      errorCount == 1 ? L"error" : L"errors")
                                                   : std::wstring(L"Finished.");
        return start + L' ' + DestinationsText(destinations, verified);
    }
    if (errorCount != 0)
        return platform::Format(L"Finished with %u %ls.", errorCount, errorCount == 1 ? L"error" : L"errors");
    if (!verified)
        return L"Finished.";
    return L"Finished. " + CountText(verifiedCount, L"file", L"files") + L" verified.";
}

std::wstring CompletionPopupText(int32_t driveIndex, uint32_t errorCount, const std::wstring& destinations) {
    const wchar_t letter = DriveLetter(driveIndex);
    std::wstring text = std::wstring(L"Copying finished for drive \\\\.\\") + letter + L':';
    if (!destinations.empty())
        return text + L'\n' + destinations;
    // A run with failures must not read like a clean one.
    if (errorCount == 1)
        text += L"\n1 file or folder could not be copied.";
    else if (errorCount > 1)
        text += platform::Format(L"\n%u files or folders could not be copied.", errorCount);
    return text;
}
