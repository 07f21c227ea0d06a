// The URL cache and URL history of a Wine prefix, read and changed by Wine's own WinINet and
// URL-history object through our small Windows program tidewell-urlcache.exe.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/UrlCache.h"

#include <functional>
#include <string>
#include <vector>

namespace tw::wine {

/// What a run of the helper printed and how it ended.
struct HelperOutput
{
    int exitCode = -1;
    std::string out;
};

/// Runs the helper (a host path) with `arguments` in the prefix; throws
/// platform::UrlCacheError when it cannot be run.
using HelperRunner = std::function<HelperOutput(const std::string& helper,
                                                const std::vector<std::string>& arguments)>;

class WineUrlCache final : public platform::UrlCache
{
public:
    /// `helper` is the host path of tidewell-urlcache.exe; empty when it is not installed.
    WineUrlCache(std::string helper, HelperRunner runner);

    platform::UrlCacheListing entries() override;
    std::vector<win::DWORD> deleteEntries(const std::vector<std::string>& urls) override;
    win::DWORD clearHistory() override;

    /// Makes cache entries (URL and entry type) with CommitUrlCacheEntry, which in Wine
    /// always adds NORMAL_CACHE_ENTRY (for tests).
    void seedEntries(const std::vector<platform::UrlCacheEntry>& entries);
    /// Sets a cookie with InternetSetCookie (for tests).
    void setCookie(const std::string& url, const std::string& data);

private:
    /// The lines the helper printed, split at tabs; throws when it failed.
    std::vector<std::vector<std::string>> run(const std::vector<std::string>& arguments);

    std::string m_helper;
    HelperRunner m_runner;
};

/// tidewell-urlcache.exe beside the running program, else the one of the build; empty when
/// neither exists.
std::string urlCacheHelperPath();

} // namespace tw::wine
