#include "WinePaths.h"

#include "WineShortNames.h"
#include "platform/TextCodec.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace tw::wine {

std::optional<std::string> resolvedPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return std::nullopt;
    std::string result(real);
    std::free(real);
    return result;
}

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string folded(const std::string& name)
{
    std::u16string wide = platform::utf8ToUtf16(name);
    for (char16_t& c : wide)
        c = platform::foldCase(c);
    return platform::utf16ToUtf8(wide);
}

} // namespace

WinePathMapper::WinePathMapper(std::string prefixDir)
    : m_prefixDir(std::move(prefixDir)),
      m_resolvedPrefix(resolvedPath(m_prefixDir).value_or(m_prefixDir))
{
}

WinePathMapper::FolderListing& WinePathMapper::listing(std::string_view folder) const
{
    if (m_caching) {
        const auto known = m_listings.find(folder);
        if (known != m_listings.end() && known->second.trusted)
            return known->second;
    }
    // Scans look up many missing files in the same folders: read each folder once, and again
    // only when it changed.
    const std::string dir(folder);
    struct stat st;
    const bool found = ::stat(dir.c_str(), &st) == 0;
    const bool missing = !found && (errno == ENOENT || errno == ENOTDIR);
    if (!found && !m_caching) {
        m_noFolder = FolderListing();
        m_noFolder.missing = true;
        return m_noFolder;
    }
    const long long changed =
        found ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec : -1;
    FolderListing& listing = m_listings[dir];
    if (!found || listing.changedNs != changed || (m_caching && !listing.trusted)) {
        listing = FolderListing();
        if (DIR* d = found ? ::opendir(dir.c_str()) : nullptr) {
            listing.readable = true;
            while (dirent* entry = ::readdir(d)) {
                listing.byFoldedName.emplace(folded(entry->d_name), entry->d_name);
                listing.types.emplace(entry->d_name, entry->d_type);
            }
            ::closedir(d);
        } else {
            listing.missing = missing || errno == ENOTDIR || errno == ENOENT;
        }
        listing.changedNs = changed;
    }
    listing.trusted = m_caching;
    return listing;
}

bool WinePathMapper::hasEntry(const std::string& dir, std::string_view name) const
{
    if (m_caching) {
        const FolderListing& known = listing(dir);
        if (known.missing)
            return false;
        if (known.readable)
            return known.types.count(name) != 0;
    }
    return exists((dir == "/" ? "" : dir) + "/" + std::string(name));
}

int WinePathMapper::cachedEntryType(const std::string& hostPath) const
{
    const size_t slash = hostPath.rfind('/');
    if (!m_caching || slash == std::string::npos || slash + 1 == hostPath.size())
        return -1;
    const std::string_view path = hostPath;
    const FolderListing& known = listing(slash ? path.substr(0, slash) : "/");
    if (known.missing)
        return 0;
    if (!known.readable)
        return -1;
    const auto it = known.types.find(path.substr(slash + 1));
    if (it == known.types.end())
        return 0;
    return it->second == DT_LNK || it->second == DT_UNKNOWN ? -1 : it->second;
}

void WinePathMapper::setCaching(bool on)
{
    if (on != m_caching)
        forgetCached();
    m_caching = on;
}

void WinePathMapper::forgetCached()
{
    m_listings.clear();
    m_folders.clear();
}

std::optional<std::string> WinePathMapper::findNoCase(const std::string& dir,
                                                      const std::string& name) const
{
    FolderListing& listing = this->listing(dir);
    if (listing.missing)
        return std::nullopt;
    const auto it = listing.byFoldedName.find(folded(name));
    if (it != listing.byFoldedName.end())
        return it->second;

    std::u16string wideName = platform::utf8ToUtf16(name);
    if (!looksLikeWineShortName(wideName))
        return std::nullopt;
    if (!listing.shortNamesRead) {
        // Only names that are not 8.3 names have a short name. Read in the folder's order, so
        // that of two names with the same short name the one Wine finds first wins.
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* entry = ::readdir(d)) {
                const std::u16string wide = platform::utf8ToUtf16(entry->d_name);
                if (!isLegal8dot3Name(wide))
                    listing.byShortName.emplace(wineShortName(wide), entry->d_name);
            }
            ::closedir(d);
        }
        listing.shortNamesRead = true;
    }
    for (char16_t& c : wideName) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char16_t>(c - 32);
    }
    const auto shortIt = listing.byShortName.find(wideName);
    if (shortIt == listing.byShortName.end())
        return std::nullopt;
    return shortIt->second;
}

