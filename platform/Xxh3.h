#pragma once
// XXH3 with 128-bit results, streaming: the check of a copy's read-back against the data written,
// far cheaper than a second SHA-256. Built from xxhash.h in header-only mode on every platform.
#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

using Xxh128Digest = std::array<uint8_t, 16>;

// One running hash. Move-only; a hash that could not be set up (IsValid false) takes data and gives
// an all-zero digest.
class Xxh3 {
public:
    Xxh3();
    ~Xxh3();
    Xxh3(Xxh3&& other) noexcept;
    Xxh3& operator=(Xxh3&& other) noexcept;
    Xxh3(const Xxh3&) = delete;
    Xxh3& operator=(const Xxh3&) = delete;

    bool IsValid() const { return m_state != nullptr; }
    void Update(const void* data, size_t size);
    // The digest of everything given since construction or the last Finish; starts the hash anew.
    Xxh128Digest Finish();

private:
    void* m_state = nullptr;
};

} // namespace platform
