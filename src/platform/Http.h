// HTTP downloads: one GET of a URL into memory.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace tw::platform {

struct HttpLimits
{
    /// Until the connection stands.
    std::chrono::milliseconds connectTimeout{5000};
    /// For the whole request, connection included.
    std::chrono::milliseconds totalTimeout{10000};
    /// A longer body is refused.
    std::size_t maxBytes = 64 * 1024;
};

struct HttpResponse
{
    /// A 2xx status and the whole body within the limits.
    bool ok = false;
    /// The HTTP status; 0 when no response came.
    long status = 0;
    std::string body;
    /// Why the GET failed; empty when it succeeded.
    std::string error;
};

class Http
{
public:
    virtual ~Http() = default;
    /// A plain GET (redirects followed, certificates verified, no proxy). Never throws for
    /// network faults: they come back in the response. May be called from any thread.
    virtual HttpResponse get(const std::string& url, const HttpLimits& limits) = 0;
};

} // namespace tw::platform
