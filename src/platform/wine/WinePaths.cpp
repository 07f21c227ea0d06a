#include "WinePaths.h"

#include "FolderReader.h"
#include "WineShortNames.h"
#include "platform/TextCodec.h"

#include <algorithm>
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

bool isWindowsFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.back() == ' ' || name.back() == '.')
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20)
            return false;
        switch (c) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return false;
        default:
            break;
        }
    }
    return true;
}

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string joined(const std::string& folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    if (folder != "/")
        path = folder;
    path += '/';
    path += name;
    return path;
}

/// True for "X:" and "X:\a\b": no other separators, no empty, "." or ".." parts.
bool isNormalized(std::string_view path)
{
    if (path.size() == 2)
        return true;
    if (path[2] != '\\' || path.back() == '\\' || path.find('/') != std::string_view::npos)
        return false;
    // An empty part is a backslash after another, a "." or ".." part a dot after one.
    for (size_t at = path.find('\\'); at != std::string_view::npos; at = path.find('\\', at + 1)) {
        const std::string_view rest = path.substr(at + 1);
        if (rest.empty() || rest.front() == '\\')
            return false;
        if (rest.front() == '.') {
            const size_t dots = rest.size() > 1 && rest[1] == '.' ? 2 : 1;
            if (rest.size() == dots || rest[dots] == '\\')
                return false;
        }
    }
    return true;
}

/// "X:" followed by the path's parts, each after a backslash, with "." and ".." applied.
std::string normalized(std::string_view path)
{
    std::string result(path.substr(0, 2));
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
            const size_t last = result.rfind('\\');
            if (last != std::string::npos)
                result.resize(last);
            continue;
        }
        result.append("\\").append(part);
    }
    return result;
}

/// What a listed type tells without a stat.
int knownType(unsigned char type)
{
    return type == DT_LNK || type == DT_UNKNOWN ? -1 : type;
}

} // namespace

WinePathMapper::WinePathMapper(std::string prefixDir)
    : WinePathMapper(std::move(prefixDir), std::make_shared<ListingStore>())
{
}

WinePathMapper::WinePathMapper(std::string prefixDir, std::shared_ptr<ListingStore> store)
    : m_prefixDir(std::move(prefixDir)),
      m_resolvedPrefix(resolvedPath(m_prefixDir).value_or(m_prefixDir)), m_store(std::move(store))
{
}

std::unique_ptr<WinePathMapper> WinePathMapper::sharingListingsWith(const WinePathMapper& owner)
{
    std::unique_ptr<WinePathMapper> mapper(new WinePathMapper(owner.m_prefixDir, owner.m_store));
    mapper->m_ownsStore = false;
    return mapper;
}

bool WinePathMapper::readListing(const std::string& dir, FolderListing& listing,
                                 bool withChangeTime)
{
    listing = FolderListing();
    if (withChangeTime) {
        struct stat st;
        if (::stat(dir.c_str(), &st) != 0) {
            listing.missing = errno == ENOENT || errno == ENOTDIR;
            return false;
        }
        listing.changedNs =
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    FolderReader folder(dir);
    if (!folder.isOpen()) {
        listing.missing = folder.error() == ENOTDIR || folder.error() == ENOENT;
        return !listing.missing;
    }
    listing.readable = true;
    std::string_view name;
    unsigned char type = 0;
    while (folder.next(name, type))
        listing.add(name, type);
    listing.index();
    return true;
}

FolderListing& WinePathMapper::listing(std::string_view folder) const
{
    // Scans look up many missing files in the same folders: read each folder once, and again
    // only when it changed.
    const std::string dir(folder);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) {
        m_noFolder = FolderListing();
        m_noFolder.missing = true;
        return m_noFolder;
    }
    const long long changed =
        static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    FolderListing& listing = m_listings[dir];
    if (listing.changedNs != changed)
        readListing(dir, listing, true);
    return listing;
}

