// The history cleaner's records and its nine items: what each lists and how it is cleared.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

/// One thing found: where it comes from (Kind 1-7), what the list shows, where it lives.
struct TRecycleData
{
    std::int32_t Kind = 0;
    /// A file name, a URL or a registry value's data.
    std::string DisplayText;
    /// The folder that holds the file, or the registry value's name.
    std::string Origin;
    /// Whether Clear may remove it.
    bool Selected = true;
};

inline constexpr std::int32_t kKindCacheEntry = 1;
inline constexpr std::int32_t kKindTypedUrl = 2;
inline constexpr std::int32_t kKindTempFile = 3;
inline constexpr std::int32_t kKindNetHood = 4;
inline constexpr std::int32_t kKindRecent = 5;
inline constexpr std::int32_t kKindHistoryFolder = 6;
inline constexpr std::int32_t kKindRunHistory = 7;

/// What Clear does for an item.
enum class HistoryClear
{
    All,
    RunHistory,
    Files,
    CacheEntries,
    RecycleBin,
    TypedUrls,
    UrlHistory,
};

struct HistoryItem
{
    const char* name;
    /// The listings, in order.
    std::vector<std::int32_t> kinds;
    HistoryClear clear;
    /// Whether the item is listed again after its clear.
    bool listsAgain;
    /// What of the item runs Wine in the prefix (the URL cache and the URL history are read
    /// and cleared through Wine's own libraries); null when nothing does.
    const char* wineUse = nullptr;
};

inline constexpr int kHistoryItemCount = 9;

/// The items of the upper list, by row (0 "All" to 8 "History").
const std::array<HistoryItem, kHistoryItemCount>& HistoryItems();

inline constexpr const char* kRunMruKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
inline constexpr const char* kTypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

} // namespace tw
