#include "platform/Sha256.h"

#include <utility>

namespace platform {

Sha256::Sha256(Sha256&& other) noexcept : m_state(std::exchange(other.m_state, nullptr)) {}

Sha256& Sha256::operator=(Sha256&& other) noexcept {
    if (this != &other) {
        Release();
        m_state = std::exchange(other.m_state, nullptr);
    }
    return *this;
}

Sha256::~Sha256() {
    Release();
}

std::string DigestHex(const Sha256Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (uint8_t byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0xF]);
    }
    return hex;
}

} // namespace platform
