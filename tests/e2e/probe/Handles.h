#pragma once
// Small move-only owners for the handles the probe opens.
#include <windows.h>

#include <utility>

namespace probe {

// A kernel handle closed with CloseHandle. INVALID_HANDLE_VALUE and null both mean "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

private:
    void Reset() {
        if (IsValid())
            CloseHandle(m_handle);
        m_handle = nullptr;
    }
    HANDLE m_handle = nullptr;
};

// A registry key closed with RegCloseKey.
class UniqueKey {
public:
    UniqueKey() = default;
    explicit UniqueKey(HKEY key) : m_key(key) {}
    ~UniqueKey() { Reset(); }
    UniqueKey(UniqueKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    UniqueKey& operator=(UniqueKey&& other) noexcept {
        if (this != &other) {
            Reset();
            m_key = std::exchange(other.m_key, nullptr);
        }
        return *this;
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;

    bool IsOpen() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }

private:
    void Reset() {
        if (m_key != nullptr)
            RegCloseKey(m_key);
        m_key = nullptr;
    }
    HKEY m_key = nullptr;
};

// Memory committed inside another process, released with VirtualFreeEx.
class RemoteMemory {
public:
    RemoteMemory() = default;
    RemoteMemory(HANDLE process, size_t size)
        : m_process(process),
          m_address(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)),
          m_size(size) {}
    ~RemoteMemory() { Reset(); }
    RemoteMemory(RemoteMemory&& other) noexcept
        : m_process(other.m_process), m_address(std::exchange(other.m_address, nullptr)),
          m_size(other.m_size) {}
    RemoteMemory& operator=(RemoteMemory&& other) noexcept {
        if (this != &other) {
            Reset();
            m_process = other.m_process;
            m_address = std::exchange(other.m_address, nullptr);
            m_size = other.m_size;
        }
        return *this;
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool IsValid() const { return m_address != nullptr; }
    char* Address() const { return static_cast<char*>(m_address); }
    size_t Size() const { return m_size; }

    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T written = 0;
        return offset + size <= m_size &&
               WriteProcessMemory(m_process, Address() + offset, data, size, &written) && written == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T read = 0;
        return offset + size <= m_size &&
               ReadProcessMemory(m_process, Address() + offset, data, size, &read) && read == size;
    }

private:
    void Reset() {
        if (m_address != nullptr)
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        m_address = nullptr;
    }
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
    size_t m_size = 0;
};

} // namespace probe
