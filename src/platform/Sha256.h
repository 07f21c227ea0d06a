// SHA-256 digests (OpenSSL on Linux, BCrypt on Windows).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace tw::platform {

class Sha256
{
public:
    using Digest = std::array<unsigned char, 32>;

    /// Throws std::runtime_error when the system offers no SHA-256.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(std::string_view bytes);
    /// The digest of everything added; the object is spent afterwards.
    Digest finish();

    /// The digest of `bytes` in lower-case hexadecimal.
    static std::string hex(std::string_view bytes);
    static std::string hexOf(const Digest& digest);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tw::platform
