#include "app/CompletionActions_win.h"

#include "copy/Progress.h"
#include "drives/DriveTypes.h"
#include "platform/Drives.h"

void RunCompletionActions(HWND owner, const CompletionRequest& request) {
    const wchar_t letter = DriveLetter(request.driveIndex);
    const std::wstring root = std::wstring{letter} + L":\\";
    const std::wstring devicePath = std::wstring(L"\\\\.\\") + letter + L':';
    const CompletionOptions& options = request.options;
    CompletionPlan plan =
        PlanCompletion(options.m_ejectCdRom != 0, options.m_beep != 0, options.m_beepBySpeaker != 0,
                       options.m_showPopup != 0, platform::DriveType(root));
    if (plan.eject)
        platform::EjectMedia(devicePath);
    if (plan.speakerBeep)
        Beep(1000, 100);
    if (plan.soundBeep)
        MessageBeep(MB_ICONASTERISK);
    if (plan.popup)
        MessageBoxW(owner, CompletionPopupText(request.driveIndex, request.errorCount).c_str(), L"Harvex",
                    MB_SYSTEMMODAL | MB_ICONINFORMATION);
}
