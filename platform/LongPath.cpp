#include "platform/LongPath.h"

namespace platform {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Backslashes only, and no two in a row.
std::wstring Collapsed(const std::wstring& path, size_t from) {
    std::wstring result;
    result.reserve(path.size() - from);
    for (size_t i = from; i < path.size(); ++i) {
        const wchar_t c = IsSeparator(path[i]) ? L'\\' : path[i];
        if (c == L'\\' && !result.empty() && result.back() == L'\\')
            continue;
        result.push_back(c);
    }
    return result;
}

} // namespace

std::wstring LongPathForm(const std::wstring& path) {
    if (path.size() < kLongPathThreshold)
        return path;
    const bool startsWithTwoSeparators = IsSeparator(path[0]) && IsSeparator(path[1]);
    if (startsWithTwoSeparators && (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3]))
        return path;
    if (startsWithTwoSeparators) {
        const size_t server = path.find_first_not_of(L"\\/");
        return L"\\\\?\\UNC\\" + Collapsed(path, server == std::wstring::npos ? path.size() : server);
    }
    if (IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
        return L"\\\\?\\" + Collapsed(path, 0);
    return path;
}

} // namespace platform
