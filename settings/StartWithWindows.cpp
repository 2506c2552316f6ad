#include "settings/StartWithWindows.h"
#include "platform/Registry.h"

#include <cwctype>

namespace {

// Long enough for a long path in quotes and any arguments.
constexpr size_t kRunCommandMaxChars = 33000;

wchar_t PathCharKey(wchar_t ch) {
    return ch == L'/' ? L'\\' : static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (PathCharKey(a[i]) != PathCharKey(b[i]))
            return false;
    }
    return true;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back())))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::wstring RunCommandFor(std::wstring_view exePath) {
    std::wstring command = L"\"";
    command += exePath;
    command += L"\" /tray";
    return command;
}

std::wstring ProgramOfRunCommand(std::wstring_view command) {
    command = TrimBlanks(command);
    if (command.empty())
        return std::wstring();
    if (command.front() == L'"') {
        size_t close = command.find(L'"', 1);
        return std::wstring(
            command.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1));
    }
    size_t blank = 0;
    while (blank < command.size() && !std::iswspace(static_cast<wint_t>(command[blank])))
        ++blank;
    return std::wstring(command.substr(0, blank));
}

bool RunCommandStarts(std::wstring_view command, std::wstring_view exePath) {
    std::wstring program = ProgramOfRunCommand(command);
    return !program.empty() && SamePath(program, exePath);
}

bool IsStartWithWindowsOn(std::wstring_view exePath) {
    platform::RegKey run = platform::RegKey::Open(kRunKeyPath);
    std::wstring command;
    if (!run.IsOpen() || !run.QueryString(kRunValueName, kRunCommandMaxChars, command))
        return false;
    // The stored size counts the terminating zero.
    while (!command.empty() && command.back() == L'\0')
        command.pop_back();
    return RunCommandStarts(command, exePath);
}

bool ApplyStartWithWindows(bool ticked, std::wstring_view exePath) {
    if (exePath.empty())
        return false;
    if (ticked) {
        platform::RegKey run = platform::RegKey::Create(kRunKeyPath, nullptr);
        return run.IsOpen() && run.SetString(kRunValueName, RunCommandFor(exePath));
    }
    if (!IsStartWithWindowsOn(exePath))
        return true;
    platform::RegKey run = platform::RegKey::Open(kRunKeyPath);
    return run.IsOpen() && run.DeleteValue(kRunValueName);
}
