#include "platform/ChunkPump.h"

namespace platform {
namespace {

bool Report(const ChunkProgress& progress, uint64_t total, uint64_t done) {
    return progress.progress != nullptr && progress.progress(total, done, progress.context);
}

bool Cancelled(const ChunkProgress& progress) {
    return progress.cancel != nullptr && progress.cancel->load(std::memory_order_relaxed) != 0;
}

} // namespace

ErrorCode PumpChunks(ChunkSource& in, ChunkSink* out, uint64_t size, std::span<std::byte> buffer,
                     const ChunkProgress& progress, Sha256& hash) {
    ErrorCode result = kSuccess;
    const size_t count = out != nullptr ? 1 : 0;
    return PumpChunksToAll(in, std::span<ChunkSink* const>(&out, count), std::span<ErrorCode>(&result, count),
                           size, buffer, progress, hash);
}

ErrorCode PumpChunksToAll(ChunkSource& in, std::span<ChunkSink* const> outs, std::span<ErrorCode> results,
                          uint64_t size, std::span<std::byte> buffer, const ChunkProgress& progress,
                          Sha256& hash) {
    if (buffer.empty() || !hash.IsValid())
        return kErrorNotEnoughMemory;
    if (Report(progress, size, 0))
        return kErrorRequestAborted;
    size_t live = outs.size();
    uint64_t done = 0;
    for (;;) {
        if (Cancelled(progress))
            return kErrorRequestAborted;
        size_t got = 0;
        if (const ErrorCode error = in.Read(buffer.data(), buffer.size(), got); error != kSuccess)
            return error;
        if (got == 0)
            break;
        hash.Update(buffer.data(), got);
        for (size_t i = 0; i < outs.size(); ++i) {
            if (results[i] != kSuccess)
                continue;
            results[i] = outs[i]->Write(buffer.data(), got);
            if (results[i] != kSuccess && --live == 0)
                return results[i];
        }
        done += got;
        if (Report(progress, done > size ? done : size, done))
            return kErrorRequestAborted;
    }
    return done < size ? kErrorReadFault : kSuccess;
}

} // namespace platform
