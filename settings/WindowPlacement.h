#pragma once
// The stored window placement: the platform's 44-byte placement record, kept unchanged as one
// binary registry value under "SOFTWARE\Quenby\Harvex2\<name>".
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr size_t kWindowPlacementSize = 44;
inline constexpr wchar_t kWindowPlacementValue[] = L"Window placement";

inline constexpr uint32_t kShowNormal = 1;
inline constexpr uint32_t kShowMinimized = 2;
inline constexpr uint32_t kShowMaximized = 3;
inline constexpr uint32_t kShowMinimize = 6;
inline constexpr uint32_t kShowMinNoActive = 7;
inline constexpr uint32_t kForceMinimize = 11;
inline constexpr uint32_t kRestoreToMaximized = 2; // placement flag: was maximised before minimising

// The record field by field, in its stored order; every field is a 32-bit little-endian integer.
struct WindowPlacementRecord {
    uint32_t length = kWindowPlacementSize;
    uint32_t flags = 0;
    uint32_t showCmd = kShowNormal;
    int32_t minX = 0, minY = 0;
    int32_t maxX = 0, maxY = 0;
    int32_t normalLeft = 0, normalTop = 0, normalRight = 0, normalBottom = 0;
    bool operator==(const WindowPlacementRecord&) const = default;
};

std::array<uint8_t, kWindowPlacementSize> EncodeWindowPlacement(const WindowPlacementRecord& record);
// Nothing unless the data has exactly the record's size.
std::optional<WindowPlacementRecord> DecodeWindowPlacement(const uint8_t* data, size_t size);

// The show state to start with: a minimised window comes back maximised if it had been maximised
// before, else normal; a maximised one maximised; anything else normal. The dialog never starts
// minimised or hidden.
uint32_t StartupShowCmd(uint32_t storedShowCmd, uint32_t flags);

// "SOFTWARE\Quenby\Harvex2\" followed by the name.
std::wstring WindowPlacementKeyPath(std::wstring_view name);

// Writes the record; false when the key cannot be opened or the value not written.
bool StoreWindowPlacement(std::wstring_view name, const WindowPlacementRecord& record);
// Reads the stored record with its show state already adjusted by StartupShowCmd. The key is
// created when absent. Nothing when it cannot be opened or the value is missing or of another size.
std::optional<WindowPlacementRecord> LoadWindowPlacement(std::wstring_view name);
