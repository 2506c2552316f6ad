#include "log/LogText.h"

namespace {

bool BreaksOrHides(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

std::wstring VisibleLogText(const std::wstring& text) {
    std::wstring visible = text;
    for (wchar_t& c : visible) {
        if (BreaksOrHides(c))
            c = L'?';
    }
    return visible;
}
