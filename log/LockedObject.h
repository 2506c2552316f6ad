#pragma once
// An object together with the lock that guards it. Users reach the object only between Lock and
// Unlock, most simply through a Scope.
#include <mutex>
#include <utility>

template <typename T> class LockedObject {
public:
    template <typename... Args>
    explicit LockedObject(Args&&... args) : m_object(std::forward<Args>(args)...) {}
    virtual ~LockedObject() = default;
    LockedObject(const LockedObject&) = delete;
    LockedObject& operator=(const LockedObject&) = delete;

    virtual void Lock() { m_lock.lock(); }
    virtual bool TryLock() { return m_lock.try_lock(); }
    virtual void Unlock() { m_lock.unlock(); }

    // The held object; only while the lock is held.
    T& Object() { return m_object; }

    // Holds the lock for its lifetime.
    class Scope {
    public:
        explicit Scope(LockedObject& owner) : m_owner(owner) { m_owner.Lock(); }
        ~Scope() { m_owner.Unlock(); }
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
