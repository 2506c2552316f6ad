#pragma once
// Paths between the Linux program and the copy engine. The engine names folders the Windows way: a
// drive's own folders as "Q:\DCIM", other folders by absolute paths of the network form. So the card
// is mapped to a drive letter, a folder on it keeps the drive's form (a copy into the card itself is
// then seen and not copied again), and any other folder "/media/backup" goes in as "\\media\backup",
// which the POSIX layer reads back as "/media/backup". A name's own backslash travels as the POSIX
// layer's stand-in for it.
#include <string>

class HostPaths {
public:
    // sourceFolder: the card's folder, absolute, or empty for none; letter: the drive it is mapped to.
    HostPaths(wchar_t letter, std::string sourceFolder);

    // The engine's form of an absolute host path; "." and ".." parts and a trailing "/" go.
    std::wstring EnginePath(const std::string& hostPath) const;
    // A log line with the engine's paths in host form, as bytes for the terminal.
    std::string HostText(const std::wstring& engineText) const;

private:
    wchar_t m_letter;
    std::string m_source;
};

// hostPath made absolute against the current folder, "." and ".." resolved, no trailing "/".
std::string AbsoluteHostPath(const std::string& hostPath);
