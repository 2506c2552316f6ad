// The typed reads and writes, the same on every platform.
#include "platform/Registry.h"

#include <cstring>
#include <vector>

namespace platform {

// Ownership is the same everywhere; only Close differs by platform.
RegKey::~RegKey() {
    Close();
}

RegKey::RegKey(RegKey&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = nullptr;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

bool RegKey::QueryDword(std::wstring_view name, uint32_t& value) const {
    uint8_t bytes[4] = {};
    if (!Query(name, bytes, sizeof bytes))
        return false;
    std::memcpy(&value, bytes, sizeof value);
    return true;
}

bool RegKey::SetDword(std::wstring_view name, uint32_t value) {
    return Set(name, RegType::Dword, &value, sizeof value);
}

bool RegKey::QueryString(std::wstring_view name, size_t maxChars, std::wstring& value) const {
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    uint32_t size = 0;
    // The byte count is that of a Windows wide character, so the limit is the same everywhere.
    if (!Query(name, buffer.data(), static_cast<uint32_t>(maxChars * 2), &size))
        return false;
    if constexpr (sizeof(wchar_t) == 2) {
        value.assign(buffer.data(), size / 2);
    } else {
        // Stored as UTF-16 bytes; widen them back.
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
        value.clear();
        for (uint32_t i = 0; i + 1 < size; i += 2)
            value += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    // The stored data may or may not carry its terminator; the text ends at the first zero.
    size_t end = value.find(L'\0');
    if (end != std::wstring::npos)
        value.resize(end);
    return true;
}

bool RegKey::SetString(std::wstring_view name, std::wstring_view value) {
    if constexpr (sizeof(wchar_t) == 2) {
        std::wstring copy(value);
        return Set(name, RegType::String, copy.c_str(), static_cast<uint32_t>((copy.size() + 1) * 2));
    } else {
        // Keep the Windows form (UTF-16 little-endian) so sizes and limits match.
        std::vector<uint8_t> bytes;
        for (wchar_t c : value) {
            char32_t code = static_cast<char32_t>(c);
            auto put = [&bytes](uint32_t unit) {
                bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
                bytes.push_back(static_cast<uint8_t>(unit >> 8));
            };
            if (code >= 0x10000) {
                code -= 0x10000;
                put(0xD800 + (code >> 10));
                put(0xDC00 + (code & 0x3FF));
            } else {
                put(code);
            }
        }
        bytes.push_back(0);
        bytes.push_back(0);
        return Set(name, RegType::String, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
}

} // namespace platform
