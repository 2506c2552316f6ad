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

std::wstring UpperPathBelowRoot(const std::wstring& root, const std::wstring& path) {
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
    const std::wstring prefix = platform::AsciiUpper(root) + L'\\';
    normal = platform::AsciiUpper(normal);
    if (normal.size() <= prefix.size() || normal.compare(0, prefix.size(), prefix) != 0)
        return std::wstring();
    return normal.substr(prefix.size());
}
