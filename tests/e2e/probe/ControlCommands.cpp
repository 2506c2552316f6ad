// Commands on the target's controls: buttons, commands, texts, combo boxes, progress bar, geometry.
#include <windows.h>

#include <commctrl.h>

#include "Probe.h"
#include "Wait.h"

namespace probe {
namespace {

std::optional<std::wstring> ControlText(const Context& context, HWND control) {
    const auto length = SendTimed(context, control, WM_GETTEXTLENGTH, 0, 0);
    if (!length)
        return std::nullopt;
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied =
        SendTimed(context, control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied)
        return std::nullopt;
    text.resize(static_cast<size_t>(*copied));
    return text;
}

RECT ClientRectIn(HWND control, HWND parent) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

JsonObject ControlJson(const Context& context, HWND control, HWND parent) {
    JsonObject json;
    json.Int("id", GetDlgCtrlID(control))
        .Text("hwnd", HexHandle(control))
        .Text("class", WindowClass(control));
    json.Text("text", ControlText(context, control).value_or(L""));
    json.Bool("visible", IsWindowVisible(control)).Bool("enabled", IsWindowEnabled(control));
    json.Int("style", static_cast<uint32_t>(GetWindowLongW(control, GWL_STYLE)));
    json.Object("rect", RectJson(ClientRectIn(control, parent)));
    return json;
}

Status NeedControl(const Context& context, const Args& args, HWND& control, const wchar_t* usage) {
    const auto id = args.Number(0);
    if (!id)
        return Status::Fail(L"usage: %ls", usage);
    return ResolveControl(context, *id, control);
}

Status Click(Context& context, const Args& args, JsonObject& out) {
    HWND button = nullptr;
    if (Status status = NeedControl(context, args, button, L"click ID [MS]"); !status.ok)
        return status;
    // A click that opens a modal dialog does not return until that dialog closes: a time-out here
    // means "still being handled", not a failure.
    const UINT timeoutMs = static_cast<UINT>(args.NumberOr(1, context.messageTimeoutMs));
    out.Bool("returned", SendTimed(timeoutMs, button, BM_CLICK, 0, 0).has_value());
    return Status::Ok();
}

Status PostClick(Context& context, const Args& args, JsonObject&) {
    HWND button = nullptr;
    if (Status status = NeedControl(context, args, button, L"post-click ID"); !status.ok)
        return status;
    if (!PostMessageW(button, BM_CLICK, 0, 0))
        return Status::Fail(L"PostMessage failed: %lu", GetLastError());
    return Status::Ok();
}

Status PostCommand(Context& context, const Args& args, JsonObject&) {
    const auto id = args.Number(0);
    if (!id)
        return Status::Fail(L"command ID [CODE]");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(*id), static_cast<WORD>(args.NumberOr(1, 0)));
    if (!PostMessageW(window, WM_COMMAND, wParam, 0))
        return Status::Fail(L"PostMessage failed: %lu", GetLastError());
    return Status::Ok();
}

Status SendCommand(Context& context, const Args& args, JsonObject& out) {
    const auto id = args.Number(0);
    if (!id)
        return Status::Fail(L"send-command ID [CODE]");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(*id), static_cast<WORD>(args.NumberOr(1, 0)));
    const auto result = SendTimed(context, window, WM_COMMAND, wParam, 0);
    out.Bool("returned", result.has_value());
    if (result)
        out.Int("result", *result);
    return Status::Ok();
}

Status SendAnyMessage(Context& context, const Args& args, JsonObject& out) {
    const auto message = args.Number(0);
    if (!message)
        return Status::Fail(L"send-message MSG [WPARAM] [LPARAM]");
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    const auto result =
        SendTimed(context, window, static_cast<UINT>(*message), static_cast<WPARAM>(args.NumberOr(1, 0)),
                  static_cast<LPARAM>(args.NumberOr(2, 0)));
    out.Bool("returned", result.has_value());
    if (result)
        out.Int("result", *result);
    return Status::Ok();
}

