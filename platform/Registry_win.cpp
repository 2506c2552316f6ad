#include "platform/Registry.h"

#include <windows.h>

namespace platform {

void RegKey::Close() {
    if (m_handle)
        RegCloseKey(static_cast<HKEY>(m_handle));
    m_handle = nullptr;
}

RegKey RegKey::Create(std::wstring_view path, const wchar_t* className) {
    std::wstring subkey(path);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, const_cast<wchar_t*>(className),
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}

RegKey RegKey::Open(std::wstring_view path) {
    std::wstring subkey(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}

bool RegKey::Query(std::wstring_view name, void* buffer, uint32_t bufferSize, uint32_t* size,
                   RegType* type) const {
    if (!m_handle)
        return false;
    std::wstring valueName(name);
    DWORD stored = bufferSize;
    DWORD storedType = 0;
    if (RegQueryValueExW(static_cast<HKEY>(m_handle), valueName.c_str(), nullptr, &storedType,
                         static_cast<BYTE*>(buffer), &stored) != ERROR_SUCCESS)
        return false;
    if (size)
        *size = stored;
    if (type)
        *type = static_cast<RegType>(storedType);
    return true;
}

bool RegKey::Set(std::wstring_view name, RegType type, const void* data, uint32_t size) {
    if (!m_handle)
        return false;
    std::wstring valueName(name);
    return RegSetValueExW(static_cast<HKEY>(m_handle), valueName.c_str(), 0, static_cast<DWORD>(type),
                          static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool RegKey::DeleteValue(std::wstring_view name) {
    if (!m_handle)
        return false;
    std::wstring valueName(name);
    LSTATUS status = RegDeleteValueW(static_cast<HKEY>(m_handle), valueName.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace platform
