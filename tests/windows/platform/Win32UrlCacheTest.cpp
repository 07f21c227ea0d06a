#include "platform/win32/Win32UrlCache.h"

#include "platform/win32/WideText.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <algorithm>
#include <gtest/gtest.h>

namespace tw::win32 {
namespace {

/// Puts a small page into the cache under `url`; the error code, 0 when it went.
DWORD addCacheEntry(const std::string& url)
{
    const std::wstring wideUrl = toWide(url);
    wchar_t file[MAX_PATH];
    static const char body[] = "<p>tidewell</p>\n";
    if (!CreateUrlCacheEntryW(wideUrl.c_str(), sizeof body, L"htm", file, 0))
        return GetLastError();
    const HANDLE handle =
        CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    WriteFile(handle, body, sizeof body - 1, &written, nullptr);
    CloseHandle(handle);
    if (!CommitUrlCacheEntryW(wideUrl.c_str(), file, FILETIME{}, FILETIME{}, NORMAL_CACHE_ENTRY,
                              nullptr, 0, L"htm", nullptr))
        return GetLastError();
    return 0;
}

bool listed(const platform::UrlCacheListing& listing, const std::string& url)
{
    return std::any_of(listing.entries.begin(), listing.entries.end(),
                       [&](const platform::UrlCacheEntry& e) { return e.sourceUrl == url; });
}

TEST(Win32UrlCacheTest, listsAnAddedEntryAndDeletesIt)
{
    const std::string url =
        "http://tidewell.test/" + std::to_string(GetCurrentProcessId()) + "/page.htm";
    ASSERT_EQ(addCacheEntry(url), 0u);

    Win32UrlCache cache;
    const platform::UrlCacheListing before = cache.entries();
    EXPECT_EQ(before.endError, static_cast<win::DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_TRUE(listed(before, url));
    const auto entry =
        std::find_if(before.entries.begin(), before.entries.end(),
                     [&](const platform::UrlCacheEntry& e) { return e.sourceUrl == url; });
    EXPECT_TRUE(entry->entryType & NORMAL_CACHE_ENTRY);

    const std::vector<win::DWORD> results = cache.deleteEntries({url, url});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], 0u);
    EXPECT_EQ(results[1], static_cast<win::DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(listed(cache.entries(), url));
    EXPECT_TRUE(cache.deleteEntries({}).empty());
}

TEST(Win32UrlCacheTest, clearsTheHistoryThroughTheHistoryObject)
{
    Win32UrlCache cache;
    win::DWORD result = 0;
    ASSERT_NO_THROW(result = cache.clearHistory());
    RecordProperty("ClearHistory", std::to_string(result));
    std::printf("ClearHistory gave 0x%08lx\n", static_cast<unsigned long>(result));
    // A second call on the emptied history gives the same answer.
    EXPECT_EQ(cache.clearHistory(), result);
}

} // namespace
} // namespace tw::win32