WinePathMapper::SharedListing WinePathMapper::trustedListing(std::string_view dir) const
{
    ListingStore::Shard& shard = m_store->shardOf(dir);
    {
        const std::lock_guard lock(shard.mutex);
        const auto known = shard.listings.find(dir);
        if (known != shard.listings.end())
            return known->second;
    }
    // Read outside the lock; of two mappers reading the same folder the first to publish wins.
    auto read = std::make_shared<FolderListing>();
    // A listing trusted for the span needs no change time.
    readListing(std::string(dir), *read, false);
    const std::lock_guard lock(shard.mutex);
    return shard.listings.try_emplace(std::string(dir), std::move(read)).first->second;
}

bool WinePathMapper::wantsListing(const std::string& hostDir) const
{
    if (!m_caching)
        return false;
    ListingStore::Shard& shard = m_store->shardOf(hostDir);
    const std::lock_guard lock(shard.mutex);
    return !shard.listings.contains(hostDir);
}

bool WinePathMapper::listedEntries(
    const std::string& hostDir, std::vector<std::pair<std::string, unsigned char>>& entries) const
{
    if (!m_caching)
        return false;
    SharedListing listing;
    {
        ListingStore::Shard& shard = m_store->shardOf(hostDir);
        const std::lock_guard lock(shard.mutex);
        const auto known = shard.listings.find(hostDir);
        if (known == shard.listings.end())
            return false;
        listing = known->second;
    }
    // Past its publication only a listing's short names change.
    if (!listing->readable)
        return false;
    entries.clear();
    entries.reserve(listing->list.size());
    for (const FolderListing::Entry& entry : listing->list)
        entries.emplace_back(listing->nameOf(entry), entry.type);
    return true;
}

void WinePathMapper::rememberListing(const std::string& hostDir, const struct timespec& changed,
                                     std::vector<std::pair<std::string, unsigned char>> entries)
{
    if (!m_caching)
        return;
    auto listing = std::make_shared<FolderListing>();
    listing->changedNs = static_cast<long long>(changed.tv_sec) * 1000000000LL + changed.tv_nsec;
    listing->readable = true;
    for (const auto& [name, type] : entries)
        listing->add(name, type);
    listing->index();
    ListingStore::Shard& shard = m_store->shardOf(hostDir);
    const std::lock_guard lock(shard.mutex);
    shard.listings.try_emplace(hostDir, std::move(listing));
}

void WinePathMapper::setCaching(bool on)
{
    if (on != m_caching)
        forgetCached();
    m_caching = on;
}

void WinePathMapper::forgetCached()
{
    m_lastFolder = nullptr;
    m_folders.clear();
    m_listings.clear();
    if (m_ownsStore) {
        for (ListingStore::Shard& shard : m_store->shards) {
            const std::lock_guard lock(shard.mutex);
            shard.listings.clear();
        }
    }
}

