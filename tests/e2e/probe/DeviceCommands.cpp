// Device notifications as the system would broadcast them, sent to the target window. Wine never
// broadcasts WM_DEVICECHANGE when drive letters come and go, so the tests send it themselves.
// Wine copies the DEV_BROADCAST_HDR record (dbch_size bytes) into the target process for events
// with bit 0x8000; other events carry no pointer, so they are sent with lParam 0.
#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "Probe.h"

namespace probe {
namespace {

constexpr size_t kRecordBytes = 256;

struct EventName {
    const wchar_t* name;
    WPARAM code;
};

constexpr EventName kEvents[] = {
    {L"arrival", DBT_DEVICEARRIVAL},
    {L"queryremove", DBT_DEVICEQUERYREMOVE},
    {L"queryremovefailed", DBT_DEVICEQUERYREMOVEFAILED},
    {L"removepending", DBT_DEVICEREMOVEPENDING},
    {L"removecomplete", DBT_DEVICEREMOVECOMPLETE},
    {L"typespecific", DBT_DEVICETYPESPECIFIC},
    {L"custom", DBT_CUSTOMEVENT},
    {L"nodeschanged", DBT_DEVNODES_CHANGED},
    {L"configchanged", DBT_CONFIGCHANGED},
    {L"querychangeconfig", DBT_QUERYCHANGECONFIG},
};

std::optional<WPARAM> EventCode(const Args& args) {
    const std::wstring word = args.Text(0);
    for (const auto& event : kEvents) {
        if (word == event.name)
            return event.code;
    }
    if (const auto number = args.Number(0))
        return static_cast<WPARAM>(*number);
    return std::nullopt;
}

// The unit mask: a number, or drive letters ("E", "DE").
std::optional<DWORD> UnitMask(const std::wstring& word) {
    if (const auto number = ParseNumber(word))
        return static_cast<DWORD>(*number);
    DWORD mask = 0;
    for (wchar_t ch : word) {
        const wchar_t letter = static_cast<wchar_t>(std::towupper(ch));
        if (letter < L'A' || letter > L'Z')
            return std::nullopt;
        mask |= 1u << (letter - L'A');
    }
    return word.empty() ? std::nullopt : std::optional<DWORD>(mask);
}

Status DeviceChange(Context& context, const Args& args, JsonObject& out) {
    static const wchar_t usage[] =
        L"devchange EVENT MASK|LETTERS [type=2] [flags=0] [size=N] [null] [ms=N] [broadcast]";
    const auto event = EventCode(args);
    const auto mask = UnitMask(args.Text(1));
    if (!event || (!mask && !args.Flag(L"null")))
        return Status::Fail(L"usage: %ls", usage);
    const bool broadcast = args.Flag(L"broadcast");
    HWND window = nullptr;
    if (!broadcast) {
        if (Status status = ResolveTarget(context, window); !status.ok)
            return status;
    }

    alignas(8) unsigned char record[kRecordBytes] = {};
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = static_cast<DWORD>(args.NumberOption(L"size").value_or(sizeof volume));
    volume.dbcv_size = std::min<DWORD>(volume.dbcv_size, kRecordBytes);
    volume.dbcv_devicetype = static_cast<DWORD>(args.NumberOption(L"type").value_or(DBT_DEVTYP_VOLUME));
    volume.dbcv_unitmask = mask.value_or(0);
    volume.dbcv_flags = static_cast<WORD>(args.NumberOption(L"flags").value_or(0));
    std::memcpy(record, &volume, sizeof volume);

    const bool carriesRecord = (*event & 0x8000) != 0 && !args.Flag(L"null");
    const LPARAM lParam = carriesRecord ? reinterpret_cast<LPARAM>(record) : 0;
    const UINT timeoutMs = static_cast<UINT>(args.NumberOption(L"ms").value_or(context.messageTimeoutMs));
    out.Int("event", static_cast<int64_t>(*event))
        .Int("mask", mask.value_or(0))
        .Bool("record", carriesRecord);
    if (broadcast) {
        // To every top-level window, as the system does; only a query carries the record across.
        DWORD recipients = BSM_APPLICATIONS;
        const long sent = BroadcastSystemMessageW(BSF_QUERY | BSF_FORCEIFHUNG | BSF_IGNORECURRENTTASK,
                                                  &recipients, WM_DEVICECHANGE, *event, lParam);
        if (sent < 0)
            return Status::Fail(L"BroadcastSystemMessage failed (%lu)", GetLastError());
        out.Int("result", sent);
        return Status::Ok();
    }
    const auto result = SendTimed(timeoutMs, window, WM_DEVICECHANGE, *event, lParam);
    if (!result)
        return Status::Fail(L"no answer to WM_DEVICECHANGE within %u ms (%lu)", timeoutMs, GetLastError());
    out.Int("result", *result);
    return Status::Ok();
}

} // namespace

void AddDeviceCommands(std::vector<Command>& commands) {
    commands.push_back({"devchange",
                        "EVENT MASK|LETTERS [type=2] [flags=0] [size=N] [null] [ms=N] [broadcast]: send "
                        "WM_DEVICECHANGE with a "
                        "DEV_BROADCAST_VOLUME to the target, or to every top-level window; EVENT "
                        "arrival|removecomplete|queryremove|nodeschanged|...|N",
                        DeviceChange});
}

} // namespace probe
