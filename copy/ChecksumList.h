#pragma once
// The checksum list of a verified run, in the form `sha256sum -c` reads: comment lines beginning with
// "#", then one line per file of 64 lower-case hex digits, two spaces and the file's path relative to
// the list's own folder with "/" between names. A name holding a backslash, a line feed or a
// carriage return is escaped as GNU sha256sum does: the line begins with a backslash and those three
// become "\\", "\n" and "\r".
#include "platform/Sha256.h"
#include "platform/System.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the list's opening comments say about the run.
struct ChecksumListHeader {
    std::wstring program; // "Harvex 2.0"
    std::wstring source;  // "E:"
    std::wstring label;   // the volume label, empty when it has none
    std::optional<uint32_t> serial;
    std::wstring folder; // the run's folder relative to the list's folder, empty for that folder itself
    platform::LocalTime started;
};

// A name escaped as sha256sum escapes it (backslash, line feed, carriage return), and back again;
// nothing when a backslash is followed by anything else.
std::string EscapeListName(std::string_view name);
std::optional<std::string> UnescapeListName(std::string_view name);

// A relative path (backslashes) that stays inside its folder: no root, drive, stream, empty part,
// "." or "..".
bool IsPathInsideFolder(std::wstring_view path);

// "2026-12-07 15:01:02"
std::wstring ListTimeText(const platform::LocalTime& time);

// The opening comment lines, each ending in "\n".
std::string ChecksumListHeaderText(const ChecksumListHeader& header);

// One file's line, ending in "\n". relativePath uses backslashes, as the walk's paths do.
std::string ChecksumLine(const platform::Sha256Digest& digest, std::wstring_view relativePath);

// The closing comment lines: the end time and, for a run that was stopped or had failures, a line
// saying the list is not complete and why.
std::string ChecksumListEndText(const platform::LocalTime& ended, bool stopped, uint32_t errorCount);

// One line of a list as read back (without its line end).
struct ChecksumListLine {
    enum class Kind { Skip, Entry, Malformed };
    Kind kind = Kind::Skip;    // Skip: an empty or comment line
    std::string hex;           // lower case
    std::wstring relativePath; // with backslashes, as given in the line
    std::wstring problem;      // why a Malformed line is not in the format
};

ChecksumListLine ParseChecksumLine(std::string_view line);
