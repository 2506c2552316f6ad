#pragma once
// What a finished run does at its end, decided the same way for every front end: the plan from the
// "When finished:" settings and the drive's type, the device to eject and the pop-up's text. The
// dialog carries the steps out with Win32 (eject, beeps, message box); other front ends take what
// they can.
#include "copy/JobHost.h"
#include "copy/Progress.h"

#include <cstdint>
#include <string>

struct CompletionSteps {
    CompletionPlan plan;
    std::wstring devicePath; // "\\.\E:", what plan.eject ejects
    std::wstring popupText;  // what plan.popup shows
};

// driveType is the platform's type of the run's drive root at the run's end.
CompletionSteps PlanCompletionSteps(const CompletionRequest& request, uint32_t driveType);