std::optional<std::string> WinePathMapper::findShortName(FolderListing& listing,
                                                         const std::string& dir,
                                                         std::string_view name) const
{
    std::u16string wideName = platform::utf8ToUtf16(name);
    if (!looksLikeWineShortName(wideName))
        return std::nullopt;
    // A listing read while caching may be shared with a mapper on another thread.
    std::unique_lock<std::mutex> lock;
    if (m_caching)
        lock = std::unique_lock(m_store->shardOf(dir).mutex);
    if (!listing.shortNamesRead) {
        // Only names that are not 8.3 names have a short name. Taken in the folder's order, so
        // that of two names with the same short name the one Wine finds first wins.
        for (const FolderListing::Entry& entry : listing.list) {
            const std::string_view entryName = listing.nameOf(entry);
            const std::u16string wide = platform::utf8ToUtf16(entryName);
            if (!isLegal8dot3Name(wide))
                listing.byShortName.emplace(wineShortName(wide), entryName);
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

const std::optional<std::string>& WinePathMapper::knownDriveRoot(char letter) const
{
    static const std::optional<std::string> none;
    const char lower = static_cast<char>(letter | 0x20);
    if (lower < 'a' || lower > 'z')
        return none;
    DriveRoot& root = m_driveRoots[static_cast<size_t>(lower - 'a')];
    if (!root.read) {
        root.path = resolvedPath(m_prefixDir + "/dosdevices/" + lower + ":");
        root.read = true;
    }
    return root.path;
}

std::optional<std::string> WinePathMapper::driveRoot(char letter) const
{
    return knownDriveRoot(letter);
}

int WinePathMapper::step(ResolvedFolder& folder, std::string_view name, bool* matching,
                         std::string* path) const
{
    *matching = false;
    // Listings read without caching may be out of date by the time the caller asks.
    const auto listedType = [this](int type) { return m_caching ? type : -1; };
    const auto direct = [&] {
        if (path)
            *path = joined(folder.host, name);
    };
    if (!folder.matching) {
        direct();
        return listedType(0);
    }
    // Without caching the exact name is tried first: cheaper than reading the folder.
    if (!m_caching) {
        const std::string tried = joined(folder.host, name);
        if (exists(tried)) {
            *matching = true;
            if (path)
                *path = tried;
            return -1;
        }
    }
    if (m_caching && !folder.listing)
        folder.listing = trustedListing(folder.host);
    FolderListing& known = m_caching ? *folder.listing : listing(folder.host);
    if (known.missing) {
        direct();
        return listedType(0);
    }
    if (!known.readable) {
        // Names can still be tried one by one in a folder that cannot be listed.
        const std::string tried = joined(folder.host, name);
        *matching = exists(tried);
        if (path)
            *path = tried;
        return -1;
    }
    *matching = true;
    if (const FolderListing::Entry* first = known.findNoCase(name)) {
        // The name as written when the folder has it so, else the first in any case.
        const FolderListing::Entry* exact =
            known.nameOf(*first) == name ? first : known.exactEntry(name);
        if (exact) {
            direct();
            return listedType(knownType(exact->type));
        }
        if (path)
            *path = joined(folder.host, known.nameOf(*first));
        return listedType(knownType(first->type));
    }
    if (std::optional<std::string> actual = findShortName(known, folder.host, name)) {
        const FolderListing::Entry* entry = known.exactEntry(*actual);
        if (path)
            *path = joined(folder.host, *actual);
        return entry ? listedType(knownType(entry->type)) : -1;
    }
    *matching = false;
    direct();
    return listedType(0);
}

std::string WinePathMapper::stepPath(ResolvedFolder& folder, std::string_view name,
                                     bool* matching) const
{
    std::string path;
    step(folder, name, matching, &path);
    return path;
}

WinePathMapper::ResolvedFolder* WinePathMapper::FolderCache::find(std::string_view name,
                                                                  size_t hash) const
{
    if (m_slots.empty())
        return nullptr;
    const size_t mask = m_slots.size() - 1;
    for (size_t at = hash & mask; m_slots[at].folder; at = (at + 1) & mask) {
        const Slot& slot = m_slots[at];
        if (slot.hash == hash && slot.folder->first == name)
            return &slot.folder->second;
    }
    return nullptr;
}

WinePathMapper::ResolvedFolder& WinePathMapper::FolderCache::add(std::string_view name, size_t hash,
                                                                 ResolvedFolder folder)
{
    m_folders.emplace_back(std::string(name), std::move(folder));
    // At most half the slots are taken.
    if (2 * m_folders.size() > m_slots.size()) {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (slot.folder)
                place(slot);
        }
    }
    place({hash, &m_folders.back()});
    return m_folders.back().second;
}

void WinePathMapper::FolderCache::place(Slot slot)
{
    const size_t mask = m_slots.size() - 1;
    size_t at = slot.hash & mask;
    while (m_slots[at].folder)
        at = (at + 1) & mask;
    m_slots[at] = slot;
}

void WinePathMapper::FolderCache::clear()
{
    m_slots.clear();
    m_folders.clear();
}

WinePathMapper::ResolvedFolder& WinePathMapper::cachedFolder(std::string_view folder,
                                                             const std::string& root) const
{
    // Paths asked one after the other often share their folder.
    if (m_lastFolder && folder == m_lastFolderName)
        return *m_lastFolder;
    const size_t hash = std::hash<std::string_view>()(folder);
    if (ResolvedFolder* known = m_folders.find(folder, hash)) {
        m_lastFolderName = folder;
        m_lastFolder = known;
        return *known;
    }
    ResolvedFolder resolved;
    if (folder.size() <= 2) {
        resolved.host = root;
    } else {
        const size_t sep = folder.rfind('\\');
        ResolvedFolder& parent = cachedFolder(folder.substr(0, sep), root);
        bool matching = false;
        resolved.host = stepPath(parent, folder.substr(sep + 1), &matching);
        resolved.matching = matching;
    }
    return m_folders.add(folder, hash, std::move(resolved));
}

std::optional<WinePathMapper::DrivePath> WinePathMapper::drivePath(std::string_view windowsPath,
                                                                   std::string& storage) const
{
    DrivePath result;
    std::string_view& path = result.path;
    path = windowsPath;
    if (path.substr(0, 4) == "\\\\?\\")
        path.remove_prefix(4);
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0])))
        return std::nullopt;
    // A NUL would end the host path early, where the kernel reads it.
    if (path.find('\0') != std::string_view::npos)
        return std::nullopt;
    if (path.size() > 2 && path[2] != '\\' && path[2] != '/')
        return std::nullopt;
    const std::optional<std::string>& root = knownDriveRoot(path[0]);
    if (!root)
        return std::nullopt;
    result.root = &*root;
    if (!isNormalized(path)) {
        storage = normalized(path);
        path = storage;
    }
    return result;
}

