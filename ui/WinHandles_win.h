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

// Owns one reference to a COM object.
template <class Interface> class UniqueComPtr {
public:
    UniqueComPtr() = default;
    explicit UniqueComPtr(Interface* object) : m_object(object) {}
    ~UniqueComPtr() { Reset(); }
    UniqueComPtr(UniqueComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    UniqueComPtr& operator=(UniqueComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    UniqueComPtr(const UniqueComPtr&) = delete;
    UniqueComPtr& operator=(const UniqueComPtr&) = delete;

    Interface* Get() const { return m_object; }
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    void Reset(Interface* object = nullptr) {
        if (m_object)
            m_object->Release();
        m_object = object;
    }

private:
    Interface* m_object = nullptr;
};
