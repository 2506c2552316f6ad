// Per-user registry access with exact types and bytes, for checking what the program stored and
// for preparing what it will read. Paths are relative to HKEY_CURRENT_USER.
#include <cstdio>
#include <cstring>

#include "Handles.h"
#include "Probe.h"

namespace probe {
namespace {

std::wstring HexBytes(const std::vector<unsigned char>& bytes) {
    std::wstring hex;
    for (unsigned char byte : bytes) {
        wchar_t pair[4];
        std::swprintf(pair, 4, L"%02x", byte);
        hex += pair;
    }
    return hex;
}

std::optional<std::vector<unsigned char>> ParseHex(const std::wstring& hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const auto value = ParseNumber(L"0x" + hex.substr(i, 2));
        if (!value)
            return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(*value));
    }
    return bytes;
}

JsonObject ValueJson(const std::wstring& name, DWORD type, const std::vector<unsigned char>& data) {
    JsonObject json;
    json.Text("name", name)
        .Int("type", type)
        .Int("size", static_cast<int64_t>(data.size()))
        .Text("hex", HexBytes(data));
    if (data.size() == 4) {
        uint32_t value = 0;
        std::memcpy(&value, data.data(), 4);
        json.Int("dword", value).Int("signed", static_cast<int32_t>(value));
    }
    if (data.size() == 8) {
        uint64_t value = 0;
        std::memcpy(&value, data.data(), 8);
        json.Int("qword", static_cast<int64_t>(value));
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        const bool terminated = !text.empty() && text.back() == L'\0';
        if (terminated)
            text.pop_back();
        json.Text("string", text).Bool("terminated", terminated);
    }
    return json;
}

UniqueKey OpenUserKey(const std::wstring& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return UniqueKey();
    return UniqueKey(key);
}

Status ReadValue(const UniqueKey& key, const std::wstring& name, JsonObject& out) {
    DWORD type = 0, size = 0;
    LSTATUS result = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) {
        out.Bool("exists", false);
        return Status::Ok();
    }
    std::vector<unsigned char> data(size);
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, data.data(), &size);
    if (result != ERROR_SUCCESS)
        return Status::Fail(L"cannot read value \"%ls\": %ld", name.c_str(), static_cast<long>(result));
    data.resize(size);
    out.Merge(ValueJson(name, type, data)).Bool("exists", true);
    return Status::Ok();
}

Status ReadKey(const UniqueKey& key, JsonObject& out) {
    wchar_t className[256] = {};
    DWORD classLength = 256, subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key.Get(), className, &classLength, nullptr, &subkeys, nullptr, nullptr, &values,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return Status::Fail(L"RegQueryInfoKeyW failed");
    JsonArray valueList;
    for (DWORD index = 0;; ++index) {
        std::wstring name(longestName + 1, L'\0');
        DWORD nameLength = longestName + 1, type = 0, size = longestData;
        std::vector<unsigned char> data(longestData);
        if (RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        name.resize(nameLength);
        data.resize(size);
        valueList.Add(ValueJson(name, type, data));
    }
    JsonArray subkeyList;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key.Get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeyList.AddText(name);
    }
    out.Bool("exists", true).Text("class", std::wstring(className, classLength));
    out.Array("values", valueList).Array("subkeys", subkeyList);
    return Status::Ok();
}

Status RegGet(Context&, const Args& args, JsonObject& out) {
    if (!args.Has(0))
        return Status::Fail(L"usage: reg-get KEY [NAME]");
    const std::wstring path = args.Text(0);
    out.Text("key", path);
    const UniqueKey key = OpenUserKey(path, KEY_READ);
    if (!key.IsValid()) {
        out.Bool("key_exists", false).Bool("exists", false);
        return Status::Ok();
    }
    out.Bool("key_exists", true);
    if (args.Has(1))
        return ReadValue(key, args.Text(1), out);
    return ReadKey(key, out);
}

struct ValueData {
    DWORD type;
    std::vector<unsigned char> bytes;
};

