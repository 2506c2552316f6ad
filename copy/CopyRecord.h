#pragma once
// The record of what a run copied, kept beside the run's folder as "<folder>.copied", and the rule
// of "Copy only files not copied before": a file is skipped when an earlier run from the same volume
// (same serial number) copied a file at the same relative path with the same size and last-write
// time, and that copy is still in "Copy to", where the record says it went, with that size.
// Deleting a run's folder (or its record) makes its files count as new again; nothing else is kept.
//
// The record is UTF-8 text: a comment line, "serial XXXXXXXX", "folder NAME" (the run's folder in
// "Copy to", empty when the copy went into "Copy to" itself), then one line per file: size, a tab,
// the last-write time (FILETIME), a tab, the path on the volume, a tab, and the path of the copy in
// the run's folder (its names may differ: a taken or unusable name). Paths are relative with "/"
// between names, escaped as in the checksum list, and a tab as "\t". A line without the copy's
// path (an older record) has its copy at the volume's path.
//
// Only a record Harvex wrote is used: "<folder>.copied" whose folder line names exactly that folder,
// which is a folder in "Copy to"; or, with an empty folder line, a record named as a run into "Copy
// to" itself names its files ("E 2026-12-07 15-01-02.003.copied"). Every path stays inside "Copy to".
#include "platform/Files.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr wchar_t kCopyRecordSuffix[] = L".copied";

std::string CopyRecordHeaderText(uint32_t serial, std::wstring_view folder);
// relativePath uses backslashes, as the walk's paths do.
// copyPath: where the copy is in the run's folder, with backslashes too.
std::string CopyRecordLine(std::wstring_view relativePath, std::wstring_view copyPath, uint64_t size,
                           platform::FileTime lastWriteTime);
// "E 2026-12-07 15-01-02.003": how a run into "Copy to" itself names its side files.
bool IsRunStemWithoutFolder(std::wstring_view stem);

// The files earlier runs copied from one volume, found through the records in "Copy to".
class EarlierCopies {
public:
    // Reads every "*.copied" record directly in copyTo whose serial is this volume's.
    static EarlierCopies Load(const std::wstring& copyTo, uint32_t serial);
    // Adds one record's text as if it had been found in copyTo under recordName; a record that
    // Harvex did not write there is passed over.
    void AddRecord(const std::wstring& copyTo, std::wstring_view recordName, uint32_t serial,
                   std::string_view text);

    // True when an earlier run copied this file and its copy is still there with that size.
    bool CopiedBefore(std::wstring_view relativePath, uint64_t size, platform::FileTime lastWriteTime) const;
    size_t RecordedFiles() const { return m_byPath.size(); }

private:
    static std::optional<std::wstring> RecordBase(const std::wstring& copyTo, std::wstring_view recordName,
                                                  std::string_view folderField);
    void AddLine(const std::wstring& base, std::string_view line);

    struct Copy {
        uint64_t size = 0;
        platform::FileTime lastWriteTime = 0;
        std::wstring path; // of the copy
    };
    std::unordered_map<std::wstring, std::vector<Copy>> m_byPath; // by upper-case relative path
};
