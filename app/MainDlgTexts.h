#pragma once
// The texts the main dialog shows besides its template: the combo boxes' items, in the order of the
// stored "Folder name" and "Log level", the tray menu, the program's web addresses, and its message
// box texts.
#include "resources/resource.h"

#include <array>

inline constexpr std::array<const wchar_t*, 4> kFolderNameItems = {
    L"Date/time (yyyy-mm-dd hh-mm-ss.mss)",
    L"3-digit numeric sequence",
    L"5-digit numeric sequence",
    L"Volume label and optional number",
};

inline constexpr std::array<const wchar_t*, 3> kLogLevelItems = {
    L"Basic events and errors",
    L"Events/errors/folder names",
    L"Everything, including file names",
};

// The tray icon's menu, top to bottom; an id of 0 is a separator. "Open" is the default item.
struct TrayMenuItem {
    int id;
    const wchar_t* text;
};
inline constexpr std::array<TrayMenuItem, 7> kTrayMenuItems = {{
    {ID_TRAY_OPEN, L"Open"},
    {0, nullptr},
    {ID_TRAY_CHECK_FOR_UPDATES, L"Check for updates"},
    {ID_TRAY_DONATE, L"Donate few $$"},
    {0, nullptr},
    {ID_TRAY_VERIFY_COPY, L"Verify a copy..."},
    {ID_TRAY_QUIT, L"Quit"},
}};
inline constexpr int kTrayMenuDefaultId = ID_TRAY_OPEN;

// The program's own pages. Harvex has no web site yet: these reserved addresses stand in for it
// until one exists, so no one else's page is ever opened.
inline constexpr wchar_t kHomePageAddress[] = L"https://harvex.invalid/help";
inline constexpr wchar_t kDonationPageAddress[] = L"https://harvex.invalid/donate";

inline constexpr wchar_t kMessageCaption[] = L"Harvex";
inline constexpr wchar_t kStartWithWindowsFailedText[] =
    L"Harvex could not change \"Start with Windows\": the value \"Harvex\" under "
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run could not be "
    L"written. A policy of this computer may forbid it.";
inline constexpr wchar_t kVerifyBusyText[] =
    L"A copy is being verified. Stop it first, or wait until it has ended.";
inline constexpr wchar_t kVerifyNotStartedText[] = L"The check could not be started.";
