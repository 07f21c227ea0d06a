#include "HistoryItems.h"

namespace tw {

const std::array<HistoryItem, kHistoryItemCount>& HistoryItems()
{
    static const std::array<HistoryItem, kHistoryItemCount> items = {{
        // Listing "All" leaves the URL cache out: reading it starts Wine. Its clear reads
        // the cache then, and clears the URL history, both through Wine.
        {"All",
         {2, 3, 4, 5, 6, 7},
         HistoryClear::All,
         true,
         "its clear removes the URL cache's entries and the URL history through Wine"},
        {"Run Menu's History", {kKindRunHistory}, HistoryClear::RunHistory, true},
        {"Recent File", {kKindRecent}, HistoryClear::Files, true},
        {"NetHood History", {kKindNetHood}, HistoryClear::Files, true},
        {"Windows Temporary Files", {kKindTempFile}, HistoryClear::Files, true},
        {"Explorer Cache",
         {kKindCacheEntry},
         HistoryClear::CacheEntries,
         true,
         "listing and clearing it run Wine in the prefix"},
        {"Recycle Bin", {}, HistoryClear::RecycleBin, false},
        {"Explorer Address's History", {kKindTypedUrl}, HistoryClear::TypedUrls, true},
        {"History",
         {kKindHistoryFolder},
         HistoryClear::UrlHistory,
         false,
         "clearing it runs Wine in the prefix"},
    }};
    return items;
}

} // namespace tw
