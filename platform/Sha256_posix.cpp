// SHA-256 through OpenSSL's EVP interface.
#include "platform/Sha256.h"

#include <openssl/evp.h>

namespace platform {
namespace {

EVP_MD_CTX* Context(void* state) {
    return static_cast<EVP_MD_CTX*>(state);
}

} // namespace

Sha256::Sha256() {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr)
        return;
    if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(context);
        return;
    }
    m_state = context;
}

void Sha256::Release() {
    EVP_MD_CTX_free(Context(m_state));
    m_state = nullptr;
}

void Sha256::Update(const void* data, size_t size) {
    if (m_state != nullptr && size > 0)
        EVP_DigestUpdate(Context(m_state), data, size);
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    if (m_state == nullptr)
        return digest;
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(Context(m_state), digest.data(), &length) != 1 || length != digest.size())
        digest.fill(0);
    EVP_DigestInit_ex(Context(m_state), EVP_sha256(), nullptr);
    return digest;
}

} // namespace platform
