#include "Sha256.h"

namespace tw::platform {

std::string Sha256::hexOf(const Digest& digest)
{
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (const unsigned char byte : digest) {
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

std::string Sha256::hex(std::string_view bytes)
{
    Sha256 sha;
    sha.update(bytes);
    return hexOf(sha.finish());
}

} // namespace tw::platform