std::optional<int> WinePathMapper::resolve(std::string_view windowsPath,
                                           std::string* hostPath) const
{
    std::string storage;
    const std::optional<DrivePath> drive = drivePath(windowsPath, storage);
    if (!drive)
        return std::nullopt;
    const std::string_view path = drive->path;
    if (path.size() == 2) {
        if (hostPath)
            *hostPath = *drive->root;
        return -1;
    }
    const size_t sep = path.rfind('\\');
    const std::string_view name = path.substr(sep + 1);
    bool matching = false;
    if (m_caching)
        return step(cachedFolder(path.substr(0, sep), *drive->root), name, &matching, hostPath);
    ResolvedFolder folder;
    folder.host = *drive->root;
    size_t start = 3;
    while (start < sep) {
        const size_t end = path.find('\\', start);
        folder.host = stepPath(folder, path.substr(start, end - start), &matching);
        folder.matching = matching;
        start = end + 1;
    }
    return step(folder, name, &matching, hostPath);
}

std::optional<int> WinePathMapper::listedType(std::string_view windowsPath) const
{
    return resolve(windowsPath, nullptr);
}

std::optional<std::string> WinePathMapper::toHost(std::string_view windowsPath) const
{
    std::string path;
    if (!resolve(windowsPath, &path))
        return std::nullopt;
    return path;
}

std::optional<HeldFolder> WinePathMapper::holdFolderOf(std::string_view windowsPath,
                                                       HeldFolder::Failure& failure) const
{
    std::string storage;
    const std::optional<DrivePath> drive = drivePath(windowsPath, storage);
    std::string host;
    if (!drive || drive->path.size() <= 2 || !resolve(drive->path, &host)) {
        failure = {ENOENT, false};
        return std::nullopt;
    }
    return HeldFolder::open(host, *drive->root, failure);
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
