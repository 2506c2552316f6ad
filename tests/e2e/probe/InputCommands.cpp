// Keyboard messages and the tray icon's callback message, delivered to the target's thread as if
// the user had pressed keys or clicked the notification icon.
#include <windows.h>

#include <shellapi.h>

#include <cwctype>

#include "Probe.h"

namespace probe {
namespace {

constexpr UINT kTrayCallback = WM_USER + 112;
constexpr WPARAM kTrayIconId = 100;

struct KeyName {
    const wchar_t* name;
    UINT key;
};

constexpr KeyName kKeys[] = {
    {L"esc", VK_ESCAPE},  {L"enter", VK_RETURN}, {L"tab", VK_TAB},   {L"space", VK_SPACE},
    {L"f4", VK_F4},       {L"up", VK_UP},        {L"down", VK_DOWN}, {L"left", VK_LEFT},
    {L"right", VK_RIGHT}, {L"home", VK_HOME},    {L"end", VK_END},
};

std::optional<UINT> VirtualKey(const std::wstring& name) {
    for (const auto& key : kKeys) {
        if (name == key.name)
            return key.key;
    }
    if (const auto number = ParseNumber(name))
        return static_cast<UINT>(*number);
    if (name.size() == 1 && std::iswalnum(name[0]))
        return static_cast<UINT>(std::towupper(name[0]));
    return std::nullopt;
}

// Keys go where the system would send them: the focus window of the target's thread, else the
// target itself. A menu loop running on that thread reads them from the thread's queue.
HWND KeyReceiver(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        if (info.hwndFocus != nullptr)
            return info.hwndFocus;
        if (info.hwndActive != nullptr)
            return info.hwndActive;
    }
    return window;
}

Status Key(Context& context, const Args& args, JsonObject& out) {
    std::wstring name = args.Text(0);
    const bool alt = name.rfind(L"alt+", 0) == 0;
    if (alt)
        name = name.substr(4);
    const auto key = VirtualKey(name);
    if (!key)
        return Status::Fail(L"usage: key [alt+]esc|enter|tab|space|f4|up|down|left|right|home|end|LETTER|VK");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    HWND receiver = args.Flag(L"to-target") ? window : KeyReceiver(window);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(*key, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM context29 = alt ? (1LL << 29) : 0;
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    if (!PostMessageW(receiver, down, *key, 1 | scan | context29))
        return Status::Fail(L"PostMessage failed: %lu", GetLastError());
    // Esc or Enter may close the window on the key-down; the key-up then has nobody to go to.
    if (!PostMessageW(receiver, up, *key, 1 | scan | context29 | (1LL << 30) | (1LL << 31)) &&
        GetLastError() != ERROR_INVALID_WINDOW_HANDLE)
        return Status::Fail(L"PostMessage failed: %lu", GetLastError());
    out.Int("vk", *key).Text("receiver", HexHandle(receiver)).Text("receiver_class", WindowClass(receiver));
    return Status::Ok();
}

struct MouseName {
    const wchar_t* name;
    LPARAM message;
};

constexpr MouseName kMouse[] = {
    {L"dblclk", WM_LBUTTONDBLCLK},    {L"lbuttondown", WM_LBUTTONDOWN}, {L"lbuttonup", WM_LBUTTONUP},
    {L"rbuttondown", WM_RBUTTONDOWN}, {L"rbuttonup", WM_RBUTTONUP},     {L"contextmenu", WM_CONTEXTMENU},
    {L"mousemove", WM_MOUSEMOVE},
};

Status Tray(Context& context, const Args& args, JsonObject& out) {
    std::optional<LPARAM> message;
    for (const auto& mouse : kMouse) {
        if (args.Text(0) == mouse.name)
            message = mouse.message;
    }
    if (!message && args.Number(0))
        message = static_cast<LPARAM>(*args.Number(0));
    if (!message)
        return Status::Fail(L"usage: tray dblclk|rbuttonup|contextmenu|lbuttonup|mousemove|N [send] [id=N]");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    const WPARAM iconId = static_cast<WPARAM>(args.NumberOption(L"id").value_or(kTrayIconId));
    out.Int("message", *message);
    // Posted by default: the right button opens a menu whose loop would hold a sent message.
    if (!args.Flag(L"send")) {
        if (!PostMessageW(window, kTrayCallback, iconId, *message))
            return Status::Fail(L"PostMessage failed: %lu", GetLastError());
        return Status::Ok();
    }
    const auto result = SendTimed(context, window, kTrayCallback, iconId, *message);
    if (!result)
        return Status::Fail(L"no answer to the tray message");
    out.Int("result", *result);
    return Status::Ok();
}

// Whether the shell holds the target's icon: modifying an icon with nothing to change succeeds only
// when the icon is there.
Status TrayIcon(Context& context, const Args& args, JsonObject& out) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = static_cast<UINT>(args.NumberOption(L"id").value_or(kTrayIconId));
    out.Bool("present", Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE);
    return Status::Ok();
}

} // namespace

void AddInputCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"key", "[alt+]NAME [to-target]: post key down and up to the focus window of the target's thread",
             Key},
            {"tray", "dblclk|rbuttonup|contextmenu|N [send] [id=100]: the tray callback message 0x470", Tray},
            {"tray-icon", "[id=100]: whether the shell shows the target's tray icon", TrayIcon},
        });
}

} // namespace probe
