#include "app/CompletionActions_win.h"

#include "drives/DriveTypes.h"
#include "platform/Drives.h"
#include "service/CompletionSteps.h"

void RunCompletionActions(HWND owner, const CompletionRequest& request) {
    const CompletionSteps steps =
        PlanCompletionSteps(request, platform::DriveType(DriveRoot(request.driveIndex)));
    if (steps.plan.eject)
        platform::EjectMedia(steps.devicePath);
    if (steps.plan.speakerBeep)
        Beep(1000, 100);
    if (steps.plan.soundBeep)
        MessageBeep(MB_ICONASTERISK);
    if (steps.plan.popup)
        MessageBoxW(owner, steps.popupText.c_str(), L"Harvex", MB_SYSTEMMODAL | MB_ICONINFORMATION);
}
