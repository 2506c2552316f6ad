#pragma once
// The one loop behind the hashed copy and the read-back, on every platform: the data is read a chunk
// at a time, every byte is hashed and, for a copy, written on. The platform layers supply only the
// reads, the writes and a buffer that suits their unbuffered reads.
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

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

// Reads in to its end, hashing every byte and writing it to out when there is one. size is what
// the data measured when it was opened: progress counts against it (the routine hears of it once
// before any data moves, as from CopyFileExW), and data that ends short of it is a failed read
// (kErrorReadFault: a card pulled, a bad sector, a file cut while it was read). A nonzero *cancel
// before a chunk, or a true from the routine after one, gives kErrorRequestAborted.
ErrorCode PumpChunks(ChunkSource& in, ChunkSink* out, uint64_t size, std::span<std::byte> buffer,
                     const ChunkProgress& progress, Sha256& hash);

// As PumpChunks, from one read of in to every sink of outs. A sink that fails gets its error in the
// same place of results and is written no more; the others go on. The pump gives the failures that
// concern every sink (a read, a stop), or the last sink's error once no sink is left.
ErrorCode PumpChunksToAll(ChunkSource& in, std::span<ChunkSink* const> outs, std::span<ErrorCode> results,
                          uint64_t size, std::span<std::byte> buffer, const ChunkProgress& progress,
                          Sha256& hash);

} // namespace platform
