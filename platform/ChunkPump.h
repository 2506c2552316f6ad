#pragma once
// The one loop behind the hashed copy and the read-back, on every platform: the data is read a chunk
// at a time, every byte is hashed and, for a copy, written on. The platform layers supply only the
// reads, the writes and a buffer that suits their unbuffered reads.
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Sha256.h"
#include "platform/Xxh3.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

namespace platform {

class ChunkSource {
public:
    virtual ~ChunkSource() = default;
    // Reads at most size bytes; got is 0 at the end of the data.
    virtual ErrorCode Read(std::byte* buffer, size_t size, size_t& got) = 0;
};

class ChunkSink {
public:
    virtual ~ChunkSink() = default;
    // Writes all of size bytes or fails.
    virtual ErrorCode Write(const std::byte* data, size_t size) = 0;
};

struct ChunkProgress {
    CopyProgressFn progress = nullptr;
    void* context = nullptr;
    const std::atomic<int32_t>* cancel = nullptr;
};

// A thread that takes the SHA-256 of a copy off the thread that reads and writes: the pump hands it
// one half of its buffer to hash while it writes that half and reads into the other. Owned by
// whoever copies many files (one per run), so no file pays for a thread of its own.
class HashThread {
public:
    HashThread();
    ~HashThread();
    HashThread(const HashThread&) = delete;
    HashThread& operator=(const HashThread&) = delete;

    // Hashes size bytes at data into hash on the thread and returns at once. Both must stay as they
    // are until Wait returns. One job at a time: Wait before the next.
    void Start(Sha256& hash, const std::byte* data, size_t size);
    void Wait();

private:
    void Run();
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Sha256* m_hash = nullptr; // the job handed over; null once done
    const std::byte* m_data = nullptr;
    size_t m_size = 0;
    bool m_quit = false;
    std::thread m_thread;
};

// What a pump hashes; any may be absent. sha and xxh see the same bytes: those read, which are
// those written to every sink.
struct ChunkHashes {
    Sha256* sha = nullptr;
    Xxh3* xxh = nullptr;
    // When given, sha is taken on it, chunk by chunk, while the pump goes on (the buffer is split in
    // two halves for it). Files of one chunk or less are hashed on the pump's thread: a hand-off
    // would cost them more than it saves.
    HashThread* helper = nullptr;
};

// Reads in to its end, hashing every byte and writing it to out when there is one. size is what
// the data measured when it was opened: progress counts against it (the routine hears of it once
// before any data moves, as from CopyFileExW), and data that ends short of it is a failed read
// (kErrorReadFault: a card pulled, a bad sector, a file cut while it was read). A nonzero *cancel
// before a chunk, or a true from the routine after one, gives kErrorRequestAborted.
ErrorCode PumpChunks(ChunkSource& in, ChunkSink* out, uint64_t size, std::span<std::byte> buffer,
                     const ChunkProgress& progress, Sha256& hash);
ErrorCode PumpChunks(ChunkSource& in, ChunkSink* out, uint64_t size, std::span<std::byte> buffer,
                     const ChunkProgress& progress, const ChunkHashes& hashes);

// As PumpChunks, from one read of in to every sink of outs. A sink that fails gets its error in the
// same place of results and is written no more; the others go on. The pump gives the failures that
// concern every sink (a read, a stop), or the last sink's error once no sink is left.
ErrorCode PumpChunksToAll(ChunkSource& in, std::span<ChunkSink* const> outs, std::span<ErrorCode> results,
                          uint64_t size, std::span<std::byte> buffer, const ChunkProgress& progress,
                          Sha256& hash);
ErrorCode PumpChunksToAll(ChunkSource& in, std::span<ChunkSink* const> outs, std::span<ErrorCode> results,
                          uint64_t size, std::span<std::byte> buffer, const ChunkProgress& progress,
                          const ChunkHashes& hashes);

// The shared half of CopyToNewFilesInOneRead (Files.h), once each platform has opened the source
// and the copies: writers[k] writes copies[copyOf[k]]. Pumps in to every writer once, then hands
// each of those copies to finish with its outcome (finish closes it, or removes it on a failure,
// and gives its error). A failure of every writer's own is no failure of the source; a failure that
// concerns every copy (a read, a stop) is the result and each copy's error. With hashes, takes the
// SHA-256 of the data read and the XXH3 of the data written.
using FinishNewCopyFn = std::function<ErrorCode(NewFileCopy& copy, size_t copyIndex, ErrorCode outcome)>;
ErrorCode PumpIntoNewCopies(ChunkSource& in, std::span<ChunkSink* const> writers,
                            std::span<const size_t> copyOf, std::span<NewFileCopy> copies, uint64_t size,
                            std::span<std::byte> buffer, const ChunkProgress& progress, CopyHashes* hashes,
                            const FinishNewCopyFn& finish);

// Each platform's file layer: reads the file at path to its end past the system's cache where the
// file system allows it, through PumpChunks with these hashes. The copy's read-back and the list
// check read this way, so that they see the disk rather than what was just written to memory.
ErrorCode HashUncached(const std::wstring& path, const ChunkProgress& progress, const ChunkHashes& hashes);

} // namespace platform
