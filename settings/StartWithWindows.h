#pragma once
// "Start with Windows": the value "Harvex" under the per-user Run key, holding the quoted path of
// the executable followed by " /tray". The Options dialog's box shows it ticked only when the value
// is there and names this executable, so a value left behind by a moved or other copy shows
// unticked until the box is ticked again.
#include <string>
#include <string_view>

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"Harvex";

// "\"C:\\Tools\\harvex.exe\" /tray"
std::wstring RunCommandFor(std::wstring_view exePath);

// The program a Run command starts: the quoted text, or the text up to the first blank.
std::wstring ProgramOfRunCommand(std::wstring_view command);

// Whether a Run command starts exePath (paths compare without case, '/' as '\').
bool RunCommandStarts(std::wstring_view command, std::wstring_view exePath);

// What the box shows: the value is there and starts exePath.
bool IsStartWithWindowsOn(std::wstring_view exePath);

// Applies the box after OK. Ticked: writes the value for exePath (also over another copy's value).
// Unticked: removes the value when it starts exePath; another copy's value is left alone. False
// when the registry refused the change.
bool ApplyStartWithWindows(bool ticked, std::wstring_view exePath);
