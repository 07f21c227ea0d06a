// HTTP downloads through WinHTTP.
#pragma once

#include "platform/Http.h"

namespace tw::win32 {

/// Every get() has its own session, so calls from several threads do not meet.
class WinHttpClient final : public platform::Http
{
public:
    platform::HttpResponse get(const std::string& url, const platform::HttpLimits& limits) override;
};

} // namespace tw::win32
