#pragma once
// The stored record of one drive letter (keys 0..25) or one new-drive policy (keys -6..-1), kept
// under "SOFTWARE\Quenby\Harvex2\Drives\" as three DWORD values.
#include "platform/Registry.h"

#include <cstdint>
#include <string>

inline constexpr wchar_t kDriveRecordKeyClass[] = L"DWORD";
inline constexpr wchar_t kSeenValue[] = L"Seen";
inline constexpr wchar_t kManagedValue[] = L"Managed";
inline constexpr wchar_t kLastTypeValue[] = L"Last type";

struct DriveRecord {
    bool seen = false;
    bool hasSeen = false; // "Seen" was read at the last load, or written since
    bool managed = false;
    bool hasManaged = false;
    int32_t lastType = -1; // -1 when none is known
    bool hasLastType = false;
    int32_t key = 0;

    // The record's registry key, created when missing; not open when it cannot be had.
    platform::RegKey OpenKey() const;
    // Reads the three values; each one that cannot be read takes its default.
    void Load();
    // Writes the three values; a failed write is ignored and still counts as written.
    void Save();
};

// "SOFTWARE\Quenby\Harvex2\Drives\E" for key 4, "...\Drives\Removable" for key -2; any negative
// key outside -2..-6 gives "...\Drives\Other". Empty for a key above the last drive index.
std::wstring DriveRecordKeyPath(int32_t key);
