#include "app/MainDlg_win.h"
#include "app/StartOptions.h"
#include "platform/Handles_win.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace {

// Held by every instance in the session's namespace while it runs.
constexpr wchar_t kRunningMutexName[] = L"Local\\Quenby.Harvex2.Running";

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const StartOptions start = ParseStartOptions(commandLine ? commandLine : L"");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kRunningMutexName);
    const bool anotherRuns = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    const platform::UniqueHandle running(mutex);
    // A start in the tray (by "Start with Windows") where Harvex already runs would only add a
    // second icon; a start by the user stays an instance of its own.
    if (start.inTray && anotherRuns)
        return 0;
    HRESULT com = CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    int exitCode = 0;
    {
        CMainDlg dialog;
        exitCode = dialog.DoModal(instance, start);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}
