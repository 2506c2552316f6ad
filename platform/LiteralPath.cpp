#include "platform/LiteralPath.h"

#include <vector>

namespace platform {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The parts of path from `from` on, with "." and ".." resolved; at least `kept` parts stay (the
// server and share of a network path).
std::vector<std::wstring> Parts(const std::wstring& path, size_t from, size_t kept) {
    std::vector<std::wstring> parts;
    size_t start = from;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::wstring part = path.substr(start, end - start);
        if (part == L"..") {
            if (parts.size() > kept)
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

std::wstring Joined(std::wstring prefix, const std::vector<std::wstring>& parts) {
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            prefix += L'\\';
        prefix += parts[i];
    }
    return prefix;
}

} // namespace

std::wstring LiteralPath(const std::wstring& path) {
    if (path.size() < 3)
        return path;
    const bool startsWithTwoSeparators = IsSeparator(path[0]) && IsSeparator(path[1]);
    if (startsWithTwoSeparators && (path[2] == L'?' || path[2] == L'.') &&
        (path.size() == 3 || IsSeparator(path[3])))
        return path;
    if (startsWithTwoSeparators)
        return Joined(L"\\\\?\\UNC\\", Parts(path, 2, 2));
    if (IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
        return Joined(std::wstring(L"\\\\?\\") + path[0] + L":\\", Parts(path, 3, 0));
    return path;
}

} // namespace platform
