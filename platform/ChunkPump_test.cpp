#include "platform/ChunkPump.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include <string>
#include <vector>

namespace {

using namespace platform;

// Gives the text in reads of at most `step` bytes, then fails with `failAtEnd` when set.
struct TextSource : ChunkSource {
    std::string text;
    size_t step = 3;
    ErrorCode failAtEnd = kSuccess;
    size_t at = 0;
    ErrorCode Read(std::byte* buffer, size_t size, size_t& got) override {
        got = std::min({size, step, text.size() - at});
        if (got == 0 && failAtEnd != kSuccess)
            return failAtEnd;
        std::memcpy(buffer, text.data() + at, got);
        at += got;
        return kSuccess;
    }
};

struct TextSink : ChunkSink {
    std::string written;
    ErrorCode fail = kSuccess;
    ErrorCode Write(const std::byte* data, size_t size) override {
        if (fail != kSuccess)
            return fail;
        written.append(reinterpret_cast<const char*>(data), size);
        return kSuccess;
    }
};

struct Heard {
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    size_t cancelAtCall = SIZE_MAX;
};

bool Listen(uint64_t total, uint64_t done, void* context) {
    auto* heard = static_cast<Heard*>(context);
    heard->calls.emplace_back(total, done);
    return heard->calls.size() == heard->cancelAtCall;
}

std::string DigestOf(const std::string& text) {
    Sha256 hash;
    hash.Update(text.data(), text.size());
    return DigestHex(hash.Finish());
}

ErrorCode Pump(TextSource& in, ChunkSink* out, uint64_t size, Heard& heard, Sha256& hash,
               const std::atomic<int32_t>* cancel = nullptr) {
    std::vector<std::byte> buffer(4);
    return PumpChunks(in, out, size, buffer, ChunkProgress{&Listen, &heard, cancel}, hash);
}

} // namespace

TEST(ChunkPump, EveryByteIsHashedAndWrittenAndProgressCountsAgainstTheOpeningSize) {
    TextSource in;
    in.text = "abcdefghij";
    TextSink out;
    Heard heard;
    Sha256 hash;
    ASSERT_EQ(Pump(in, &out, 8, heard, hash), kSuccess) << "data that grew past its size is kept whole";
    EXPECT_EQ(out.written, in.text);
    EXPECT_EQ(DigestHex(hash.Finish()), DigestOf(in.text));
    const std::vector<std::pair<uint64_t, uint64_t>> expected{{8, 0}, {8, 3}, {8, 6}, {9, 9}, {10, 10}};
    EXPECT_EQ(heard.calls, expected);

    TextSource readBack;
    readBack.text = "abc";
    Heard quiet;
    Sha256 alone;
    ASSERT_EQ(Pump(readBack, nullptr, 3, quiet, alone), kSuccess) << "a hash with nowhere to write";
    EXPECT_EQ(DigestHex(alone.Finish()), DigestOf("abc"));
}

TEST(ChunkPump, ShortDataFailedReadsAndWritesAndStopsAreFailures) {
    Sha256 hash;
    Heard heard;
    TextSource cut;
    cut.text = "abcd";
    EXPECT_EQ(Pump(cut, nullptr, 10, heard, hash), kErrorReadFault) << "data that ends short of its size";

    TextSource failing;
    failing.text = "abcd";
    failing.failAtEnd = kErrorDeviceNotConnected;
    EXPECT_EQ(Pump(failing, nullptr, 10, heard, hash), kErrorDeviceNotConnected);

    TextSource in;
    in.text = "abcdef";
    TextSink full;
    full.fail = kErrorDiskFull;
    EXPECT_EQ(Pump(in, &full, 6, heard, hash), kErrorDiskFull);

    const std::atomic<int32_t> stop{1};
    TextSource stopped;
    stopped.text = "abcdef";
    TextSink none;
    EXPECT_EQ(Pump(stopped, &none, 6, heard, hash, &stop), kErrorRequestAborted);
    EXPECT_TRUE(none.written.empty()) << "a stop that came first moves no data";

    Heard cancelling;
    cancelling.cancelAtCall = 2;
    TextSource asked;
    asked.text = "abcdefghij";
    TextSink some;
    EXPECT_EQ(Pump(asked, &some, 10, cancelling, hash), kErrorRequestAborted);
    EXPECT_EQ(some.written, "abc") << "the routine's answer ends the copy after that chunk";
}

