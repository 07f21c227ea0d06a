#include "Win32UrlCache.h"

#include "UniqueHandle.h"
#include "WideText.h"

// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <urlhist.h>
#include <wininet.h>
// clang-format on

#include <memory>

namespace tw::win32 {

namespace {

// The URL history object and the interface whose ClearHistory empties it.
constexpr CLSID kHistoryClass = {
    0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
constexpr IID kHistoryStg2 = {
    0xafa0dc11, 0xc313, 0x11d0, {0x83, 0x1a, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};

/// A cache enumeration, ended at the end of the scope.
using CacheFind = UniqueHandle<HANDLE, &FindCloseUrlCache>;

/// One entry fetched after a size probe; null with `error` set when there is none.
std::unique_ptr<char[]> fetchEntry(CacheFind& find, DWORD& error)
{
    const auto call = [&](INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
        if (find.get())
            return FindNextUrlCacheEntryW(find.get(), info, size) != FALSE;
        const HANDLE handle = FindFirstUrlCacheEntryW(nullptr, info, size);
        find.reset(handle);
        return handle != nullptr;
    };
    DWORD size = 0;
    error = call(nullptr, &size) ? 0 : GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER)
        return nullptr;
    auto buffer = std::make_unique<char[]>(size);
    if (!call(reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.get()), &size)) {
        error = GetLastError();
        return nullptr;
    }
    error = 0;
    return buffer;
}

std::string hresultText(HRESULT hr)
{
    return errorText(static_cast<unsigned long>(hr));
}

/// CoInitializeEx for the scope; a thread already in another apartment is used as it is.
class ComScope
{
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    HRESULT result() const { return m_result == RPC_E_CHANGED_MODE ? S_OK : m_result; }

private:
    HRESULT m_result;
};

struct ComRelease
{
    void operator()(IUnknown* object) const { object->Release(); }
};

} // namespace

platform::UrlCacheListing Win32UrlCache::entries()
{
    platform::UrlCacheListing listing;
    CacheFind find;
    DWORD error = 0;
    while (const std::unique_ptr<char[]> buffer = fetchEntry(find, error)) {
        const auto* info = reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(buffer.get());
        listing.entries.push_back({info->CacheEntryType, fromWide(info->lpszSourceUrlName)});
    }
    listing.endError = error;
    return listing;
}

std::vector<win::DWORD> Win32UrlCache::deleteEntries(const std::vector<std::string>& urls)
{
    std::vector<win::DWORD> results;
    results.reserve(urls.size());
    for (const std::string& url : urls)
        results.push_back(DeleteUrlCacheEntryW(toWide(url).c_str()) ? 0 : GetLastError());
    return results;
}

win::DWORD Win32UrlCache::clearHistory()
{
    const ComScope com;
    if (FAILED(com.result()))
        throw platform::UrlCacheError("The URL history cannot be reached: " +
                                      hresultText(com.result()));
    IUrlHistoryStg2* raw = nullptr;
    const HRESULT hr = CoCreateInstance(kHistoryClass, nullptr, CLSCTX_INPROC_SERVER, kHistoryStg2,
                                        reinterpret_cast<void**>(&raw));
    if (FAILED(hr) || !raw)
        throw platform::UrlCacheError("The URL history cannot be reached: " +
                                      hresultText(FAILED(hr) ? hr : E_NOINTERFACE));
    const std::unique_ptr<IUrlHistoryStg2, ComRelease> history(raw);
    return static_cast<win::DWORD>(history->ClearHistory());
}

} // namespace tw::win32
