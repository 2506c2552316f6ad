#pragma once
// Per-user registry keys. Only HKEY_CURRENT_USER is used by the program, so paths are relative to it.
// Linux has no registry: there every key fails to open (errno ENOTSUP) and the settings come from a
// file. The tests link an in-memory registry instead (platform/testing) with the same semantics as
// the hive: keys are created with their parents, names compare without case, and a query fails
// when the value is missing or larger than the caller's buffer (the stored type is not looked at).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegType : uint32_t { String = 1, Binary = 3, Dword = 4, Qword = 11 };

class RegKey {
public:
    RegKey() = default;
    ~RegKey();
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens HKCU\path, creating it and any missing parents (RegCreateKeyExW, KEY_ALL_ACCESS).
    // className may be null (no class string).
    static RegKey Create(std::wstring_view path, const wchar_t* className);
    // Opens an existing HKCU\path for reading and writing; no key is created.
    static RegKey Open(std::wstring_view path);

    bool IsOpen() const { return m_handle != nullptr; }

    // Raw query: fills at most bufferSize bytes; size receives the stored size on success.
    bool Query(std::wstring_view name, void* buffer, uint32_t bufferSize, uint32_t* size = nullptr,
               RegType* type = nullptr) const;
    bool Set(std::wstring_view name, RegType type, const void* data, uint32_t size);

    // A 4-byte read: values of up to four bytes are taken as a number whatever their type
    // (missing bytes read as zero); larger values fail.
    bool QueryDword(std::wstring_view name, uint32_t& value) const;
    bool SetDword(std::wstring_view name, uint32_t value);
    // A string read into a buffer of maxChars wide characters including the terminator.
    bool QueryString(std::wstring_view name, size_t maxChars, std::wstring& value) const;
    // REG_SZ with the terminating zero counted in its size.
    bool SetString(std::wstring_view name, std::wstring_view value);
    // Removes a value; true when it is gone afterwards (also when it was never there).
    bool DeleteValue(std::wstring_view name);

private:
    explicit RegKey(void* handle) : m_handle(handle) {}
    void Close();
    void* m_handle = nullptr;
};

#if !defined(_WIN32)
// Hooks of the tests' in-memory registry (platform/testing, linked into test programs only).
namespace posix {
void ResetRegistry();
bool KeyExists(std::wstring_view path);
std::wstring KeyClass(std::wstring_view path);
std::vector<std::wstring> SubkeyNames(std::wstring_view path);
bool ReadValue(std::wstring_view path, std::wstring_view name, RegType& type, std::vector<uint8_t>& data);
void WriteValue(std::wstring_view path, std::wstring_view name, RegType type,
                const std::vector<uint8_t>& data);
// Makes every later Create/Open fail, as when the hive cannot be written.
void SetRegistryBroken(bool broken);
} // namespace posix
#endif

} // namespace platform
