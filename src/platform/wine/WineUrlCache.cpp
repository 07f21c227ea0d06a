#include "WineUrlCache.h"

#include <filesystem>
#include <optional>
#include <sstream>

namespace tw::wine {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelperName = "tidewell-urlcache.exe";
/// Room for the URLs on one command line (Windows takes 32767 characters).
constexpr size_t kMaxArgumentsLength = 30000;

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

win::DWORD number(const std::string& text, int base)
{
    try {
        return static_cast<win::DWORD>(std::stoul(text, nullptr, base));
    } catch (const std::exception&) {
        throw platform::UrlCacheError("The URL cache helper printed \"" + text +
                                      "\" where a number belongs");
    }
}

} // namespace

std::string urlCacheHelperPath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && fs::is_regular_file(self.parent_path() / kHelperName, ec))
        return (self.parent_path() / kHelperName).string();
#ifdef TIDEWELL_URLCACHE_HELPER_BUILD_PATH
    if (fs::is_regular_file(TIDEWELL_URLCACHE_HELPER_BUILD_PATH, ec))
        return TIDEWELL_URLCACHE_HELPER_BUILD_PATH;
#endif
    return std::string();
}

WineUrlCache::WineUrlCache(std::string helper, HelperRunner runner)
    : m_helper(std::move(helper)), m_runner(std::move(runner))
{
}

std::vector<std::vector<std::string>> WineUrlCache::run(const std::vector<std::string>& arguments)
{
    if (m_helper.empty())
        throw platform::UrlCacheError(std::string("The URL cache cannot be reached: ") +
                                      kHelperName + " is not installed beside Tidewell");
    const HelperOutput output = m_runner(m_helper, arguments);
    std::vector<std::vector<std::string>> lines;
    std::istringstream text(output.out);
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(splitTabs(line));
    }
    // The helper's last line says how it ended; anything else means it did not finish.
    if (lines.empty() || lines.back().size() != 2 || lines.back()[0] != "done")
        throw platform::UrlCacheError(std::string("The URL cache helper ") + kHelperName +
                                      " stopped before its end (exit status " +
                                      std::to_string(output.exitCode) + ")");
    lines.pop_back();
    return lines;
}

platform::UrlCacheListing WineUrlCache::entries()
{
    platform::UrlCacheListing listing;
    for (const std::vector<std::string>& fields : run({"list"})) {
        if (fields.size() == 3 && fields[0] == "entry")
            listing.entries.push_back({number(fields[1], 16), fields[2]});
        else if (fields.size() == 2 && fields[0] == "end")
            listing.endError = number(fields[1], 10);
    }
    return listing;
}

std::vector<win::DWORD> WineUrlCache::deleteEntries(const std::vector<std::string>& urls)
{
    std::vector<win::DWORD> results;
    // The URLs go on the command line, as many a run as a Windows command line holds.
    size_t next = 0;
    while (next < urls.size()) {
        std::vector<std::string> arguments = {"delete"};
        size_t length = 0;
        const size_t first = next;
        while (next < urls.size() &&
               (next == first || length + urls[next].size() + 3 < kMaxArgumentsLength)) {
            length += urls[next].size() + 3;
            arguments.push_back(urls[next++]);
        }
        size_t answered = 0;
        for (const std::vector<std::string>& fields : run(arguments)) {
            if (fields.size() == 2 && fields[0] == "deleted") {
                results.push_back(0);
                ++answered;
            } else if (fields.size() == 3 && fields[0] == "failed") {
                results.push_back(number(fields[1], 10));
                ++answered;
            }
        }
        if (answered != next - first)
            throw platform::UrlCacheError("The URL cache helper answered " +
                                          std::to_string(answered) + " of " +
                                          std::to_string(next - first) + " deletions");
    }
    return results;
}

win::DWORD WineUrlCache::clearHistory()
{
    std::optional<win::DWORD> result;
    for (const std::vector<std::string>& fields : run({"clear-history"})) {
        if (fields.size() == 2 && fields[0] == "history")
            result = number(fields[1], 16);
        else if (fields.size() >= 2 && fields[0] == "error")
            throw platform::UrlCacheError(
                fields.size() > 2 && !fields[2].empty() ? fields[2] : "Error 0x" + fields[1]);
    }
    if (!result)
        throw platform::UrlCacheError("The URL history helper gave no result");
    return *result;
}

void WineUrlCache::seedEntries(const std::vector<platform::UrlCacheEntry>& entries)
{
    std::vector<std::string> arguments = {"seed"};
    for (const platform::UrlCacheEntry& entry : entries) {
        std::ostringstream type;
        type << std::hex << entry.entryType;
        arguments.push_back(entry.sourceUrl);
        arguments.push_back(type.str());
    }
    if (run(arguments).size() != entries.size())
        throw platform::UrlCacheError("CommitUrlCacheEntry failed");
}

void WineUrlCache::setCookie(const std::string& url, const std::string& data)
{
    if (run({"cookie", url, data}).empty())
        throw platform::UrlCacheError("InternetSetCookie failed for " + url);
}

} // namespace tw::wine
