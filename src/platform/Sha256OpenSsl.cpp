#include "Sha256.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace tw::platform {

struct Sha256::State
{
    EVP_MD_CTX* context = nullptr;
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    m_state->context = EVP_MD_CTX_new();
    if (!m_state->context || EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot compute a checksum");
}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes)
{
    EVP_DigestUpdate(m_state->context, bytes.data(), bytes.size());
}

Sha256::Digest Sha256::finish()
{
    Digest digest{};
    unsigned int size = 0;
    EVP_DigestFinal_ex(m_state->context, digest.data(), &size);
    return digest;
}

} // namespace tw::platform
