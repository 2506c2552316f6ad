#include "copy/CopyVerifier.h"

#include "platform/Files.h"

#include <utility>

namespace {

bool Stopped(const std::atomic<int32_t>* stop) {
    return stop != nullptr && stop->load() != 0;
}

void RemoveCopy(const std::wstring& path) {
    platform::SetAttributes(path, platform::kAttrNormal);
    platform::DeleteFileAt(path);
}

} // namespace

CCopyVerifier::CCopyVerifier(const std::atomic<int32_t>* stop, VerifyBound bound, ReadBackFn readBack)
    : m_stop(stop), m_bound(bound), m_readBack(std::move(readBack)), m_thread(&CCopyVerifier::Run, this) {}

CCopyVerifier::~CCopyVerifier() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool CCopyVerifier::HasRoomFor(uint64_t size) const {
    if (m_undecided == 0)
        return true;
    return m_undecided < m_bound.copies && m_undecidedBytes + size <= m_bound.bytes;
}

void CCopyVerifier::Submit(CopyToVerify copy) {
    std::unique_lock lock(m_mutex);
    while (!HasRoomFor(copy.size)) {
        if (onFull) {
            lock.unlock();
            onFull();
            lock.lock();
            if (HasRoomFor(copy.size))
                break;
        }
        m_changed.wait(lock);
    }
    m_undecidedBytes += copy.size;
    ++m_undecided;
    m_queue.push_back(std::move(copy));
    m_changed.notify_all();
}

std::vector<CopyVerdict> CCopyVerifier::Take(bool wait) {
    std::unique_lock lock(m_mutex);
    if (wait)
        m_changed.wait(lock, [this] { return m_undecided == 0; });
    return std::exchange(m_verdicts, {});
}

CopyVerdict CCopyVerifier::Verify(const CopyToVerify& copy) {
    CopyVerdict verdict{copy.id, platform::kErrorRequestAborted, false};
    platform::Xxh128Digest readBack{};
    if (!Stopped(m_stop))
        verdict.error = m_readBack(copy.path, m_stop, readBack);
    verdict.differs = verdict.error == platform::kSuccess && readBack != copy.written;
    if (verdict.error != platform::kSuccess || verdict.differs)
        RemoveCopy(copy.path);
    return verdict;
}

void CCopyVerifier::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        // The copy stays counted until its verdict is in: it is not verified while it is read.
        const CopyToVerify copy = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        const CopyVerdict verdict = Verify(copy);
        lock.lock();
        m_verdicts.push_back(verdict);
        m_undecidedBytes -= copy.size;
        --m_undecided;
        m_changed.notify_all();
    }
}
