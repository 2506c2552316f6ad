#pragma once
// The read-back of "Verify copies" on a thread of its own, one per run: the copy hands each written
// copy over and goes on with the next file while the verifier reads the copy back from the disk
// (past the cache) and compares its XXH3 with that of the data written. A copy that cannot be read
// back or differs is removed there; what to do about it is the copy's to decide.
//
// What waits is bounded: copies handed over and not yet decided hold at most bound.bytes of data
// and bound.copies copies (a single copy larger than bound.bytes waits alone); Submit waits for
// room. The verifier waits for nothing but its next copy. A stop (the run's flag) ends each read-back
// within a chunk, and every copy still waiting is decided at once as not verified.
#include "platform/Errors.h"
#include "platform/Xxh3.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CopyToVerify {
    uint64_t id = 0; // the caller's name for it
    std::wstring path;
    uint64_t size = 0;
    platform::Xxh128Digest written{};
};

struct CopyVerdict {
    uint64_t id = 0;
    platform::ErrorCode error = platform::kSuccess; // of the read-back; kErrorRequestAborted after a stop
    bool differs = false;
};

struct VerifyBound {
    uint64_t bytes = uint64_t{256} << 20;
    size_t copies = 1024;
};

// Reads a copy back and gives the XXH3-128 of what it read (platform::ReadBackHash).
using ReadBackFn = std::function<platform::ErrorCode(const std::wstring&, const std::atomic<int32_t>*,
                                                     platform::Xxh128Digest&)>;

class CCopyVerifier {
public:
    CCopyVerifier(const std::atomic<int32_t>* stop, VerifyBound bound, ReadBackFn readBack);
    // Every copy handed over must have been taken (Take with wait) first.
    ~CCopyVerifier();
    CCopyVerifier(const CCopyVerifier&) = delete;
    CCopyVerifier& operator=(const CCopyVerifier&) = delete;

    // Hands a copy over; waits while the bound is reached.
    void Submit(CopyToVerify copy);
    // The verdicts reached since the last call. wait: first waits until every copy handed over has
    // its verdict.
    std::vector<CopyVerdict> Take(bool wait);

    // Tests: called on the submitting thread each time Submit is about to wait for room.
    std::function<void()> onFull;

private:
    void Run();
    bool HasRoomFor(uint64_t size) const;
    CopyVerdict Verify(const CopyToVerify& copy);

    const std::atomic<int32_t>* const m_stop;
    const VerifyBound m_bound;
    const ReadBackFn m_readBack;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CopyToVerify> m_queue;
    std::vector<CopyVerdict> m_verdicts;
    uint64_t m_undecidedBytes = 0; // handed over, no verdict yet: the queue and the copy being read
    size_t m_undecided = 0;
    bool m_quit = false;
    std::thread m_thread;
};