Status GetText(Context& context, const Args& args, JsonObject& out) {
    HWND control = nullptr;
    if (Status status = NeedControl(context, args, control, L"gettext ID"); !status.ok)
        return status;
    const auto text = ControlText(context, control);
    if (!text)
        return Status::Fail(L"no answer to WM_GETTEXT");
    out.Text("text", *text);
    return Status::Ok();
}

Status SetText(Context& context, const Args& args, JsonObject& out) {
    HWND control = nullptr;
    if (Status status = NeedControl(context, args, control, L"settext ID TEXT"); !status.ok)
        return status;
    const std::wstring text = args.Text(1);
    const auto result = SendTimed(context, control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (!result)
        return Status::Fail(L"no answer to WM_SETTEXT");
    out.Int("result", *result);
    return Status::Ok();
}

bool IsMatchKind(const std::wstring& how) {
    for (const wchar_t* kind :
         {L"equals", L"not-equals", L"contains", L"not-contains", L"startswith", L"endswith"}) {
        if (how == kind)
            return true;
    }
    return false;
}

bool TextMatches(const std::wstring& text, const std::wstring& how, const std::wstring& expected) {
    if (how == L"equals")
        return text == expected;
    if (how == L"not-equals")
        return text != expected;
    if (how == L"contains")
        return text.find(expected) != std::wstring::npos;
    if (how == L"not-contains")
        return text.find(expected) == std::wstring::npos;
    if (how == L"startswith")
        return text.rfind(expected, 0) == 0;
    if (how == L"endswith")
        return text.size() >= expected.size() &&
               text.compare(text.size() - expected.size(), expected.size(), expected) == 0;
    return false;
}

Status WaitText(Context& context, const Args& args, JsonObject& out) {
    static const wchar_t usage[] =
        L"wait-text ID equals|not-equals|contains|not-contains|startswith|endswith TEXT [MS]";
    HWND control = nullptr;
    if (Status status = NeedControl(context, args, control, usage); !status.ok)
        return status;
    const std::wstring how = args.Text(1);
    if (!IsMatchKind(how))
        return Status::Fail(L"usage: %ls", usage);
    const std::wstring expected = args.Text(2);
    const int64_t timeoutMs = args.NumberOr(3, 10000);
    std::wstring text;
    const bool matched = WaitUntil(timeoutMs, [&] {
        text = ControlText(context, control).value_or(L"");
        return TextMatches(text, how, expected);
    });
    out.Text("text", text);
    if (!matched)
        return Status::Fail(L"text does not match (%ls) after %lld ms", how.c_str(),
                            static_cast<long long>(timeoutMs));
    return Status::Ok();
}

Status Combo(Context& context, const Args& args, JsonObject& out) {
    HWND combo = nullptr;
    if (Status status = NeedControl(context, args, combo, L"combo ID"); !status.ok)
        return status;
    const auto count = SendTimed(context, combo, CB_GETCOUNT, 0, 0);
    const auto selected = SendTimed(context, combo, CB_GETCURSEL, 0, 0);
    if (!count || !selected)
        return Status::Fail(L"no answer from the combo box");
    JsonArray items;
    for (LRESULT i = 0; i < *count; ++i) {
        const auto length = SendTimed(context, combo, CB_GETLBTEXTLEN, i, 0).value_or(CB_ERR);
        std::wstring item(length < 0 ? 0 : static_cast<size_t>(length) + 1, L'\0');
        const auto copied =
            length < 0 ? std::nullopt
                       : SendTimed(context, combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(copied && *copied >= 0 ? static_cast<size_t>(*copied) : 0);
        items.AddText(item);
    }
    out.Int("cursel", *selected).Int("count", *count).Array("items", items);
    out.Text("text", ControlText(context, combo).value_or(L""));
    return Status::Ok();
}

Status ComboSelect(Context& context, const Args& args, JsonObject& out) {
    HWND combo = nullptr;
    if (Status status = NeedControl(context, args, combo, L"combo-select ID INDEX [notify=0]"); !status.ok)
        return status;
    const auto index = args.Number(1);
    if (!index)
        return Status::Fail(L"combo-select ID INDEX [notify=0]");
    const auto result = SendTimed(context, combo, CB_SETCURSEL, static_cast<WPARAM>(*index), 0);
    if (!result)
        return Status::Fail(L"no answer to CB_SETCURSEL");
    out.Int("result", *result);
    // CB_SETCURSEL does not notify the parent; a user's choice does, so send what the user's would.
    if (args.NumberOption(L"notify").value_or(1) != 0) {
        const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(combo)), CBN_SELCHANGE);
        if (!SendTimed(context, GetParent(combo), WM_COMMAND, wParam, reinterpret_cast<LPARAM>(combo)))
            return Status::Fail(L"no answer to CBN_SELCHANGE");
    }
    return Status::Ok();
}

