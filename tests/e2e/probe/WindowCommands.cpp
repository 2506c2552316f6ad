// Commands about top-level windows: choosing the target, waiting for it, its state and geometry.
#include <algorithm>
#include <cwchar>

#include "Probe.h"
#include "Wait.h"

namespace probe {
namespace {

JsonObject WindowJson(HWND window) {
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    RECT windowRect{};
    GetWindowRect(window, &windowRect);
    RECT clientRect{};
    GetClientRect(window, &clientRect);
    POINT clientOrigin{0, 0};
    ClientToScreen(window, &clientOrigin);
    JsonObject json;
    json.Text("hwnd", HexHandle(window)).Int("pid", processId).Int("tid", threadId);
    json.Text("title", WindowTitle(window)).Text("class", WindowClass(window));
    json.Bool("visible", IsWindowVisible(window))
        .Bool("iconic", IsIconic(window))
        .Bool("zoomed", IsZoomed(window));
    json.Bool("enabled", IsWindowEnabled(window)).Bool("foreground", GetForegroundWindow() == window);
    json.Int("style", static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE)));
    json.Int("exstyle", static_cast<uint32_t>(GetWindowLongW(window, GWL_EXSTYLE)));
    json.Object("rect", RectJson(windowRect)).Object("client", RectJson(clientRect));
    json.Int("client_x", clientOrigin.x).Int("client_y", clientOrigin.y);
    return json;
}

JsonArray WindowsJson(const std::vector<HWND>& windows) {
    JsonArray list;
    for (HWND window : windows)
        list.Add(WindowJson(window));
    return list;
}

Status SetTarget(Context& context, const Args& args, JsonObject& out) {
    const std::wstring kind = args.Text(0);
    probe::Target target;
    using Kind = probe::Target::Kind;
    if (kind == L"main") {
        target.kind = Kind::Main;
    } else if (kind == L"title" && args.Has(1)) {
        target.kind = Kind::Title;
        target.title = args.Text(1);
        target.className = args.Option(L"class").value_or(kDialogClass);
    } else if (kind == L"hwnd" && args.Number(1)) {
        target.kind = Kind::Handle;
        target.handle = reinterpret_cast<HWND>(static_cast<uintptr_t>(*args.Number(1)));
    } else {
        return Status::Fail(L"target main|title TEXT [class=C]|hwnd H, each with [pid=N]");
    }
    target.processId = static_cast<DWORD>(args.NumberOption(L"pid").value_or(0));
    context.target = target;
    out.Text("title", target.title).Int("pid", target.processId);
    return Status::Ok();
}

Status WaitWindow(Context& context, const Args& args, JsonObject& out) {
    const int64_t timeoutMs = args.NumberOr(0, 10000);
    const size_t count = static_cast<size_t>(args.NumberOption(L"count").value_or(1));
    const bool visibleOnly = args.Flag(L"visible");
    std::vector<HWND> found;
    const bool ready = WaitUntil(timeoutMs, [&] {
        found = FindTargets(context.target);
        if (visibleOnly)
            std::erase_if(found, [](HWND window) { return !IsWindowVisible(window); });
        return found.size() >= count;
    });
    out.Int("count", static_cast<int64_t>(found.size())).Array("windows", WindowsJson(found));
    if (!ready)
        return Status::Fail(L"%zu of %zu windows \"%ls\" after %lld ms", found.size(), count,
                            context.target.title.c_str(), static_cast<long long>(timeoutMs));
    out.Text("hwnd", HexHandle(found.front()));
    return Status::Ok();
}

Status WaitNoWindow(Context& context, const Args& args, JsonObject& out) {
    const int64_t timeoutMs = args.NumberOr(0, 10000);
    size_t left = 0;
    const bool gone = WaitUntil(timeoutMs, [&] {
        left = FindTargets(context.target).size();
        return left == 0;
    });
    out.Int("count", static_cast<int64_t>(left));
    if (!gone)
        return Status::Fail(L"window \"%ls\" still there after %lld ms", context.target.title.c_str(),
                            static_cast<long long>(timeoutMs));
    return Status::Ok();
}

Status Window(Context& context, const Args&, JsonObject& out) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    out = WindowJson(window);
    return Status::Ok();
}

