#include "settings/WindowPlacement.h"
#include "platform/Registry.h"
#include "settings/Settings.h"

namespace {

void PutUint32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetUint32(const uint8_t* in) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

// The fields in stored order, as 32-bit words.
std::array<uint32_t, kWindowPlacementSize / 4> Words(const WindowPlacementRecord& r) {
    auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    return {r.length,  r.flags,         r.showCmd,      u(r.minX),        u(r.minY),        u(r.maxX),
            u(r.maxY), u(r.normalLeft), u(r.normalTop), u(r.normalRight), u(r.normalBottom)};
}

} // namespace

std::array<uint8_t, kWindowPlacementSize> EncodeWindowPlacement(const WindowPlacementRecord& record) {
    std::array<uint8_t, kWindowPlacementSize> bytes{};
    auto words = Words(record);
    for (size_t i = 0; i < words.size(); ++i)
        PutUint32(bytes.data() + 4 * i, words[i]);
    return bytes;
}

std::optional<WindowPlacementRecord> DecodeWindowPlacement(const uint8_t* data, size_t size) {
    if (!data || size != kWindowPlacementSize)
        return std::nullopt;
    auto s = [data](size_t index) { return static_cast<int32_t>(GetUint32(data + 4 * index)); };
    WindowPlacementRecord record;
    record.length = GetUint32(data);
    record.flags = GetUint32(data + 4);
    record.showCmd = GetUint32(data + 8);
    record.minX = s(3);
    record.minY = s(4);
    record.maxX = s(5);
    record.maxY = s(6);
    record.normalLeft = s(7);
    record.normalTop = s(8);
    record.normalRight = s(9);
    record.normalBottom = s(10);
    return record;
}

uint32_t StartupShowCmd(uint32_t storedShowCmd, uint32_t flags) {
    switch (storedShowCmd) {
    case kShowMaximized:
        return kShowMaximized;
    case kShowMinimized:
    case kShowMinNoActive:
    case kShowMinimize:
    case kForceMinimize:
        return (flags & kRestoreToMaximized) ? kShowMaximized : kShowNormal;
    default:
        // Anything else, a hidden state included, starts normal: the dialog always starts shown.
        return kShowNormal;
    }
}

std::wstring WindowPlacementKeyPath(std::wstring_view name) {
    std::wstring path = kSettingsKeyPath;
    path += L'\\';
    path += name;
    return path;
}

bool StoreWindowPlacement(std::wstring_view name, const WindowPlacementRecord& record) {
    platform::RegKey key = platform::RegKey::Create(WindowPlacementKeyPath(name), nullptr);
    if (!key.IsOpen())
        return false;
    auto bytes = EncodeWindowPlacement(record);
    return key.Set(kWindowPlacementValue, platform::RegType::Binary, bytes.data(), kWindowPlacementSize);
}

std::optional<WindowPlacementRecord> LoadWindowPlacement(std::wstring_view name) {
    platform::RegKey key = platform::RegKey::Create(WindowPlacementKeyPath(name), nullptr);
    if (!key.IsOpen())
        return std::nullopt;
    std::array<uint8_t, kWindowPlacementSize> bytes{};
    uint32_t size = 0;
    if (!key.Query(kWindowPlacementValue, bytes.data(), kWindowPlacementSize, &size))
        return std::nullopt;
    std::optional<WindowPlacementRecord> record = DecodeWindowPlacement(bytes.data(), size);
    if (record)
        record->showCmd = StartupShowCmd(record->showCmd, record->flags);
    return record;
}
