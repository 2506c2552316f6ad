#pragma once
// Move-only owners for what the probe opens: the program's own handle owners, and remote memory.
#include "platform/Handles_win.h"

#include <windows.h>

#include <utility>

namespace probe {

using UniqueHandle = platform::UniqueHandle;
using UniqueKey = platform::UniqueRegKey;

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