bool WindowState(HWND window, const std::wstring& state) {
    if (state == L"visible")
        return IsWindowVisible(window);
    if (state == L"iconic")
        return IsIconic(window);
    if (state == L"zoomed")
        return IsZoomed(window);
    if (state == L"foreground")
        return GetForegroundWindow() == window;
    return false;
}

Status WaitState(Context& context, const Args& args, JsonObject& out) {
    const std::wstring state = args.Text(0);
    if (state != L"visible" && state != L"iconic" && state != L"zoomed" && state != L"foreground")
        return Status::Fail(L"wait-state visible|iconic|zoomed|foreground 0|1 [ms]");
    const bool wanted = args.NumberOr(1, 1) != 0;
    const int64_t timeoutMs = args.NumberOr(2, 5000);
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    const bool reached = WaitUntil(timeoutMs, [&] { return WindowState(window, state) == wanted; });
    out = WindowJson(window);
    if (!reached)
        return Status::Fail(L"%ls is not %d after %lld ms", state.c_str(), wanted ? 1 : 0,
                            static_cast<long long>(timeoutMs));
    return Status::Ok();
}

struct Listing {
    std::wstring className;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto& listing = *reinterpret_cast<Listing*>(parameter);
    if (listing.className.empty() || WindowClass(window) == listing.className)
        listing.windows.push_back(window);
    return TRUE;
}

Status Windows(Context&, const Args& args, JsonObject& out) {
    Listing listing{args.Option(L"class").value_or(L""), {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&listing));
    if (args.Flag(L"visible")) {
        std::erase_if(listing.windows, [](HWND window) { return !IsWindowVisible(window); });
    }
    out.Int("count", static_cast<int64_t>(listing.windows.size()))
        .Array("windows", WindowsJson(listing.windows));
    return Status::Ok();
}

Status WaitClass(Context&, const Args& args, JsonObject& out) {
    const std::wstring className = args.Text(0);
    const int64_t timeoutMs = args.NumberOr(1, 5000);
    Listing listing{className, {}};
    const bool found = WaitUntil(timeoutMs, [&] {
        listing.windows.clear();
        EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&listing));
        std::erase_if(listing.windows, [](HWND window) { return !IsWindowVisible(window); });
        return !listing.windows.empty();
    });
    out.Array("windows", WindowsJson(listing.windows));
    if (!found)
        return Status::Fail(L"no visible window of class %ls after %lld ms", className.c_str(),
                            static_cast<long long>(timeoutMs));
    out.Text("hwnd", HexHandle(listing.windows.front()));
    return Status::Ok();
}

Status ShowWindowCommand(Context& context, const Args& args, JsonObject& out) {
    const auto command = args.Number(0);
    if (!command)
        return Status::Fail(L"showwindow SW_NUMBER");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    out.Bool("was_visible", ShowWindowAsync(window, static_cast<int>(*command)));
    SendTimed(context, window, WM_NULL, 0, 0);
    return Status::Ok();
}

Status Move(Context& context, const Args& args, JsonObject& out) {
    const auto x = args.Number(0), y = args.Number(1), width = args.Number(2), height = args.Number(3);
    if (!x || !y || !width || !height)
        return Status::Fail(L"move X Y WIDTH HEIGHT");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    // Asynchronous, so that a busy target cannot block the probe; the WM_NULL round trip after it
    // waits until the target has handled it.
    const BOOL moved =
        SetWindowPos(window, nullptr, static_cast<int>(*x), static_cast<int>(*y), static_cast<int>(*width),
                     static_cast<int>(*height), SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    if (!moved)
        return Status::Fail(L"SetWindowPos failed: %lu", GetLastError());
    SendTimed(context, window, WM_NULL, 0, 0);
    out = WindowJson(window);
    return Status::Ok();
}

std::optional<WPARAM> SysCommandCode(const Args& args) {
    const std::wstring name = args.Text(0);
    if (name == L"close")
        return SC_CLOSE;
    if (name == L"minimize")
        return SC_MINIMIZE;
    if (name == L"maximize")
        return SC_MAXIMIZE;
    if (name == L"restore")
        return SC_RESTORE;
    if (const auto number = args.Number(0))
        return static_cast<WPARAM>(*number);
    return std::nullopt;
}

Status SysCommand(Context& context, const Args& args, JsonObject& out) {
    const auto code = SysCommandCode(args);
    if (!code)
        return Status::Fail(L"syscommand close|minimize|maximize|restore|NUMBER");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    if (!PostMessageW(window, WM_SYSCOMMAND, *code, 0))
        return Status::Fail(L"PostMessage failed: %lu", GetLastError());
    out.Int("code", static_cast<int64_t>(*code));
    return Status::Ok();
}

Status Close(Context& context, const Args&, JsonObject&) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    if (!PostMessageW(window, WM_CLOSE, 0, 0))
        return Status::Fail(L"PostMessage failed: %lu", GetLastError());
    return Status::Ok();
}

