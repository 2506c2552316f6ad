#pragma once
// New, uniquely named destination folders under the "Copy to" folder. A name counts as free only
// once this call has created the folder; an empty result means no folder could be made.
#include "platform/Errors.h"
#include "platform/System.h"

#include <cstdint>
#include <string>

// The "Folder names:" combo index and the stored "Folder name". Any other value (-1 when nothing is
// selected, or a damaged setting) means no rule: the copy goes into "Copy to" itself.
enum class FolderNaming : int32_t {
    DateTime = 0,
    ThreeDigits = 1,
    FiveDigits = 2,
    VolumeLabel = 3,
};

// The file system, clock and volume queries that naming needs. The system's own by default; tests
// override single operations to count probes or to hold the clock still.
class NamingEnvironment {
public:
    virtual ~NamingEnvironment() = default;
    virtual bool PathExists(const std::wstring& path);
    virtual platform::ErrorCode CreateFolder(const std::wstring& path);
    virtual platform::LocalTime LocalTime();
    virtual void YieldTimeSlice();
    virtual bool VolumeLabel(const std::wstring& root, std::wstring& label);
};

NamingEnvironment& SystemNamingEnvironment();

// The "Copy to" text with every trailing backslash removed and one appended ("D:\Backup\").
std::wstring BasePath(const std::wstring& copyToText);

// The label a folder may be named after: "[no name]" for an empty label and for one that would not
// name a single folder inside "Copy to": a separator, a character that Windows forbids in names
// (: * ? " < > |) or a control character in it, dots and blanks alone, or a device name (CON, NUL,
// COM1 ...). A trailing dot or blank becomes "_" ("Fotos " names "Fotos_").
std::wstring FolderNameOfLabel(const std::wstring& label);

// base + "2024-03-07 14-05-09.042"; retries with a fresh clock reading while the name is taken.
std::wstring MakeDateTimeFolder(const std::wstring& base, NamingEnvironment& env = SystemNamingEnvironment());

// prefix + "%03d" (or "%05d"): a number that is free while its predecessor is taken, or 0.
std::wstring MakeNumberedFolder(bool fiveDigits, std::wstring prefix,
                                NamingEnvironment& env = SystemNamingEnvironment());

// base + the volume label of the drive, else base + label + ".000", ".001" ...
std::wstring MakeVolumeLabelFolder(const std::wstring& base, int32_t driveIndex,
                                   NamingEnvironment& env = SystemNamingEnvironment());

// The destination of a run, from the "Copy to" text and the "Folder names:" selection: a folder
// just made by the selected rule; the text itself when no rule is selected (selectedIndex outside
// 0..3); an empty text when the "Copy to" text is empty or not absolute (a drive or a UNC path), or
// when no folder could be made.
std::wstring MakeDestinationFolder(const std::wstring& copyToText, FolderNaming naming, int32_t driveIndex,
                                   NamingEnvironment& env = SystemNamingEnvironment());
