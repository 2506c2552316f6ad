#include "app/MainDlg_win.h"
#include "app/StartOptions.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    HRESULT com = CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    int exitCode = 0;
    {
        CMainDlg dialog;
        exitCode = dialog.DoModal(instance, ParseStartOptions(commandLine ? commandLine : L""));
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}
