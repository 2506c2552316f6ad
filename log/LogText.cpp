#include "log/LogText.h"

namespace {

bool BreaksOrHides(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A surrogate outside a UTF-16 pair is no character: a host name's byte that is not UTF-8.
bool IsLoneSurrogate(const std::wstring& text, size_t at) {
    const wchar_t c = text[at];
    if (!IsHighSurrogate(c) && !IsLowSurrogate(c))
        return false;
    if constexpr (sizeof(wchar_t) != 2)
        return true;
    if (IsHighSurrogate(c))
        return at + 1 == text.size() || !IsLowSurrogate(text[at + 1]);
    return at == 0 || !IsHighSurrogate(text[at - 1]);
}

} // namespace

std::wstring VisibleLogText(const std::wstring& text) {
    std::wstring visible = text;
    for (size_t at = 0; at < visible.size(); ++at) {
        if (BreaksOrHides(visible[at]) || IsLoneSurrogate(text, at))
            visible[at] = L'?';
    }
    return visible;
}
