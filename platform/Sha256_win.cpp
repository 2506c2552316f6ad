// SHA-256 through CNG. The algorithm provider is opened once for the process and shared by every
// hash (CNG allows that across threads); each hash object is CNG-managed memory.
#include "platform/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace platform {
namespace {

BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
            return BCRYPT_ALG_HANDLE{nullptr};
        return handle;
    }();
    return provider;
}

BCRYPT_HASH_HANDLE NewHash() {
    BCRYPT_ALG_HANDLE provider = Provider();
    if (provider == nullptr)
        return nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0) < 0)
        return nullptr;
    return hash;
}

} // namespace

Sha256::Sha256() : m_state(NewHash()) {}

void Sha256::Release() {
    if (m_state != nullptr)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_state));
    m_state = nullptr;
}

void Sha256::Update(const void* data, size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (m_state != nullptr && size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_state), bytes, part, 0);
        bytes += part;
        size -= part;
    }
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    if (m_state == nullptr)
        return digest;
    if (BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_state), digest.data(), digest.size(), 0) < 0)
        digest.fill(0);
    // A finished CNG hash cannot take more data: a new one starts the next digest.
    Release();
    m_state = NewHash();
    return digest;
}

} // namespace platform