std::optional<std::string> WinePathMapper::driveRoot(char letter) const
{
    if (!std::isalpha(static_cast<unsigned char>(letter)))
        return std::nullopt;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    const auto known = m_driveRoots.find(lower);
    if (known != m_driveRoots.end())
        return known->second;
    std::optional<std::string> root = resolvedPath(m_prefixDir + "/dosdevices/" + lower + ":");
    m_driveRoots.emplace(lower, root);
    return root;
}

std::optional<std::string> WinePathMapper::toHost(std::string_view windowsPath) const
{
    std::string_view path = windowsPath;
    if (path.substr(0, 4) == "\\\\?\\")
        path.remove_prefix(4);
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0])))
        return std::nullopt;
    if (path.size() > 2 && path[2] != '\\' && path[2] != '/')
        return std::nullopt;
    std::optional<std::string> root = driveRoot(path[0]);
    if (!root)
        return std::nullopt;

    std::vector<std::string_view> parts;
    size_t start = 2;
    while (start < path.size()) {
        size_t sep = path.find_first_of("\\/", start);
        if (sep == std::string_view::npos)
            sep = path.size();
        const std::string_view part = path.substr(start, sep - start);
        start = sep + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.emplace_back(part);
    }

    // While caching, the host folder of the path's folder is worked out once.
    std::string folderKey;
    const ResolvedFolder* known = nullptr;
    if (m_caching && parts.size() > 1) {
        folderKey.assign(1, static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))));
        for (size_t i = 0; i + 1 < parts.size(); ++i)
            folderKey.append("\\").append(parts[i]);
        const auto it = m_folders.find(std::string_view(folderKey));
        if (it != m_folders.end())
            known = &it->second;
    }
    std::string host = known ? known->host : *root;
    bool matching = known ? known->matching : true;
    for (size_t i = known ? parts.size() - 1 : 0; i < parts.size(); ++i) {
        if (!known && !folderKey.empty() && i + 1 == parts.size())
            m_folders.emplace(folderKey, ResolvedFolder{host, matching});
        const std::string_view part = parts[i];
        std::string direct = (host == "/" ? "" : host) + "/";
        direct += part;
        if (matching && !hasEntry(host, part)) {
            if (std::optional<std::string> actual = findNoCase(host, std::string(part))) {
                host = (host == "/" ? "" : host) + "/" + *actual;
                continue;
            }
            matching = false;
        }
        host = std::move(direct);
    }
    return host;
}

bool WinePathMapper::isInside(const std::string& hostPath, const std::string& root)
{
    if (root == "/")
        return true;
    return hostPath == root ||
           (hostPath.size() > root.size() && hostPath.compare(0, root.size(), root) == 0 &&
            hostPath[root.size()] == '/');
}

bool WinePathMapper::isInsidePrefix(const std::string& hostPath) const
{
    const std::optional<std::string> resolved = resolvedPath(hostPath);
    return resolved && isInside(*resolved, m_resolvedPrefix);
}

std::optional<std::string> WinePathMapper::toWindows(const std::string& hostPath) const
{
    std::optional<std::string> resolved = resolvedPath(hostPath);
    std::string tail;
    if (!resolved) {
        // A file that does not exist yet: place it by its folder.
        const auto slash = hostPath.rfind('/');
        if (slash == std::string::npos)
            return std::nullopt;
        resolved = resolvedPath(slash ? hostPath.substr(0, slash) : "/");
        if (!resolved)
            return std::nullopt;
        tail = hostPath.substr(slash + 1);
        *resolved += (*resolved == "/" ? "" : "/") + tail;
    }
    // The drive with the longest root that holds the path.
    std::optional<std::string> best;
    size_t bestLength = 0;
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        const std::optional<std::string> root = driveRoot(letter);
        if (!root || !isInside(*resolved, *root))
            continue;
        const size_t length = *root == "/" ? 0 : root->size();
        if (best && length <= bestLength)
            continue;
        std::string rest = resolved->substr(length);
        for (char& c : rest) {
            if (c == '/')
                c = '\\';
        }
        best = std::string(1, static_cast<char>(std::toupper(letter))) + ":" +
               (rest.empty() ? "\\" : rest);
        bestLength = length;
    }
    return best;
}

} // namespace tw::wine
