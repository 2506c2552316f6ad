#pragma once
// SHA-256 from the platform's own implementation: CNG (bcrypt) on Windows, OpenSSL's libcrypto
// elsewhere.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using Sha256Digest = std::array<uint8_t, 32>;

// One running hash. Move-only; a hash that could not be set up (IsValid false) takes data and gives
// an all-zero digest, which no caller may take for a real one.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&& other) noexcept;
    Sha256& operator=(Sha256&& other) noexcept;
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool IsValid() const { return m_state != nullptr; }
    void Update(const void* data, size_t size);
    // The digest of everything given since construction or the last Finish; starts the hash anew.
    Sha256Digest Finish();

private:
    void Release();
    void* m_state = nullptr;
};

// 64 lower-case hex digits.
std::string DigestHex(const Sha256Digest& digest);

} // namespace platform
