#pragma once
// The literal Win32 form of a path. In its plain form Win32 reads a path as a shell would: it drops
// a trailing dot or blank from a name, takes CON or COM1 for a device and stops at MAX_PATH. In the
// form "\\?\E:\..." ("\\?\UNC\server\share\..." for a network path) every name is taken exactly as
// it is written, up to about 32,767 characters, so the file opened is the file that was listed.
#include <string>

namespace platform {

// The literal form of an absolute path ("E:\...", "\\server\share\..."), whatever its length:
// slashes become backslashes, runs of backslashes become one, "." parts go and ".." parts take the
// part before them away (never the drive or share), a trailing backslash goes except after the drive.
// Relative paths and paths already in a "\\?\" or "\\.\" form are returned unchanged.
std::wstring LiteralPath(const std::wstring& path);

} // namespace platform
