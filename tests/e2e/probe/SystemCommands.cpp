// What the system reports to any program in the prefix: special folders, the time, the screen.
#include <windows.h>

#include <shlobj.h>

#include "Probe.h"

namespace probe {
namespace {

struct FolderName {
    const wchar_t* name;
    int csidl;
};

constexpr FolderName kFolders[] = {
    {L"personal", CSIDL_PERSONAL}, {L"desktop", CSIDL_DESKTOPDIRECTORY}, {L"appdata", CSIDL_APPDATA},
    {L"profile", CSIDL_PROFILE},   {L"windows", CSIDL_WINDOWS},
};

Status SpecialFolder(Context&, const Args& args, JsonObject& out) {
    std::optional<int> csidl;
    for (const auto& folder : kFolders) {
        if (args.Text(0) == folder.name)
            csidl = folder.csidl;
    }
    if (!csidl && args.Number(0))
        csidl = static_cast<int>(*args.Number(0));
    if (!csidl)
        return Status::Fail(L"usage: special-folder personal|desktop|appdata|profile|windows|CSIDL");
    wchar_t path[MAX_PATH] = {};
    // The same call the program makes: no creation of a missing folder.
    if (!SHGetSpecialFolderPathW(nullptr, path, *csidl, FALSE))
        return Status::Fail(L"SHGetSpecialFolderPathW failed for %d", *csidl);
    out.Text("path", path).Bool("exists", GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES);
    return Status::Ok();
}

Status Screen(Context&, const Args&, JsonObject& out) {
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    out.Int("width", GetSystemMetrics(SM_CXSCREEN)).Int("height", GetSystemMetrics(SM_CYSCREEN));
    out.Object("work_area", RectJson(workArea));
    out.Int("small_icon", GetSystemMetrics(SM_CXSMICON)).Int("icon", GetSystemMetrics(SM_CXICON));
    return Status::Ok();
}

LRESULT CALLBACK RefusingTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA)
        return FALSE; // every Shell_NotifyIcon request fails
    return DefWindowProcW(window, message, wParam, lParam);
}

// A shell whose notification area takes no icon: Shell_NotifyIcon sends its requests to the first
// "Shell_TrayWnd" it finds, and a topmost one made last is found before the real one.
Status RefusingTray(Context&, const Args& args, JsonObject& out) {
    const int64_t ms = args.NumberOr(0, 10000);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RefusingTrayProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassW(&windowClass))
        return Status::Fail(L"RegisterClass failed: %lu", GetLastError());
    HWND tray = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!tray)
        return Status::Fail(L"CreateWindowEx failed: %lu", GetLastError());
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    DestroyWindow(tray);
    out.Int("ms", ms);
    return Status::Ok();
}

} // namespace

void AddSystemCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"special-folder", "personal|desktop|appdata|profile|windows|CSIDL: SHGetSpecialFolderPathW",
             SpecialFolder},
            {"screen", ": screen size, work area and icon sizes", Screen},
            {"refusing-tray", "[MS=10000]: for MS, a notification area that takes no icon", RefusingTray},
        });
}

} // namespace probe
