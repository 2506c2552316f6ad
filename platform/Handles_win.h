#pragma once
// Move-only owners for Win32 handles: one template for every kind. A kind's traits name the handle
// type, which values mean "none", and how the handle is released.
#include <windows.h>

#include <utility>

namespace platform {

template <class Traits> class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : m_handle(handle) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(UniqueResource&& other) noexcept : m_handle(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle Get() const { return m_handle; }
    bool IsValid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return IsValid(); }

    // Releases the handle held, if any, and takes the new one.
    void Reset(Handle handle = Traits::kNone) {
        if (IsValid())
            Traits::Release(m_handle);
        m_handle = handle;
    }
    // Gives the handle up without releasing it.
    Handle Release() { return std::exchange(m_handle, Traits::kNone); }

private:
    Handle m_handle = Traits::kNone;
};

// Kernel objects (files, processes, devices). CreateFileW fails with INVALID_HANDLE_VALUE, most
// other calls with null: both mean "none".
struct KernelHandleTraits {
    using Handle = HANDLE;
    static constexpr Handle kNone = nullptr;
    static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Release(Handle handle) { CloseHandle(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static constexpr Handle kNone = nullptr;
    static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Release(Handle handle) { FindClose(handle); }
};

// The objects below are plain pointers: null is "none".
template <class H, auto ReleaseFn> struct PointerHandleTraits {
    using Handle = H;
    static constexpr Handle kNone = nullptr;
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Release(Handle handle) { ReleaseFn(handle); }
};

inline void CloseRegKey(HKEY key) {
    RegCloseKey(key);
}
inline void DeleteFont(HFONT font) {
    DeleteObject(font);
}
inline void DestroyWindowHandle(HWND window) {
    DestroyWindow(window);
}
inline void DestroyIconHandle(HICON icon) {
    DestroyIcon(icon);
}

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueRegKey = UniqueResource<PointerHandleTraits<HKEY, CloseRegKey>>;
using UniqueFont = UniqueResource<PointerHandleTraits<HFONT, DeleteFont>>;
using UniqueWindow = UniqueResource<PointerHandleTraits<HWND, DestroyWindowHandle>>;
using UniqueIcon = UniqueResource<PointerHandleTraits<HICON, DestroyIconHandle>>;

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

} // namespace platform
