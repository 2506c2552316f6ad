#include "service/CompletionSteps.h"

#include "drives/DriveTypes.h"

CompletionSteps PlanCompletionSteps(const CompletionRequest& request, uint32_t driveType) {
    CompletionSteps steps;
    steps.plan = PlanCompletion(request.options, driveType);
    steps.devicePath = std::wstring(L"\\\\.\\") + DriveLetter(request.driveIndex) + L':';
    if (steps.plan.popup)
        steps.popupText = CompletionPopupText(request.driveIndex, request.errorCount, request.destinations);
    return steps;
}
