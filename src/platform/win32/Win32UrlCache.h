// The WinINet URL cache and the URL history object of the system Tidewell runs on.
#pragma once

#include "platform/UrlCache.h"

namespace tw::win32 {

class Win32UrlCache final : public platform::UrlCache
{
public:
    platform::UrlCacheListing entries() override;
    std::vector<win::DWORD> deleteEntries(const std::vector<std::string>& urls) override;
    win::DWORD clearHistory() override;
};

} // namespace tw::win32
