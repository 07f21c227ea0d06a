// The HTTP client over libcurl.
#pragma once

#include "platform/Http.h"

namespace tw::platform {

class CurlHttp final : public Http
{
public:
    CurlHttp();
    HttpResponse get(const std::string& url, const HttpLimits& limits) override;
};

} // namespace tw::platform
