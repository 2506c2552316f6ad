#pragma once
// An object together with the lock that guards it. Users reach the object only through a Scope,
// which holds the lock for its lifetime.
#include <mutex>
#include <utility>

template <typename T> class LockedObject {
public:
    template <typename... Args>
    explicit LockedObject(Args&&... args) : m_object(std::forward<Args>(args)...) {}
    LockedObject(const LockedObject&) = delete;
    LockedObject& operator=(const LockedObject&) = delete;

    class Scope {
    public:
        explicit Scope(LockedObject& owner) : m_owner(owner) { m_owner.m_lock.lock(); }
        ~Scope() { m_owner.m_lock.unlock(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        T& operator*() { return m_owner.m_object; }
        T* operator->() { return &m_owner.m_object; }

    private:
        LockedObject& m_owner;
    };

private:
    std::mutex m_lock;
    T m_object;
};
