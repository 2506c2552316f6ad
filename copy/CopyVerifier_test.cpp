#include "copy/CopyVerifier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Read-backs wait here until the test opens it.
class Gate {
public:
    void Open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void Pass() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

platform::Xxh128Digest DigestOf(uint64_t id) {
    platform::Xxh128Digest digest{};
    digest[0] = static_cast<uint8_t>(id);
    return digest;
}

} // namespace

// The copy thread hands copies over faster than they are read back: it waits once the bound is
// reached (in bytes, or in copies), never hands over more, and a copy larger than the byte bound
// goes alone once every other is decided.
TEST(CopyVerifier, UnverifiedDataStaysWithinTheBound) {
    struct Case {
        VerifyBound bound;
        uint64_t most; // of the copies below, how many fit in the bound
    };
    for (const Case& test : {Case{{250, 100}, 2}, Case{{uint64_t{1} << 30, 3}, 3}}) {
        Gate gate;
        std::atomic<uint64_t> readBack{0};
        std::mutex fullMutex;
        std::condition_variable fullChanged;
        int fullCount = 0;
        uint64_t handedOverAtFirstWait = 0;
        std::atomic<uint64_t> handedOver{0};
        CCopyVerifier verifier(
            nullptr, test.bound,
            [&](const std::wstring& path, const std::atomic<int32_t>*, platform::Xxh128Digest& digest) {
                gate.Pass();
                digest = DigestOf(std::stoull(path));
                ++readBack;
                return platform::kSuccess;
            });
        verifier.onFull = [&] {
            std::lock_guard lock(fullMutex);
            if (fullCount++ == 0)
                handedOverAtFirstWait = handedOver;
            fullChanged.notify_all();
        };
        std::thread copying([&] {
            for (uint64_t id = 0; id < 8; ++id) {
                const uint64_t size = id == 7 ? 1000 : 100;
                verifier.Submit(CopyToVerify{id, std::to_wstring(id), size, DigestOf(id)});
                ++handedOver;
                // Read back or not, what was handed over never exceeds the bound.
                EXPECT_LE(handedOver - readBack, size > test.bound.bytes ? 1 : test.most) << id;
            }
        });
        {
            std::unique_lock lock(fullMutex);
            EXPECT_TRUE(fullChanged.wait_for(lock, std::chrono::seconds(30), [&] { return fullCount > 0; }))
                << "the copy never waited";
            EXPECT_EQ(handedOverAtFirstWait, test.most)
                << "nothing read back yet: the copy waits at the bound";
        }
        gate.Open();
        copying.join();
        const std::vector<CopyVerdict> verdicts = verifier.Take(true);
        ASSERT_EQ(verdicts.size(), 8u);
        for (size_t i = 0; i < verdicts.size(); ++i) {
            EXPECT_EQ(verdicts[i].id, i) << "verified in the order handed over";
            EXPECT_EQ(verdicts[i].error, platform::kSuccess);
            EXPECT_FALSE(verdicts[i].differs);
        }
    }
}
