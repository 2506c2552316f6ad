#pragma once
// The system's pickers for a folder and for a file to open. Each gives false when the user cancels.
#include <windows.h>

#include <string>

namespace platform {

// The folder picker (SHBrowseForFolderW), file system folders only.
bool PickFolder(HWND owner, const wchar_t* title, std::wstring& path);
// The open-file picker (GetOpenFileNameW) for an existing file; filter as OPENFILENAMEW takes it.
bool PickFileToOpen(HWND owner, const wchar_t* title, const wchar_t* filter, std::wstring& path);

} // namespace platform
