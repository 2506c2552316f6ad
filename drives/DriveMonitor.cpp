#include "drives/DriveMonitor.h"
#include "drives/DriveTypes.h"
#include "drives/VolumeNotification.h"
#include "platform/Drives.h"

namespace {

// Holds the refreshing flag up for one rebuild and puts back what it was.
class RefreshingScope {
public:
    explicit RefreshingScope(bool& flag) : m_flag(flag), m_before(flag) { m_flag = true; }
    ~RefreshingScope() { m_flag = m_before; }
    RefreshingScope(const RefreshingScope&) = delete;
    RefreshingScope& operator=(const RefreshingScope&) = delete;

private:
    bool& m_flag;
    bool m_before;
};

// The drive index of a root from the platform's list, or -1 for anything that is not "X:...".
int32_t DriveIndexOfRoot(const std::wstring& root) {
    if (root.size() < 2 || root[1] != L':' || root[0] < L'A' || root[0] > L'Z')
        return -1;
    return static_cast<int32_t>(root[0] - L'A');
}

uint32_t CurrentDriveType(int32_t driveIndex) {
    return ClampDriveType(platform::DriveType(DriveRoot(driveIndex)));
}

} // namespace

DriveMonitor::DriveMonitor(IDriveList& driveList, IDriveJobs& jobs) : m_driveList(driveList), m_jobs(jobs) {
    for (int32_t key = kFirstRecordKey; key <= kLastRecordKey; ++key) {
        DriveRecord record;
        record.key = key;
        record.Load();
        m_driveRecords.emplace(key, record);
    }
}

DriveRecord* DriveMonitor::FindRecord(int32_t key) {
    auto it = m_driveRecords.find(key);
    return it == m_driveRecords.end() ? nullptr : &it->second;
}

const DriveRecord* DriveMonitor::FindRecord(int32_t key) const {
    auto it = m_driveRecords.find(key);
    return it == m_driveRecords.end() ? nullptr : &it->second;
}

void DriveMonitor::RefreshDrives() {
    RefreshingScope refreshing(m_refreshingList);
    m_driveList.DeleteAllRows();
    LoadRecords();
    ApplyPolicyDefaults();
    ScanPresentDrives();
    for (int32_t driveIndex = 0; driveIndex < kDriveLetterCount; ++driveIndex) {
        if (FindRecord(driveIndex)->seen)
            AddDriveRow(driveIndex);
    }
    AddPolicyRows();
}

void DriveMonitor::LoadRecords() {
    for (auto& [key, record] : m_driveRecords)
        record.Load();
}

// In memory only: the defaults reach the registry when the user changes a policy row.
void DriveMonitor::ApplyPolicyDefaults() {
    for (int32_t key : kPolicyRowOrder) {
        DriveRecord& policy = *FindRecord(key);
        if (!policy.hasManaged && PolicyManagedByDefault(key))
            policy.managed = true;
    }
}

void DriveMonitor::ScanPresentDrives() {
    for (const std::wstring& root : platform::LogicalDriveRoots()) {
        int32_t driveIndex = DriveIndexOfRoot(root);
        if (driveIndex < 0)
            continue;
        // One type query serves both the policy choice and the stored type, so they agree.
        NoteDrivePresent(driveIndex, ClampDriveType(platform::DriveType(root)));
    }
}

void DriveMonitor::NoteDrivePresent(int32_t driveIndex, uint32_t driveType) {
    DriveRecord& record = *FindRecord(driveIndex);
    // A: and B: never take a policy; they keep what their own record says.
    constexpr int32_t kFirstPolicyLetter = 2;
    if (!record.seen && driveIndex >= kFirstPolicyLetter)
        record.managed = FindRecord(PolicyKeyOfType(driveType))->managed;
    record.seen = true;
    record.lastType = static_cast<int32_t>(driveType);
    record.Save();
}

std::wstring DriveMonitor::GetDriveTypeText(int32_t driveIndex) const {
    uint32_t driveType = CurrentDriveType(driveIndex);
    if (driveType != platform::kDriveNoRootDir)
        return DriveTypeRowText(driveType);
    const DriveRecord* record = FindRecord(driveIndex);
    if (!record || !record->hasLastType)
        return DriveTypeRowText(platform::kDriveNoRootDir);
    // A hand-edited type outside 0..6 (negative ones included) reads as unknown.
    uint32_t lastType =
        record->lastType < 0 ? platform::kDriveUnknown : static_cast<uint32_t>(record->lastType);
    return std::wstring(L"NONE (") + DriveTypeRowText(lastType) + L")";
}

std::wstring DriveMonitor::DriveRowCaption(int32_t driveIndex) const {
    return DriveRoot(driveIndex) + L" [" + GetDriveTypeText(driveIndex) + L"]";
}

void DriveMonitor::AddDriveRow(int32_t driveIndex) {
    m_driveList.AddRow(DriveRowCaption(driveIndex), FindRecord(driveIndex)->managed, driveIndex);
}

void DriveMonitor::AddPolicyRows() {
    for (int32_t key : kPolicyRowOrder)
        m_driveList.AddRow(PolicyRowCaption(key), FindRecord(key)->managed, key);
}

intptr_t DriveMonitor::OnDeviceChange(uint32_t event, const void* header) {
    constexpr intptr_t kHandled = 1;
    auto notification = ReadVolumeNotification(event, header);
    if (!notification)
        return kHandled;
    for (int32_t driveIndex = 0; driveIndex < kDriveLetterCount; ++driveIndex) {
        if ((notification->unitMask >> driveIndex) & 1u) {
            RefreshDrives();
            HandOverToJob(driveIndex, notification->arrival);
        }
    }
    return kHandled;
}

void DriveMonitor::HandOverToJob(int32_t driveIndex, bool arrival) {
    if (!arrival) {
        m_jobs.Detach(driveIndex);
        return;
    }
    // The record as the refresh just left it: a letter seen for the first time has its policy.
    if (FindRecord(driveIndex)->managed)
        m_jobs.Attach(driveIndex);
    else
        m_jobs.AttachUnmanaged(driveIndex);
}

intptr_t DriveMonitor::OnDriveListItemChanged(const DriveListItemChange& change) {
    constexpr intptr_t kHandled = 1;
    // Rows being rebuilt report their new check state too; those are not the user's ticks.
    if (m_refreshingList)
        return kHandled;
    if (((change.oldState ^ change.newState) & kStateImageMask) == 0)
        return kHandled;
    auto param = m_driveList.RowParam(change.row);
    if (!param)
        return kHandled;
    if (*param < kFirstRecordKey || *param > kLastRecordKey)
        return kHandled;
    DriveRecord& record = *FindRecord(static_cast<int32_t>(*param));
    // Only an explicit unticked box clears the flag; a row without a state image counts as ticked.
    record.managed = m_driveList.RowStateImage(change.row) != kStateImageUnticked;
    record.Save();
    return kHandled;
}
