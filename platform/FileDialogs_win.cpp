#include "platform/FileDialogs_win.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

namespace platform {

bool PickFolder(HWND owner, const wchar_t* title, std::wstring& path) {
    wchar_t chosen[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pszDisplayName = chosen;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return false;
    const BOOL gotPath = SHGetPathFromIDListW(item, chosen);
    CoTaskMemFree(item); // the picker's item list, freed at once: nothing can fail in between
    if (!gotPath || chosen[0] == L'\0')
        return false;
    path = chosen;
    return true;
}

bool PickFileToOpen(HWND owner, const wchar_t* title, const wchar_t* filter, std::wstring& path) {
    std::vector<wchar_t> chosen(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog))
        return false;
    path = chosen.data();
    return true;
}

} // namespace platform
