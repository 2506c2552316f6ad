#pragma once
// Names in the copy. A volume may hold names that Windows programs cannot use (a trailing dot or
// blank, a device name, a character Windows forbids); two of its names may also meet in one
// destination name, and the destination may already hold a name. These rules give every file a
// name of its own there and never the name of something that exists.
#include <cstdint>
#include <string>

// Windows keeps a name to this many UTF-16 units, and Linux file systems to this many bytes (Wine
// writes its names there as UTF-8, so under Wine both limits hold).
inline constexpr size_t kMaxNameLength = 255;

// A name's length as the strictest destination counts it: the more of its UTF-16 units and of its
// UTF-8 bytes (a host name's byte that is not UTF-8, U+DC80-U+DCFF, is one byte).
size_t NameLength(const std::wstring& name);

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$ and CONOUT$ name devices, alone and before an
// extension ("NUL.txt"), in any case and with blanks before the dot.
bool IsDeviceName(const std::wstring& name);

// Windows drops trailing dots and blanks, so a name of nothing else names no entry of its own.
bool IsDotsAndBlanks(const std::wstring& name);

// A character that no Windows name may hold: a control character, \ / : * ? " < > |, or a host
// name's backslash (kHostBackslash).
bool IsForbiddenNameCharacter(wchar_t c);

// The name under which an entry named `name` is written: the name itself when Windows programs
// can use it as it stands; else each forbidden character, and each trailing dot or blank, becomes
// "_", and a device name gets "_" after its stem ("com1" -> "com1_", "CON.txt" -> "CON_.txt").
std::wstring SafeName(const std::wstring& name);

// The name with " (number)" before its extension (the part from its last dot, unless that dot
// leads the name): "IMG.JPG" -> "IMG (2).JPG", "notes" -> "notes (2)", ".profile" ->
// ".profile (2)". The stem is shortened when the result would be longer than kMaxNameLength.
std::wstring NumberedName(const std::wstring& name, uint32_t number);

// The name a file carries while it is being written: "IMG.JPG.harvex-partial", shortened to fit
// kMaxNameLength. Nothing under such a name is a finished copy.
std::wstring TemporaryName(const std::wstring& name);
// A name made by TemporaryName, with or without a NumberedName number.
bool IsTemporaryName(const std::wstring& name);

// Where an entry's copy goes, for the names Harvex keeps for its own files.
struct NamePlace {
    bool isFile = false;
    // Directly in "Copy to", beside the runs' copy records and checksum lists.
    bool inCopyToRoot = false;
};

// The name an entry's copy is written under, before any number, and why it is not its own.
struct CopyName {
    std::wstring name;
    const wchar_t* reason = nullptr; // none: the entry's own name
};

// SafeName; then a file name that Harvex gives its own files (ending in ".harvex-partial", and in
// "Copy to" itself ".copied" or ".sha256", in any case) gets "_" after it; then a name longer than
// kMaxNameLength is shortened, its stem first.
CopyName NameInCopy(const std::wstring& name, NamePlace place);