Status Progress(Context& context, const Args& args, JsonObject& out) {
    HWND bar = nullptr;
    if (Status status = NeedControl(context, args, bar, L"progress ID"); !status.ok)
        return status;
    const auto position = SendTimed(context, bar, PBM_GETPOS, 0, 0);
    const auto low = SendTimed(context, bar, PBM_GETRANGE, TRUE, 0);
    const auto high = SendTimed(context, bar, PBM_GETRANGE, FALSE, 0);
    if (!position || !low || !high)
        return Status::Fail(L"no answer from the progress bar");
    out.Int("pos", *position).Int("low", *low).Int("high", *high);
    return Status::Ok();
}

Status Control(Context& context, const Args& args, JsonObject& out) {
    HWND control = nullptr;
    if (Status status = NeedControl(context, args, control, L"control ID"); !status.ok)
        return status;
    out = ControlJson(context, control, GetParent(control));
    return Status::Ok();
}

Status Controls(Context& context, const Args&, JsonObject& out) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    JsonArray list;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        list.Add(ControlJson(context, child, window));
    RECT client{};
    GetClientRect(window, &client);
    out.Object("client", RectJson(client)).Array("controls", list);
    return Status::Ok();
}

Status Focus(Context& context, const Args&, JsonObject& out) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return Status::Fail(L"GetGUIThreadInfo failed: %lu", GetLastError());
    out.Text("focus", HexHandle(info.hwndFocus)).Text("active", HexHandle(info.hwndActive));
    out.Int("focus_id", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
    out.Text("focus_class", info.hwndFocus ? WindowClass(info.hwndFocus) : L"");
    out.Bool("menu_mode", (info.flags & GUI_INMENUMODE) != 0)
        .Bool("popup_open", (info.flags & GUI_POPUPMENUMODE) != 0);
    return Status::Ok();
}

} // namespace

void AddControlCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"click", "ID [MS]: BM_CLICK, sent; returned=false while a modal loop it opened runs", Click},
            {"post-click", "ID: BM_CLICK, posted", PostClick},
            {"command", "ID [CODE]: post WM_COMMAND to the target", PostCommand},
            {"send-command", "ID [CODE]: send WM_COMMAND to the target", SendCommand},
            {"send-message", "MSG [WPARAM] [LPARAM]: send any message to the target", SendAnyMessage},
            {"gettext", "ID: WM_GETTEXT (ID 0: the target itself)", GetText},
            {"settext", "ID TEXT: WM_SETTEXT", SetText},
            {"wait-text", "ID equals|not-equals|contains|not-contains|startswith|endswith TEXT [MS]",
             WaitText},
            {"combo", "ID: selection, items and text of a combo box", Combo},
            {"combo-select", "ID INDEX [notify=0]: CB_SETCURSEL, then CBN_SELCHANGE to the parent",
             ComboSelect},
            {"progress", "ID: PBM_GETPOS and the range", Progress},
            {"control", "ID: class, text, state and rectangle in the parent's client coordinates", Control},
            {"controls", ": every child of the target with its rectangle", Controls},
            {"focus", ": focus and active window of the target's thread", Focus},
        });
}

} // namespace probe
