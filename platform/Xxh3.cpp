#include "platform/Xxh3.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <utility>

namespace platform {
namespace {

XXH3_state_t* State(void* state) {
    return static_cast<XXH3_state_t*>(state);
}

} // namespace

Xxh3::Xxh3() {
    XXH3_state_t* state = XXH3_createState();
    if (state == nullptr)
        return;
    XXH3_128bits_reset(state);
    m_state = state;
}

Xxh3::~Xxh3() {
    XXH3_freeState(State(m_state));
}

Xxh3::Xxh3(Xxh3&& other) noexcept : m_state(std::exchange(other.m_state, nullptr)) {}

Xxh3& Xxh3::operator=(Xxh3&& other) noexcept {
    if (this != &other) {
        XXH3_freeState(State(m_state));
        m_state = std::exchange(other.m_state, nullptr);
    }
    return *this;
}

void Xxh3::Update(const void* data, size_t size) {
    if (m_state != nullptr)
        XXH3_128bits_update(State(m_state), data, size);
}

Xxh128Digest Xxh3::Finish() {
    Xxh128Digest digest{};
    if (m_state == nullptr)
        return digest;
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(State(m_state)));
    for (size_t i = 0; i < digest.size(); ++i)
        digest[i] = canonical.digest[i];
    XXH3_128bits_reset(State(m_state));
    return digest;
}

} // namespace platform
