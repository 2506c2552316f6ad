#pragma once
// What a run keeps beside its folder: the checksum list ("Verify copies") and the copy record
// ("Copy only files not copied before"), and the skip rule that earlier records give.
//
// Where they go: beside the run's folder, named as the folder plus ".sha256" and ".copied"
// ("Copy to\2026-12-07 15-01-02.003.sha256"). A run that copies into "Copy to" itself (no folder
// name rule) has no folder to sit beside; its files go into "Copy to", named by the drive and the
// run's start ("Copy to\E 2026-12-07 15-01-02.003.sha256"), and their paths are relative to "Copy to"
// all the same.
#include "copy/CopyRecord.h"
#include "copy/SideFile.h"
#include "platform/System.h"
#include "settings/CompletionOptions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct RunPlace {
    std::wstring source;      // "E:"
    std::wstring destination; // the run's folder, or "Copy to" itself
    bool intoCopyTo = false;  // no folder name rule: destination is "Copy to"
    std::wstring label;
    std::optional<uint32_t> serial;
    platform::LocalTime started;
};

class RunRecords {
public:
    RunRecords(const CopyingOptions& options, RunPlace place);

    bool Verifying() const { return m_verify; }
    // Only-new is asked for but cannot work: the volume's serial number is unknown.
    bool SerialMissing() const { return m_onlyNew && !m_place.serial; }
    bool SkipsFiles() const { return m_onlyNew && m_place.serial.has_value(); }

    // True when an earlier run from this volume copied this file and its copy is still there.
    bool CopiedBefore(const std::wstring& relativePath, uint64_t size,
                      platform::FileTime lastWriteTime) const;

    // A file is in the run's folder now (verified, when verifying).
    // copyPath: where the copy is below the run's folder; its name may differ from the volume's.
    void FileCopied(const std::wstring& relativePath, const std::wstring& copyPath, uint64_t size,
                    platform::FileTime lastWriteTime, const platform::Sha256Digest& digest);

    // Writes the lines held so far: at the end of each folder, and when they have waited a second
    // (FlushIfDue), so that a run that is killed leaves the files it filed in its list and record.
    void Flush();
    void FlushIfDue();

    struct Failure {
        std::wstring path;
        platform::ErrorCode error;
    };
    // Files of this run's name left by an earlier run that could not be removed; each is taken once.
    std::vector<Failure> TakeStartFailures() { return std::exchange(m_startFailures, {}); }

    // Closes both files. The list gets its end lines; a list of a run with no file in it is written
    // all the same, unless the run's folder is gone (nothing new): then neither file is left. Gives
    // the files that could not be written, with their errors.
    std::vector<Failure> Finish(const platform::LocalTime& ended, bool stopped, uint32_t errorCount,
                                bool folderRemoved);

    const std::wstring& ListPath() const { return m_list.Path(); }

private:
    std::wstring PathInCopyTo(const std::wstring& relativePath) const;
    void StartList();
    void RemoveOld(const SideFile& file);

    bool m_verify;
    bool m_onlyNew;
    RunPlace m_place;
    std::wstring m_copyTo;     // the folder the list's and the record's paths are relative to
    std::wstring m_folderName; // the run's folder inside it, empty for "Copy to" itself
    SideFile m_list;
    SideFile m_record;
    EarlierCopies m_earlier;
    std::vector<Failure> m_startFailures;
};
