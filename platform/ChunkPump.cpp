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
    if (buffer.empty() || !hash.IsValid())
        return kErrorNotEnoughMemory;
    if (Report(progress, size, 0))
        return kErrorRequestAborted;
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
        if (out != nullptr) {
            if (const ErrorCode error = out->Write(buffer.data(), got); error != kSuccess)
                return error;
        }
        done += got;
        if (Report(progress, done > size ? done : size, done))
            return kErrorRequestAborted;
    }
    return done < size ? kErrorReadFault : kSuccess;
}

} // namespace platform
