#pragma once
// Small move-only owners for the window-system objects the UI components create.
#include <windows.h>

#include <utility>

template <class Handle, BOOL(WINAPI* Release)(Handle)> class UniqueWinObject {
public:
    UniqueWinObject() = default;
    explicit UniqueWinObject(Handle handle) : m_handle(handle) {}
    ~UniqueWinObject() { Reset(); }
    UniqueWinObject(UniqueWinObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueWinObject& operator=(UniqueWinObject&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    UniqueWinObject(const UniqueWinObject&) = delete;
    UniqueWinObject& operator=(const UniqueWinObject&) = delete;

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(Handle handle = nullptr) {
        if (m_handle)
            Release(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

// Plain functions rather than the imported ones, whose addresses are not constants.
inline BOOL WINAPI DeleteFontObject(HFONT font) {
    return DeleteObject(font);
}
inline BOOL WINAPI DestroyWindowObject(HWND window) {
    return DestroyWindow(window);
}

using UniqueFont = UniqueWinObject<HFONT, DeleteFontObject>;
using UniqueWindow = UniqueWinObject<HWND, DestroyWindowObject>;
