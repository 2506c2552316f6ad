#include "drives/DriveTypes.h"

namespace {

struct DriveTypeNames {
    const wchar_t* rowText;
    int32_t policyKey;
    const wchar_t* policySubkey;
    const wchar_t* policyCaption;
    bool policyManagedByDefault;
};

// Indexed by drive type, 0..6.
constexpr std::array<DriveTypeNames, 7> kDriveTypes = {{
    {L"UNKNOWN", -1, L"Other", L"Other new drives", false},
    {L"NO ACCESS", -1, L"Other", L"Other new drives", false},
    {L"REMOVABLE", -2, L"Removable", L"New removable drives", true},
    {L"FIXED", -3, L"Fixed", L"New fixed drives", false},
    {L"NETWORK", -4, L"Network", L"New remote drives", false},
    {L"CD-ROM", -5, L"CD-ROM", L"New CD-ROM drives", true},
    {L"RAMDISK", -6, L"Ramdisk", L"New ramdisk drives", false},
}};

// The table row that names a policy key: types 2..6 own keys -2..-6, every other key is "Other".
const DriveTypeNames& PolicyNames(int32_t policyKey) {
    if (policyKey <= -2 && policyKey >= -6)
        return kDriveTypes[static_cast<size_t>(-policyKey)];
    return kDriveTypes[0];
}

} // namespace

uint32_t ClampDriveType(uint32_t rawType) {
    return rawType < kDriveTypes.size() ? rawType : 0;
}

const wchar_t* DriveTypeRowText(uint32_t rawType) {
    return kDriveTypes[ClampDriveType(rawType)].rowText;
}

int32_t PolicyKeyOfType(uint32_t rawType) {
    return kDriveTypes[ClampDriveType(rawType)].policyKey;
}

bool IsDriveIndex(int32_t key) {
    return key >= 0 && key < kDriveLetterCount;
}

bool IsPolicyKey(int32_t key) {
    return key >= kFirstRecordKey && key < 0;
}

const wchar_t* PolicySubkeyName(int32_t policyKey) {
    return PolicyNames(policyKey).policySubkey;
}

const wchar_t* PolicyRowCaption(int32_t policyKey) {
    return PolicyNames(policyKey).policyCaption;
}

bool PolicyManagedByDefault(int32_t policyKey) {
    return PolicyNames(policyKey).policyManagedByDefault;
}

std::wstring DriveRoot(int32_t driveIndex) {
    if (!IsDriveIndex(driveIndex))
        return std::wstring();
    return std::wstring{DriveLetter(driveIndex), L':', L'\\'};
}
