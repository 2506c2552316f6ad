#include "app/TrayIcon_win.h"
#include "app/WorkArea.h"
#include "app/MainDlgTexts.h"

#include <cwchar>

TrayIcon::~TrayIcon() {
    Remove();
    if (m_icon)
        DestroyIcon(m_icon);
}

void TrayIcon::Add(HWND owner, HINSTANCE instance, int iconId, const wchar_t* tip) {
    m_icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    m_data = {};
    // The record layout that ends after guidItem (952 bytes), understood by every shell since Vista.
    m_data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    m_data.hWnd = owner;
    m_data.uID = kTrayIconId;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = kTrayCallbackMessage;
    m_data.hIcon = m_icon;
    m_data.uTimeout = 3;
    wcsncpy(m_data.szTip, tip, ARRAYSIZE(m_data.szTip) - 1);
    m_added = true;
    m_shown = Shell_NotifyIconW(NIM_ADD, &m_data) != FALSE;
}

void TrayIcon::Readd() {
    if (!m_added)
        return;
    // After a shell restart the old icon is gone; adding it again is all it takes.
    m_shown = Shell_NotifyIconW(NIM_ADD, &m_data) != FALSE;
}

void TrayIcon::Remove() {
    if (!m_added)
        return;
    Shell_NotifyIconW(NIM_DELETE, &m_data);
    m_added = false;
    m_shown = false;
}

void TrayMenu::Build() {
    Destroy();
    m_menu = CreatePopupMenu();
    for (const TrayMenuItem& item : kTrayMenuItems)
        AppendMenuW(m_menu, item.id == 0 ? MF_SEPARATOR : 0, static_cast<UINT_PTR>(item.id), item.text);
    SetMenuDefaultItem(m_menu, kTrayMenuDefaultId, FALSE);
}

void TrayMenu::Destroy() {
    if (m_menu && DestroyMenu(m_menu))
        m_menu = nullptr;
}

namespace {

int ClampToWorkArea(int x, int y) {
    POINT point{x, y};
    bool onMonitor = MonitorFromPoint(point, MONITOR_DEFAULTTONULL) != nullptr;
    std::optional<ScreenRect> workArea;
    if (!onMonitor) {
        HMONITOR nearest = MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (nearest && GetMonitorInfoW(nearest, &info))
            workArea = ScreenRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    }
    return ClampXToWorkArea(x, onMonitor, workArea);
}

} // namespace

void TrayMenu::Track(HWND owner) {
    if (!m_menu)
        return;
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    int x = ClampToWorkArea(cursor.x, cursor.y);
    TrackPopupMenu(m_menu, 0, x, cursor.y, 0, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
}
