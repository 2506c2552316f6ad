// The tests' registry: in memory, with the same key and value semantics as the per-user hive, kept
// for the life of the process. Linked into test programs in place of Registry_posix.cpp.
#include "platform/Registry.h"
#include "platform/Text.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace platform {
namespace {

struct Value {
    RegType type = RegType::Binary;
    std::vector<uint8_t> data;
};

struct Key {
    std::wstring className;
    std::map<std::wstring, Value> values; // by upper-cased name
};

struct Store {
    std::mutex lock;
    std::map<std::wstring, std::unique_ptr<Key>> keys; // by upper-cased full path
    bool broken = false;
};

Store& TheStore() {
    static Store store;
    return store;
}

std::wstring NormalisePath(std::wstring_view path) {
    std::wstring upper = AsciiUpper(path);
    while (!upper.empty() && upper.back() == L'\\')
        upper.pop_back();
    return upper;
}

Key* FindKey(Store& store, std::wstring_view path) {
    auto it = store.keys.find(NormalisePath(path));
    return it == store.keys.end() ? nullptr : it->second.get();
}

} // namespace

void RegKey::Close() {
    m_handle = nullptr;
}

RegKey RegKey::Create(std::wstring_view path, const wchar_t* className) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    if (store.broken)
        return RegKey();
    std::wstring full = NormalisePath(path);
    // Create every missing parent first, as RegCreateKeyExW does.
    for (size_t pos = full.find(L'\\'); pos != std::wstring::npos; pos = full.find(L'\\', pos + 1)) {
        auto& parent = store.keys[full.substr(0, pos)];
        if (!parent)
            parent = std::make_unique<Key>();
    }
    auto& key = store.keys[full];
    if (!key) {
        key = std::make_unique<Key>();
        key->className = className ? className : L"";
    }
    return RegKey(key.get());
}

RegKey RegKey::Open(std::wstring_view path) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    if (store.broken)
        return RegKey();
    return RegKey(FindKey(store, path));
}

bool RegKey::Query(std::wstring_view name, void* buffer, uint32_t bufferSize, uint32_t* size,
                   RegType* type) const {
    if (!m_handle)
        return false;
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    const Key* key = static_cast<const Key*>(m_handle);
    auto it = key->values.find(AsciiUpper(name));
    if (it == key->values.end())
        return false;
    const Value& value = it->second;
    if (value.data.size() > bufferSize)
        return false;
    if (!value.data.empty())
        std::memcpy(buffer, value.data.data(), value.data.size());
    if (size)
        *size = static_cast<uint32_t>(value.data.size());
    if (type)
        *type = value.type;
    return true;
}

bool RegKey::Set(std::wstring_view name, RegType type, const void* data, uint32_t size) {
    if (!m_handle)
        return false;
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    Key* key = static_cast<Key*>(m_handle);
    Value& value = key->values[AsciiUpper(name)];
    value.type = type;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    value.data.assign(bytes, bytes + size);
    return true;
}

bool RegKey::DeleteValue(std::wstring_view name) {
    if (!m_handle)
        return false;
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    static_cast<Key*>(m_handle)->values.erase(AsciiUpper(name));
    return true;
}

namespace posix {

void ResetRegistry() {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    store.keys.clear();
    store.broken = false;
}

bool KeyExists(std::wstring_view path) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    return FindKey(store, path) != nullptr;
}

std::wstring KeyClass(std::wstring_view path) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    const Key* key = FindKey(store, path);
    return key ? key->className : std::wstring();
}

std::vector<std::wstring> SubkeyNames(std::wstring_view path) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    std::wstring prefix = NormalisePath(path) + L"\\";
    std::vector<std::wstring> names;
    for (const auto& [full, key] : store.keys) {
        if (full.size() > prefix.size() && full.compare(0, prefix.size(), prefix) == 0 &&
            full.find(L'\\', prefix.size()) == std::wstring::npos)
            names.push_back(full.substr(prefix.size()));
    }
    return names;
}

bool ReadValue(std::wstring_view path, std::wstring_view name, RegType& type, std::vector<uint8_t>& data) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    const Key* key = FindKey(store, path);
    if (!key)
        return false;
    auto it = key->values.find(AsciiUpper(name));
    if (it == key->values.end())
        return false;
    type = it->second.type;
    data = it->second.data;
    return true;
}

void WriteValue(std::wstring_view path, std::wstring_view name, RegType type,
                const std::vector<uint8_t>& data) {
    RegKey key = RegKey::Create(path, nullptr);
    key.Set(name, type, data.data(), static_cast<uint32_t>(data.size()));
}

void SetRegistryBroken(bool broken) {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    store.broken = broken;
}

} // namespace posix
} // namespace platform
