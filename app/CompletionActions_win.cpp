#include "app/CompletionActions_win.h"

#include "copy/Progress.h"
#include "drives/DriveTypes.h"
#include "platform/Drives.h"

void RunCompletionActions(HWND owner, const CompletionRequest& request) {
    const wchar_t letter = DriveLetter(request.driveIndex);
    const std::wstring root = std::wstring{letter} + L":\\";
    const std::wstring devicePath = std::wstring(L"\\\\.\\") + letter + L':';
    const CompletionPlan plan = PlanCompletion(request.options, platform::DriveType(root));
    if (plan.eject)
        platform::EjectMedia(devicePath);
    if (plan.speakerBeep)
        Beep(1000, 100);
    if (plan.soundBeep)
        MessageBeep(MB_ICONASTERISK);
    if (plan.popup)
        MessageBoxW(owner,
                    CompletionPopupText(request.driveIndex, request.errorCount, request.destinations).c_str(),
                    L"Harvex", MB_SYSTEMMODAL | MB_ICONINFORMATION);
}
