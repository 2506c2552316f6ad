#include "platform/ChunkPump.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

bool Report(const ChunkProgress& progress, uint64_t total, uint64_t done) {
    return progress.progress != nullptr && progress.progress(total, done, progress.context);
}

bool Cancelled(const ChunkProgress& progress) {
    return progress.cancel != nullptr && progress.cancel->load(std::memory_order_relaxed) != 0;
}

bool HashesValid(const ChunkHashes& hashes) {
    return (hashes.sha == nullptr || hashes.sha->IsValid()) &&
           (hashes.xxh == nullptr || hashes.xxh->IsValid());
}

// Hashes the chunks a pump reads, on the pump's thread or handed to a HashThread; whatever way the
// pump ends, nothing is left hashing a buffer it gives back.
class ChunkHashing {
public:
    ChunkHashing(const ChunkHashes& hashes, bool handOff) : m_hashes(hashes), m_handOff(handOff) {}
    ~ChunkHashing() { Wait(); }
    ChunkHashing(const ChunkHashing&) = delete;
    ChunkHashing& operator=(const ChunkHashing&) = delete;

    void Add(const std::byte* data, size_t size) {
        if (m_hashes.xxh != nullptr)
            m_hashes.xxh->Update(data, size);
        if (m_hashes.sha == nullptr)
            return;
        if (!m_handOff) {
            m_hashes.sha->Update(data, size);
            return;
        }
        // The chunk before is hashed by now; its half of the buffer may be read into again.
        Wait();
        m_hashes.helper->Start(*m_hashes.sha, data, size);
        m_busy = true;
    }

    void Wait() {
        if (m_busy)
            m_hashes.helper->Wait();
        m_busy = false;
    }

private:
    const ChunkHashes& m_hashes;
    const bool m_handOff;
    bool m_busy = false;
};

} // namespace

HashThread::HashThread() : m_thread(&HashThread::Run, this) {}

HashThread::~HashThread() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void HashThread::Start(Sha256& hash, const std::byte* data, size_t size) {
    {
        std::lock_guard lock(m_mutex);
        m_hash = &hash;
        m_data = data;
        m_size = size;
    }
    m_wake.notify_all();
}

void HashThread::Wait() {
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_hash == nullptr; });
}

void HashThread::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_hash != nullptr; });
        if (m_hash == nullptr)
            return;
        Sha256* hash = m_hash;
        lock.unlock();
        hash->Update(m_data, m_size);
        lock.lock();
        m_hash = nullptr;
        m_wake.notify_all();
    }
}

ErrorCode PumpChunks(ChunkSource& in, ChunkSink* out, uint64_t size, std::span<std::byte> buffer,
                     const ChunkProgress& progress, Sha256& hash) {
    return PumpChunks(in, out, size, buffer, progress, ChunkHashes{&hash});
}

ErrorCode PumpChunks(ChunkSource& in, ChunkSink* out, uint64_t size, std::span<std::byte> buffer,
                     const ChunkProgress& progress, const ChunkHashes& hashes) {
    ErrorCode result = kSuccess;
    const size_t count = out != nullptr ? 1 : 0;
    return PumpChunksToAll(in, std::span<ChunkSink* const>(&out, count), std::span<ErrorCode>(&result, count),
                           size, buffer, progress, hashes);
}

ErrorCode PumpChunksToAll(ChunkSource& in, std::span<ChunkSink* const> outs, std::span<ErrorCode> results,
                          uint64_t size, std::span<std::byte> buffer, const ChunkProgress& progress,
                          Sha256& hash) {
    return PumpChunksToAll(in, outs, results, size, buffer, progress, ChunkHashes{&hash});
}

ErrorCode PumpChunksToAll(ChunkSource& in, std::span<ChunkSink* const> outs, std::span<ErrorCode> results,
                          uint64_t size, std::span<std::byte> buffer, const ChunkProgress& progress,
                          const ChunkHashes& hashes) {
    if (buffer.empty() || !HashesValid(hashes))
        return kErrorNotEnoughMemory;
    // Two halves, one hashed on the helper while the other is read and written.
    const size_t half = buffer.size() / 2;
    const bool handOff = hashes.helper != nullptr && hashes.sha != nullptr && half > 0 && size > half;
    const size_t chunk = handOff ? half : buffer.size();
    ChunkHashing hashing(hashes, handOff);
    if (Report(progress, size, 0))
        return kErrorRequestAborted;
    size_t live = outs.size();
    uint64_t done = 0;
    size_t at = 0; // where in the buffer this chunk goes: 0, or half when handing off
    for (;;) {
        if (Cancelled(progress))
            return kErrorRequestAborted;
        std::byte* data = buffer.data() + at;
        size_t got = 0;
        if (const ErrorCode error = in.Read(data, chunk, got); error != kSuccess)
            return error;
        if (got == 0)
            break;
        hashing.Add(data, got);
        for (size_t i = 0; i < outs.size(); ++i) {
            if (results[i] != kSuccess)
                continue;
            results[i] = outs[i]->Write(data, got);
            if (results[i] != kSuccess && --live == 0)
                return results[i];
        }
        done += got;
        if (handOff)
            at = at == 0 ? half : 0;
        if (Report(progress, done > size ? done : size, done))
            return kErrorRequestAborted;
    }
    hashing.Wait();
    return done < size ? kErrorReadFault : kSuccess;
}

ErrorCode PumpIntoNewCopies(ChunkSource& in, std::span<ChunkSink* const> writers,
                            std::span<const size_t> copyOf, std::span<NewFileCopy> copies, uint64_t size,
                            std::span<std::byte> buffer, const ChunkProgress& progress, CopyHashes* hashes,
                            const FinishNewCopyFn& finish) {
    Sha256 sha;
    Xxh3 xxh;
    const ChunkHashes chunkHashes =
        hashes != nullptr ? ChunkHashes{&sha, &xxh, hashes->helper} : ChunkHashes{};
    std::vector<ErrorCode> written(writers.size(), kSuccess);
    ErrorCode error = PumpChunksToAll(in, writers, written, size, buffer, progress, chunkHashes);
    const bool allFailed =
        std::all_of(written.begin(), written.end(), [](ErrorCode own) { return own != kSuccess; });
    if (allFailed)
        error = kSuccess;
    for (size_t k = 0; k < writers.size(); ++k) {
        NewFileCopy& copy = copies[copyOf[k]];
        copy.error = finish(copy, copyOf[k], error != kSuccess ? error : written[k]);
    }
    if (error != kSuccess) {
        for (NewFileCopy& copy : copies)
            copy.error = error;
        return error;
    }
    if (hashes != nullptr) {
        hashes->source = sha.Finish();
        hashes->written = xxh.Finish();
    }
    return kSuccess;
}

} // namespace platform
