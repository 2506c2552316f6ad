// Linux has no registry: every key fails to open, so every read falls back to its default and
// every write fails. The settings of the Linux program live in a file.
#include "platform/Registry.h"

#include <cerrno>

namespace platform {

void RegKey::Close() {
    m_handle = nullptr;
}

RegKey RegKey::Create(std::wstring_view, const wchar_t*) {
    errno = ENOTSUP;
    return RegKey();
}

RegKey RegKey::Open(std::wstring_view) {
    errno = ENOTSUP;
    return RegKey();
}

bool RegKey::Query(std::wstring_view, void*, uint32_t, uint32_t*, RegType*) const {
    errno = ENOTSUP;
    return false;
}

bool RegKey::Set(std::wstring_view, RegType, const void*, uint32_t) {
    errno = ENOTSUP;
    return false;
}

bool RegKey::DeleteValue(std::wstring_view) {
    errno = ENOTSUP;
    return false;
}

} // namespace platform
