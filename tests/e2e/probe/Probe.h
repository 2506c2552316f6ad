#pragma once
// What every probe command shares: its arguments, its result, the window it works on, and
// messages sent with a time limit.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Json.h"

namespace probe {

inline constexpr wchar_t kMainTitle[] = L"Harvex v. 2.0";
inline constexpr wchar_t kDialogClass[] = L"#32770";

struct Status {
    bool ok = true;
    std::wstring error;
    static Status Ok() { return {}; }
    static Status Fail(const wchar_t* format, ...);
};

// A command's words after its name. Texts may come hex-encoded ("hex:" and UTF-8 bytes in hex) so
// that any text survives Wine's command-line handling unchanged.
class Args {
public:
    explicit Args(std::vector<std::wstring> words) : m_words(std::move(words)) {}
    size_t Count() const { return m_words.size(); }
    bool Has(size_t index) const { return index < m_words.size(); }
    std::wstring Text(size_t index) const;
    std::optional<int64_t> Number(size_t index) const;
    int64_t NumberOr(size_t index, int64_t fallback) const;
    // "name=value" words anywhere among the arguments.
    std::optional<std::wstring> Option(const wchar_t* name) const;
    std::optional<int64_t> NumberOption(const wchar_t* name) const;
    bool Flag(const wchar_t* word) const;

private:
    std::vector<std::wstring> m_words;
};

std::optional<int64_t> ParseNumber(const std::wstring& word);
std::wstring DecodeText(const std::wstring& word);
std::string ToUtf8(const std::wstring& text);
std::wstring HexHandle(HWND window);

// Which top-level window the window and control commands work on.
struct Target {
    enum class Kind { Main, Title, Handle } kind = Kind::Main;
    std::wstring title = kMainTitle;
    std::wstring className = kDialogClass;
    DWORD processId = 0; // 0: any process
    HWND handle = nullptr;
};

struct Context {
    Target target;
    UINT messageTimeoutMs = 5000;
};

// Every top-level window that matches the target (for Kind::Handle: the handle while it exists).
std::vector<HWND> FindTargets(const Target& target);
// The one window the target names; fails when there is none or more than one.
Status ResolveTarget(const Context& context, HWND& window);
// A child control of the target by id; id 0 is the target window itself.
Status ResolveControl(const Context& context, int64_t id, HWND& control);

// SendMessageTimeoutW with the context's limit; no value when it timed out or failed.
std::optional<LRESULT> SendTimed(const Context& context, HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam);
std::optional<LRESULT> SendTimed(UINT timeoutMs, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::wstring WindowClass(HWND window);
std::wstring WindowTitle(HWND window);
JsonObject RectJson(const RECT& rect);

using CommandFn = Status (*)(Context& context, const Args& args, JsonObject& out);

struct Command {
    const char* name;
    const char* usage;
    CommandFn run;
};

void AddWindowCommands(std::vector<Command>& commands);
void AddControlCommands(std::vector<Command>& commands);
void AddListViewCommands(std::vector<Command>& commands);
void AddDriveCommands(std::vector<Command>& commands);
void AddDeviceCommands(std::vector<Command>& commands);
void AddRegistryCommands(std::vector<Command>& commands);
void AddInputCommands(std::vector<Command>& commands);
void AddSystemCommands(std::vector<Command>& commands);
void AddUiCommands(std::vector<Command>& commands);

} // namespace probe
