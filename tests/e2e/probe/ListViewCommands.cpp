// Commands on a list view of another process. Item text, item parameter and state changes go
// through a buffer inside the target process: list view messages carry pointers that Wine does not
// marshal between processes.
#include <windows.h>

#include <commctrl.h>

#include "Handles.h"
#include "Probe.h"

namespace probe {
namespace {

constexpr size_t kTextChars = 1024;
constexpr size_t kBufferSize = sizeof(LVITEMW) + sizeof(LVCOLUMNW) + kTextChars * sizeof(wchar_t);
constexpr size_t kTextOffset = sizeof(LVITEMW) + sizeof(LVCOLUMNW);

// The target process and a scratch buffer inside it.
class RemoteList {
public:
    explicit RemoteList(HWND list) : m_list(list) {
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        m_process = UniqueHandle(
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                        FALSE, processId));
        if (m_process.IsValid())
            m_memory = RemoteMemory(m_process.Get(), kBufferSize);
    }
    bool IsValid() const { return m_memory.IsValid(); }
    LPARAM Item() const { return reinterpret_cast<LPARAM>(m_memory.Address()); }
    LPARAM Column() const { return reinterpret_cast<LPARAM>(m_memory.Address() + sizeof(LVITEMW)); }
    wchar_t* RemoteText() const { return reinterpret_cast<wchar_t*>(m_memory.Address() + kTextOffset); }
    const RemoteMemory& Memory() const { return m_memory; }

    std::wstring ReadText() const {
        std::wstring text(kTextChars, L'\0');
        if (!m_memory.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t)))
            return L"";
        text.resize(wcsnlen(text.c_str(), kTextChars));
        return text;
    }

private:
    HWND m_list;
    UniqueHandle m_process;
    RemoteMemory m_memory;
};

struct Row {
    std::wstring text;
    UINT state = 0;
    LPARAM parameter = 0;
};

std::optional<Row> ReadRow(const Context& context, HWND list, const RemoteList& remote, int index) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = index;
    item.stateMask = static_cast<UINT>(-1);
    item.pszText = remote.RemoteText();
    item.cchTextMax = static_cast<int>(kTextChars);
    const wchar_t empty = L'\0';
    if (!remote.Memory().Write(0, &item, sizeof item) ||
        !remote.Memory().Write(kTextOffset, &empty, sizeof empty))
        return std::nullopt;
    const auto got = SendTimed(context, list, LVM_GETITEMW, 0, remote.Item());
    if (!got || !*got || !remote.Memory().Read(0, &item, sizeof item))
        return std::nullopt;
    return Row{remote.ReadText(), item.state, item.lParam};
}

Status NeedList(const Context& context, const Args& args, HWND& list, const wchar_t* usage) {
    const auto id = args.Number(0);
    if (!id)
        return Status::Fail(L"usage: %ls", usage);
    return ResolveControl(context, *id, list);
}

std::optional<std::wstring> ColumnCaption(const Context& context, HWND list, const RemoteList& remote) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = remote.RemoteText();
    column.cchTextMax = static_cast<int>(kTextChars);
    if (!remote.Memory().Write(sizeof(LVITEMW), &column, sizeof column))
        return std::nullopt;
    const auto got = SendTimed(context, list, LVM_GETCOLUMNW, 0, remote.Column());
    if (!got || !*got)
        return std::nullopt;
    return remote.ReadText();
}

Status ListRows(Context& context, const Args& args, JsonObject& out) {
    HWND list = nullptr;
    if (Status status = NeedList(context, args, list, L"lv ID"); !status.ok)
        return status;
    const auto count = SendTimed(context, list, LVM_GETITEMCOUNT, 0, 0);
    if (!count)
        return Status::Fail(L"no answer to LVM_GETITEMCOUNT");
    RemoteList remote(list);
    if (!remote.IsValid())
        return Status::Fail(L"cannot reach the list's process: %lu", GetLastError());
    JsonArray rows;
    for (int index = 0; index < *count; ++index) {
        const auto row = ReadRow(context, list, remote, index);
        if (!row)
            return Status::Fail(L"cannot read row %d", index);
        JsonObject json;
        json.Int("index", index).Text("text", row->text).Int("lparam", row->parameter);
        json.Int("state", row->state).Int("check", (row->state & LVIS_STATEIMAGEMASK) >> 12);
        json.Bool("selected", (row->state & LVIS_SELECTED) != 0)
            .Bool("focused", (row->state & LVIS_FOCUSED) != 0);
        rows.Add(json);
    }
    const auto extended = SendTimed(context, list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0).value_or(0);
    out.Int("count", *count).Int("extended_style", extended).Array("rows", rows);
    out.Int("column_width", SendTimed(context, list, LVM_GETCOLUMNWIDTH, 0, 0).value_or(-1));
    out.Text("column", ColumnCaption(context, list, remote).value_or(L""));
    return Status::Ok();
}

Status SetRowState(const Context& context, HWND list, int index, UINT state, UINT mask) {
    RemoteList remote(list);
    if (!remote.IsValid())
        return Status::Fail(L"cannot reach the list's process: %lu", GetLastError());
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    if (!remote.Memory().Write(0, &item, sizeof item))
        return Status::Fail(L"cannot write into the list's process");
    const auto result = SendTimed(context, list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), remote.Item());
    if (!result)
        return Status::Fail(L"no answer to LVM_SETITEMSTATE");
    if (!*result)
        return Status::Fail(L"LVM_SETITEMSTATE failed for row %d", index);
    return Status::Ok();
}

Status CheckRow(Context& context, const Args& args, JsonObject& out) {
    static const wchar_t usage[] = L"lv-check ID ROW 0|1";
    HWND list = nullptr;
    if (Status status = NeedList(context, args, list, usage); !status.ok)
        return status;
    const auto row = args.Number(1);
    const auto ticked = args.Number(2);
    if (!row || !ticked)
        return Status::Fail(L"usage: %ls", usage);
    const UINT image = *ticked ? 2 : 1;
    out.Int("row", *row).Int("check", image);
    return SetRowState(context, list, static_cast<int>(*row), INDEXTOSTATEIMAGEMASK(image),
                       LVIS_STATEIMAGEMASK);
}

Status SelectRow(Context& context, const Args& args, JsonObject& out) {
    static const wchar_t usage[] = L"lv-select ID ROW";
    HWND list = nullptr;
    if (Status status = NeedList(context, args, list, usage); !status.ok)
        return status;
    const auto row = args.Number(1);
    if (!row)
        return Status::Fail(L"usage: %ls", usage);
    out.Int("row", *row);
    const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
    return SetRowState(context, list, static_cast<int>(*row), both, both);
}

} // namespace

void AddListViewCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"lv", "ID: every row with text, state, check image (0 none, 1 unticked, 2 ticked), lParam",
             ListRows},
            {"lv-check", "ID ROW 0|1: set the row's check box (LVM_SETITEMSTATE)", CheckRow},
            {"lv-select", "ID ROW: select and focus the row", SelectRow},
        });
}

} // namespace probe