Status Sync(Context& context, const Args& args, JsonObject&) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    const int64_t count = std::max<int64_t>(1, args.NumberOr(0, 1));
    for (int64_t i = 0; i < count; ++i) {
        if (!SendTimed(context, window, WM_NULL, 0, 0))
            return Status::Fail(L"no answer to WM_NULL within %u ms", context.messageTimeoutMs);
    }
    return Status::Ok();
}

Status Ping(Context& context, const Args& args, JsonObject& out) {
    const int64_t count = std::max<int64_t>(1, args.NumberOr(0, 100));
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    std::vector<int64_t> micros;
    for (int64_t i = 0; i < count; ++i) {
        LARGE_INTEGER start{}, end{};
        QueryPerformanceCounter(&start);
        if (!SendTimed(context, window, WM_NULL, 0, 0))
            return Status::Fail(L"no answer to WM_NULL %lld", static_cast<long long>(i));
        QueryPerformanceCounter(&end);
        micros.push_back((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart);
    }
    JsonArray samples;
    int64_t sum = 0;
    for (int64_t sample : micros) {
        samples.AddInt(sample);
        sum += sample;
    }
    std::sort(micros.begin(), micros.end());
    out.Int("count", count).Int("min_us", micros.front()).Int("median_us", micros[micros.size() / 2]);
    out.Int("mean_us", sum / count).Int("max_us", micros.back()).Array("samples_us", samples);
    return Status::Ok();
}

Status SleepCommand(Context&, const Args& args, JsonObject&) {
    Sleep(static_cast<DWORD>(std::clamp<int64_t>(args.NumberOr(0, 100), 0, 600000)));
    return Status::Ok();
}

Status SetTimeout(Context& context, const Args& args, JsonObject& out) {
    const auto timeoutMs = args.Number(0);
    if (!timeoutMs || *timeoutMs <= 0)
        return Status::Fail(L"set-timeout MS");
    context.messageTimeoutMs = static_cast<UINT>(*timeoutMs);
    out.Int("timeout_ms", *timeoutMs);
    return Status::Ok();
}

} // namespace

void AddWindowCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"target", "main|title TEXT [class=C]|hwnd H [pid=N]: the window later commands work on",
             SetTarget},
            {"wait-window", "[MS] [count=N] [visible]: wait until the target window exists (and is visible)",
             WaitWindow},
            {"wait-no-window", "[MS]: wait until no target window exists", WaitNoWindow},
            {"window", ": state and geometry of the target window", Window},
            {"wait-state", "visible|iconic|zoomed|foreground 0|1 [MS]", WaitState},
            {"windows", "[class=C] [visible]: every top-level window", Windows},
            {"wait-class", "CLASS [MS]: wait for a visible top-level window of a class (#32768: a menu)",
             WaitClass},
            {"showwindow", "SW: ShowWindowAsync on the target", ShowWindowCommand},
            {"move", "X Y W H: move and size the target (screen coordinates)", Move},
            {"syscommand", "close|minimize|maximize|restore|N: post WM_SYSCOMMAND", SysCommand},
            {"close", ": post WM_CLOSE", Close},
            {"sync",
             "[N]: N WM_NULL round trips. A sent message is handled when the target's thread next looks "
             "at its queue, before posted ones: after two round trips a dialog's modal loop has seen its "
             "queue empty once (Wine shows the dialog again then)",
             Sync},
            {"ping", "[N]: N WM_NULL round trips with their times in microseconds", Ping},
            {"sleep", "MS", SleepCommand},
            {"set-timeout", "MS: time limit of each sent message (default 5000)", SetTimeout},
        });
}

} // namespace probe
