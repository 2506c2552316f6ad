#include "drives/DriveRecord.h"
#include "drives/DriveTypes.h"
#include "settings/Settings.h"

std::wstring DriveRecordKeyPath(int32_t key) {
    std::wstring path = std::wstring(kSettingsKeyPath) + L"\\Drives\\";
    if (key < 0)
        return path + PolicySubkeyName(key);
    if (!IsDriveIndex(key))
        return std::wstring();
    return path + DriveLetter(key);
}

platform::RegKey DriveRecord::OpenKey() const {
    std::wstring path = DriveRecordKeyPath(key);
    if (path.empty())
        return platform::RegKey();
    return platform::RegKey::Create(path, kDriveRecordKeyClass);
}

void DriveRecord::Load() {
    platform::RegKey regKey = OpenKey();
    uint32_t value = 0;
    hasSeen = regKey.QueryDword(kSeenValue, value);
    seen = hasSeen && value != 0;
    hasManaged = regKey.QueryDword(kManagedValue, value);
    managed = hasManaged && value != 0;
    hasLastType = regKey.QueryDword(kLastTypeValue, value);
    lastType = hasLastType ? static_cast<int32_t>(value) : -1;
}

void DriveRecord::Save() {
    platform::RegKey regKey = OpenKey();
    regKey.SetDword(kSeenValue, seen ? 1 : 0);
    hasSeen = true;
    regKey.SetDword(kManagedValue, managed ? 1 : 0);
    hasManaged = true;
    regKey.SetDword(kLastTypeValue, static_cast<uint32_t>(lastType));
    hasLastType = true;
}
