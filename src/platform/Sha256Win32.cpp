#include "Sha256.h"

#include <algorithm>
#include <stdexcept>

// windows.h first: bcrypt.h builds on it.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

namespace tw::platform {

struct Sha256::State
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State()
    {
        if (hash)
            BCryptDestroyHash(hash);
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_state->algorithm, BCRYPT_SHA256_ALGORITHM,
                                                    nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0)))
        throw std::runtime_error("cannot compute a checksum");
}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes)
{
    // BCryptHashData takes at most 4 GiB at a time.
    while (!bytes.empty()) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(bytes.size(), 1u << 30));
        BCryptHashData(m_state->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                       piece, 0);
        bytes.remove_prefix(piece);
    }
}

Sha256::Digest Sha256::finish()
{
    Digest digest{};
    if (!BCRYPT_SUCCESS(
            BCryptFinishHash(m_state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw std::runtime_error("cannot compute a checksum");
    return digest;
}

} // namespace tw::platform
