#pragma once
// The notification-area icon of the main dialog and its pop-up menu.
#include <windows.h>
#include <shellapi.h>

inline constexpr UINT kTrayCallbackMessage = WM_USER + 112; // 0x470
inline constexpr UINT kTrayIconId = 100;

class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Loads the small icon and adds it; the result is remembered so a later shell start can add it
    // again (Readd).
    void Add(HWND owner, HINSTANCE instance, int iconId, const wchar_t* tip);
    // The shell's task bar was created again (Explorer restarted, or it was not there when Add ran).
    void Readd();
    void Remove();
    bool IsShown() const { return m_shown; }

private:
    NOTIFYICONDATAW m_data{};
    HICON m_icon = nullptr;
    bool m_added = false; // Add has run: the record is filled
    bool m_shown = false; // the shell accepted the icon
};

// The tray menu, built from kTrayMenuItems.
class TrayMenu {
public:
    TrayMenu() = default;
    ~TrayMenu() { Destroy(); }
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    void Build();
    void Destroy();
    // Opens the menu at the cursor for the owner; a chosen item reaches the owner as WM_COMMAND.
    void Track(HWND owner);

private:
    HMENU m_menu = nullptr;
};
