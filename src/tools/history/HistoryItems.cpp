#include "HistoryItems.h"

namespace tw {

const std::array<HistoryItem, kHistoryItemCount>& HistoryItems()
{
    static const std::array<HistoryItem, kHistoryItemCount> items = {{
        {"All", {1, 2, 3, 4, 5, 6, 7}, HistoryClear::All, true},
        {"Run Memu's History", {kKindRunHistory}, HistoryClear::RunHistory, true},
        {"Recent File", {kKindRecent}, HistoryClear::Files, true},
        {"NetHood History", {kKindNetHood}, HistoryClear::Files, true},
        {"Windows Temporary Files", {kKindTempFile}, HistoryClear::Files, true},
        {"Explorer Cache", {kKindCacheEntry}, HistoryClear::CacheEntries, true},
        {"Recycle Bin", {}, HistoryClear::RecycleBin, false},
        {"Explorer Address's History", {kKindTypedUrl}, HistoryClear::TypedUrls, true},
        {"History", {kKindHistoryFolder}, HistoryClear::UrlHistory, false},
    }};
    return items;
}

} // namespace tw
