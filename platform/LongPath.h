#pragma once
// The Win32 long-path form of a path. Plain paths stop at MAX_PATH (260 characters, 248 for a
// folder being created); "\\?\E:\..." and "\\?\UNC\server\share\..." reach about 32,767.
#include <string>

namespace platform {

// Paths shorter than this are handed to Win32 as they are.
inline constexpr size_t kLongPathThreshold = 248;

// A path of kLongPathThreshold characters or more in its long form: slashes become backslashes,
// runs of backslashes become one (the long form takes every character literally), a drive path
// gets "\\?\" and a UNC path "\\?\UNC\". Shorter paths, relative paths and paths already in a
// "\\?\" or "\\.\" form are returned unchanged.
std::wstring LongPathForm(const std::wstring& path);

} // namespace platform
