#include "copy/WalkPaths.h"

#include "platform/Text.h"

std::wstring JoinWalkPath(const std::wstring& root, const std::wstring& rel) {
    std::wstring path;
    path.reserve(root.size() + 1 + rel.size());
    path += root;
    path += L'\\';
    path += rel;
    return path;
}

std::wstring ListingPattern(const std::wstring& folderPath) {
    return folderPath + L"\\*";
}

std::wstring ChildWalkPath(const std::wstring& rel, const std::wstring& name) {
    if (rel.empty())
        return name;
    return rel + L'\\' + name;
}

namespace {

// A folder path in one form for comparing: backslashes only, none doubled or at the end, ASCII
// letters in upper case.
std::wstring ComparableFolderPath(const std::wstring& path) {
    std::wstring normal;
    normal.reserve(path.size());
    for (wchar_t c : path) {
        const wchar_t separator = c == L'/' ? L'\\' : c;
        if (separator == L'\\' && !normal.empty() && normal.back() == L'\\')
            continue;
        normal.push_back(separator);
    }
    while (!normal.empty() && normal.back() == L'\\')
        normal.pop_back();
    return platform::AsciiUpper(normal);
}

} // namespace

std::wstring UpperPathBelowRoot(const std::wstring& root, const std::wstring& path) {
    const std::wstring prefix = platform::AsciiUpper(root) + L'\\';
    const std::wstring normal = ComparableFolderPath(path);
    if (normal.size() <= prefix.size() || normal.compare(0, prefix.size(), prefix) != 0)
        return std::wstring();
    return normal.substr(prefix.size());
}

bool FoldersOverlap(const std::wstring& first, const std::wstring& second) {
    const std::wstring a = ComparableFolderPath(first);
    const std::wstring b = ComparableFolderPath(second);
    const std::wstring& outer = a.size() <= b.size() ? a : b;
    const std::wstring& inner = a.size() <= b.size() ? b : a;
    if (outer.empty() || inner.compare(0, outer.size(), outer) != 0)
        return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}
