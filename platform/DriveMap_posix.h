#pragma once
// The letters of a build without Windows: the copy engine names volumes by drive letter, so each
// letter in use stands for a host folder (a mount point). This map is shared by the Linux volume
// layer and the tests' stand-in; what a letter reports (type, label, serial) is theirs.
#include <optional>
#include <string>
#include <vector>

namespace platform::posix {

// The upper-case letter of a root ("E:\", "e:" or "E:/"); anything longer is not a root.
std::optional<wchar_t> RootLetter(const std::wstring& root);
// The upper-case letter of a letter, or none for anything that is not one.
std::optional<wchar_t> UpperLetter(wchar_t c);

void MapFolder(wchar_t upperLetter, const std::string& folder);
void UnmapFolder(wchar_t upperLetter);
void UnmapAllFolders();
std::optional<std::string> MappedFolder(wchar_t upperLetter);
// The mapped letters in letter order.
std::vector<wchar_t> MappedLetters();

} // namespace platform::posix
