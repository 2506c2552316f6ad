#pragma once
// The drive-type classification: every name a drive type goes by (list row text, new-drive policy
// key, policy registry subkey, policy row caption, policy default). Everything else asks here.
#include <array>
#include <cstdint>
#include <string>

// Drive indexes 0..25 name the letters A: to Z:.
inline constexpr int32_t kDriveLetterCount = 26;
// Record keys run from the lowest policy key to the last drive index.
inline constexpr int32_t kFirstRecordKey = -6;
inline constexpr int32_t kLastRecordKey = kDriveLetterCount - 1;
inline constexpr int32_t kRecordCount = kLastRecordKey - kFirstRecordKey + 1;

// The "Other" policy, for drive types 0 and 1.
inline constexpr int32_t kOtherPolicyKey = -1;

// The policy rows below the drive rows, top to bottom.
inline constexpr std::array<int32_t, 6> kPolicyRowOrder = {-2, -3, -4, -5, -6, -1};

// A platform drive type made safe: 7 and above count as 0 (unknown).
uint32_t ClampDriveType(uint32_t rawType);
// "UNKNOWN", "NO ACCESS", "REMOVABLE", "FIXED", "NETWORK", "CD-ROM" or "RAMDISK".
const wchar_t* DriveTypeRowText(uint32_t rawType);
// The policy key of a drive type: -t for 2..6, -1 for the rest.
int32_t PolicyKeyOfType(uint32_t rawType);

bool IsDriveIndex(int32_t key);
// The letter of a drive index: L'E' for 4. Only for drive indexes.
constexpr wchar_t DriveLetter(int32_t driveIndex) {
    return static_cast<wchar_t>(L'A' + driveIndex);
}
bool IsPolicyKey(int32_t key);
// The registry subkey of a policy key; any negative key outside -2..-6 is "Other".
const wchar_t* PolicySubkeyName(int32_t policyKey);
// "New removable drives" and so on; "Other new drives" for any other negative key.
const wchar_t* PolicyRowCaption(int32_t policyKey);
// Whether a policy counts as ticked while it has no stored "Managed".
bool PolicyManagedByDefault(int32_t policyKey);

// "C:\" for drive index 2; an empty text for a key that is not a drive index.
std::wstring DriveRoot(int32_t driveIndex);
