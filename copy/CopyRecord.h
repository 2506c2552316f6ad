#pragma once
// The record of what a run copied, kept beside the run's folder as "<folder>.copied", and the rule
// of "Copy only files not copied before": a file is skipped when an earlier run from the same volume
// (same serial number) copied a file at the same relative path with the same size and last-write
// time, and that copy is still in "Copy to" with that size. Deleting a run's folder (or its record)
// makes its files count as new again; nothing else is kept.
//
// The record is UTF-8 text: a comment line, "serial XXXXXXXX", "folder NAME" (the run's folder
// relative to "Copy to", empty when the copy went into "Copy to" itself), then one line per file:
// size, a tab, the last-write time (FILETIME), a tab, and the path relative to the run's folder with
// "/" between names, escaped as in the checksum list.
#include "platform/Files.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr wchar_t kCopyRecordSuffix[] = L".copied";

std::string CopyRecordHeaderText(uint32_t serial, std::wstring_view folder);
// relativePath uses backslashes, as the walk's paths do.
std::string CopyRecordLine(std::wstring_view relativePath, uint64_t size, platform::FileTime lastWriteTime);

// The files earlier runs copied from one volume, found through the records in "Copy to".
class EarlierCopies {
public:
    // Reads every "*.copied" record directly in copyTo whose serial is this volume's.
    static EarlierCopies Load(const std::wstring& copyTo, uint32_t serial);
    // Adds one record's text as if it had been found in copyTo.
    void AddRecord(const std::wstring& copyTo, uint32_t serial, std::string_view text);

    // True when an earlier run copied this file and its copy is still there with that size.
    bool CopiedBefore(std::wstring_view relativePath, uint64_t size, platform::FileTime lastWriteTime) const;
    size_t RecordedFiles() const { return m_byPath.size(); }

private:
    struct Copy {
        uint64_t size = 0;
        platform::FileTime lastWriteTime = 0;
        std::wstring path; // of the copy
    };
    std::unordered_map<std::wstring, std::vector<Copy>> m_byPath; // by upper-case relative path
};
