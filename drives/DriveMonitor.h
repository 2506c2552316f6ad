#pragma once
// The drive records, the scan of present drives and the reaction to volume arrival and removal.
// Everything here runs on the user-interface thread; nothing is locked.
#include "drives/DriveJobs.h"
#include "drives/DriveList.h"
#include "drives/DriveRecord.h"

#include <cstdint>
#include <map>
#include <string>

class DriveMonitor {
public:
    // Loads all 32 records (keys -6..25), which creates their registry keys on a first start.
    // The list need not be shown yet: it is only touched by RefreshDrives and the handlers.
    DriveMonitor(IDriveList& driveList, IDriveJobs& jobs);
    DriveMonitor(const DriveMonitor&) = delete;
    DriveMonitor& operator=(const DriveMonitor&) = delete;

    // Reloads the records, marks present letters as seen (a newly seen letter C: to Z: takes its
    // type's policy), stores every present letter's record and rebuilds the list.
    void RefreshDrives();

    // WM_DEVICECHANGE: event is wParam, header lParam (may be null). Per letter named in a volume
    // arrival or removal, in letter order: a refresh, then the letter's job. Always gives 1.
    intptr_t OnDeviceChange(uint32_t event, const void* header);

    // LVN_ITEMCHANGED of the drive list: a changed tick is stored in that row's record alone.
    // Ignored during a refresh and for selection or focus changes. Always gives 1.
    intptr_t OnDriveListItemChanged(const DriveListItemChange& change);

    // The text between the brackets of a drive row: "REMOVABLE", "NONE (CD-ROM)", "NO ACCESS"...
    std::wstring GetDriveTypeText(int32_t driveIndex) const;
    // "E:\ [REMOVABLE]".
    std::wstring DriveRowCaption(int32_t driveIndex) const;

    // The record of a key -6..25; null for any other key.
    DriveRecord* FindRecord(int32_t key);
    const DriveRecord* FindRecord(int32_t key) const;
    const std::map<int32_t, DriveRecord>& Records() const { return m_driveRecords; }
    bool IsRefreshingList() const { return m_refreshingList; }

private:
    void LoadRecords();
    void ApplyPolicyDefaults();
    void ScanPresentDrives();
    void NoteDrivePresent(int32_t driveIndex, uint32_t driveType);
    void AddDriveRow(int32_t driveIndex);
    void AddPolicyRows();
    void HandOverToJob(int32_t driveIndex, bool arrival);

    IDriveList& m_driveList;
    IDriveJobs& m_jobs;
    std::map<int32_t, DriveRecord> m_driveRecords;
    bool m_refreshingList = false;
};
