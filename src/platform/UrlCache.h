// The browser's URL cache and URL history, as WinINet and the URL-history object present them.
#pragma once

#include "WinTypes.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace tw::platform {

/// The cache or the history object cannot be reached; the message says why.
class UrlCacheError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// One entry of the cache, as INTERNET_CACHE_ENTRY_INFO holds it.
struct UrlCacheEntry
{
    win::DWORD entryType = 0;
    std::string sourceUrl;
};

/// What the next-entry probe of an enumeration ended with.
struct UrlCacheListing
{
    std::vector<UrlCacheEntry> entries;
    /// The error of the size probe that ended it (ERROR_NO_MORE_ITEMS normally).
    win::DWORD endError = 0;
};

inline constexpr win::DWORD NORMAL_CACHE_ENTRY = 0x00000001;
inline constexpr win::DWORD COOKIE_CACHE_ENTRY = 0x00100000;

class UrlCache
{
public:
    virtual ~UrlCache() = default;
    /// FindFirstUrlCacheEntry (no search pattern), FindNextUrlCacheEntry, FindCloseUrlCache:
    /// every entry of every container in the cache's order, each fetched with a size probe
    /// first. Throws UrlCacheError when the cache cannot be read at all.
    virtual UrlCacheListing entries() = 0;
    /// DeleteUrlCacheEntry of each source URL, in order; entry i of the result is the Win32
    /// error for URL i (0 when it went). Throws UrlCacheError when the cache cannot be
    /// reached; then nothing was deleted.
    virtual std::vector<win::DWORD> deleteEntries(const std::vector<std::string>& urls) = 0;
    /// Creates the URL history object, asks it for IUrlHistoryStg2 and calls ClearHistory;
    /// returns its HRESULT. Throws UrlCacheError with the system's text when the object
    /// cannot be created or does not offer the interface.
    virtual win::DWORD clearHistory() = 0;
};

} // namespace tw::platform