template <typename T> std::vector<unsigned char> BytesOf(const T& value) {
    std::vector<unsigned char> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::optional<ValueData> ParseValue(const std::wstring& type, const Args& args, size_t index) {
    const std::wstring text = args.Text(index);
    if (type == L"sz" || type == L"expand_sz") {
        std::vector<unsigned char> bytes((text.size() + 1) * sizeof(wchar_t), 0);
        std::memcpy(bytes.data(), text.c_str(), text.size() * sizeof(wchar_t));
        return ValueData{type == L"sz" ? DWORD(REG_SZ) : DWORD(REG_EXPAND_SZ), bytes};
    }
    if (type == L"dword") {
        const auto value = args.Number(index);
        return value ? std::optional<ValueData>({REG_DWORD, BytesOf(static_cast<uint32_t>(*value))})
                     : std::nullopt;
    }
    if (type == L"qword") {
        const auto value = args.Number(index);
        return value ? std::optional<ValueData>({REG_QWORD, BytesOf(static_cast<uint64_t>(*value))})
                     : std::nullopt;
    }
    // binary HEX, or raw:N HEX for any type number with any bytes.
    const auto bytes = ParseHex(text);
    if (!bytes)
        return std::nullopt;
    if (type == L"binary")
        return ValueData{REG_BINARY, *bytes};
    if (type.rfind(L"raw:", 0) == 0) {
        const auto number = ParseNumber(type.substr(4));
        return number ? std::optional<ValueData>({static_cast<DWORD>(*number), *bytes}) : std::nullopt;
    }
    return std::nullopt;
}

Status RegSet(Context&, const Args& args, JsonObject& out) {
    static const wchar_t usage[] = L"reg-set KEY NAME sz|expand_sz|dword|qword|binary|raw:TYPE DATA";
    if (args.Count() < 4)
        return Status::Fail(L"usage: %ls", usage);
    const auto value = ParseValue(args.Text(2), args, 3);
    if (!value)
        return Status::Fail(L"usage: %ls", usage);
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, args.Text(0).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return Status::Fail(L"cannot create key %ls", args.Text(0).c_str());
    const UniqueKey key(handle);
    const std::wstring name = args.Text(1);
    const LSTATUS result = RegSetValueExW(key.Get(), name.c_str(), 0, value->type, value->bytes.data(),
                                          static_cast<DWORD>(value->bytes.size()));
    if (result != ERROR_SUCCESS)
        return Status::Fail(L"cannot set \"%ls\": %ld", name.c_str(), static_cast<long>(result));
    out.Text("name", name).Int("type", value->type).Int("size", static_cast<int64_t>(value->bytes.size()));
    return Status::Ok();
}

Status RegDelete(Context&, const Args& args, JsonObject& out) {
    if (!args.Has(0))
        return Status::Fail(L"usage: reg-delete KEY [NAME]");
    const std::wstring path = args.Text(0);
    if (args.Has(1)) {
        const UniqueKey key = OpenUserKey(path, KEY_ALL_ACCESS);
        const LSTATUS result =
            key.IsValid() ? RegDeleteValueW(key.Get(), args.Text(1).c_str()) : ERROR_FILE_NOT_FOUND;
        out.Bool("existed", result == ERROR_SUCCESS);
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            return Status::Fail(L"cannot delete value: %ld", static_cast<long>(result));
        return Status::Ok();
    }
    const LSTATUS result = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    out.Bool("existed", result == ERROR_SUCCESS);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        return Status::Fail(L"cannot delete key: %ld", static_cast<long>(result));
    // RegDeleteTreeW leaves the key itself in place on some systems.
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    return Status::Ok();
}

} // namespace

void AddRegistryCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"reg-get", "KEY [NAME]: a value with type and bytes, or a key with class, values, subkeys",
             RegGet},
            {"reg-set", "KEY NAME sz|expand_sz|dword|qword|binary|raw:TYPE DATA (hex for binary/raw)",
             RegSet},
            {"reg-delete", "KEY [NAME]: delete a value, or a key with everything under it", RegDelete},
        });
}

} // namespace probe