// One read feeds every sink; a sink that fails drops out alone, and the read ends once none is left.
TEST(ChunkPump, OneReadFeedsEverySinkAndAFailedSinkDropsOutAlone) {
    struct FailingSink : TextSink {
        size_t room = 0;
        ErrorCode Write(const std::byte* data, size_t size) override {
            if (written.size() + size > room)
                return kErrorDiskFull;
            return TextSink::Write(data, size);
        }
    };
    const std::string text = "one read for every copy of it";
    TextSource in;
    in.text = text;
    TextSink whole;
    FailingSink full;
    full.room = 9;
    ChunkSink* outs[] = {&whole, &full};
    ErrorCode results[] = {kSuccess, kSuccess};
    std::vector<std::byte> buffer(4);
    Heard heard;
    Sha256 hash;
    EXPECT_EQ(PumpChunksToAll(in, outs, results, text.size(), buffer, {&Listen, &heard, nullptr}, hash),
              kSuccess);
    EXPECT_EQ(in.at, text.size()) << "every byte read once";
    EXPECT_EQ(whole.written, text);
    EXPECT_EQ(full.written, text.substr(0, 9)) << "reads of 3 bytes: three fit";
    EXPECT_EQ(results[0], kSuccess);
    EXPECT_EQ(results[1], kErrorDiskFull);
    EXPECT_EQ(DigestHex(hash.Finish()), DigestOf(text));

    // No sink left: the pump ends with the last failure and reads no further.
    TextSource again;
    again.text = text;
    FailingSink first;
    FailingSink second;
    second.room = 4;
    ChunkSink* both[] = {&first, &second};
    ErrorCode ended[] = {kSuccess, kSuccess};
    Sha256 hash2;
    EXPECT_EQ(PumpChunksToAll(again, both, ended, text.size(), buffer, {}, hash2), kErrorDiskFull);
    EXPECT_EQ(again.at, 6u);
    EXPECT_EQ(second.written, text.substr(0, 3));
}

// With a hash thread the SHA-256 is taken there, half a buffer at a time, while the pump reads into
// the other half: the digests are those of the data, the XXH3 of what was written too, however the
// pump ends (a stop midway leaves nothing hashing a buffer it gave back).
TEST(ChunkPump, HashesTakenOnAHashThreadAreThoseOfTheDataWritten) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "chunk " + std::to_string(i) + ";";
    Xxh3 reference;
    reference.Update(text.data(), text.size());
    const Xxh128Digest written = reference.Finish();
    HashThread helper;
    for (const size_t bufferSize : {size_t{64}, size_t{4096}, size_t{1} << 16}) {
        TextSource in;
        in.text = text;
        in.step = 1000;
        TextSink first;
        TextSink second;
        ChunkSink* outs[] = {&first, &second};
        ErrorCode results[] = {kSuccess, kSuccess};
        std::vector<std::byte> buffer(bufferSize);
        Sha256 sha;
        Xxh3 xxh;
        ASSERT_EQ(
            PumpChunksToAll(in, outs, results, text.size(), buffer, {}, ChunkHashes{&sha, &xxh, &helper}),
            kSuccess);
        EXPECT_EQ(DigestHex(sha.Finish()), DigestOf(text)) << bufferSize;
        EXPECT_EQ(xxh.Finish(), written) << bufferSize;
        EXPECT_EQ(first.written, text);
        EXPECT_EQ(second.written, text);
    }
    Heard cancelling;
    cancelling.cancelAtCall = 3;
    TextSource in;
    in.text = text;
    Sha256 sha;
    std::vector<std::byte> buffer(16);
    EXPECT_EQ(PumpChunks(in, nullptr, text.size(), buffer, {&Listen, &cancelling, nullptr},
                         {&sha, nullptr, &helper}),
              kErrorRequestAborted);
}
