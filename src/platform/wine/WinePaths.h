// Mapping Windows paths of a Wine prefix to host paths through its dosdevices links.
#pragma once

#include "WinePlatformOnly.h"

#include "FolderListing.h"
#include "HeldFolder.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tw::wine {

/// Hashes std::string keys so that maps can be searched with a string_view.
struct TextHash
{
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
template <typename T> using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

class WinePathMapper
{
public:
    explicit WinePathMapper(std::string prefixDir);
    /// A mapper of the same prefix for another thread: while both cache, each folder is
    /// read once for the two of them. `owner` must outlive it.
    static std::unique_ptr<WinePathMapper> sharingListingsWith(const WinePathMapper& owner);

    /// The host path of an absolute Windows path ("C:\windows", "c:/Windows/"), each
    /// component matched without regard to case as Wine does; components that do not
    /// exist are kept as written. A component that names nothing but looks like a short name
    /// Wine made ("PROG~FBU") stands for the long name it was made from, as in Wine.
    /// Empty for relative paths, paths holding a NUL and drives without a link.
    std::optional<std::string> toHost(std::string_view windowsPath) const;

    /// The folder that holds the entry toHost() names, held for a change (see HeldFolder):
    /// never reached through a link that leaves the path's drive. Empty, with `failure` set,
    /// when it cannot be.
    std::optional<HeldFolder> holdFolderOf(std::string_view windowsPath,
                                           HeldFolder::Failure& failure) const;

    /// What the folder listings read while caching tell of the entry toHost() names, without
    /// making its host path: its type (DT_DIR, DT_REG, ...), 0 when it does not exist, -1 when
    /// only a stat can tell (a link, an unknown type, a folder that cannot be read, caching
    /// off). Empty for paths toHost() has no answer for.
    std::optional<int> listedType(std::string_view windowsPath) const;

    /// The host folder a drive letter maps to, resolved; empty when there is none.
    std::optional<std::string> driveRoot(char letter) const;
    /// True when `hostPath` (resolved) lies inside the prefix folder.
    bool isInsidePrefix(const std::string& hostPath) const;
    /// True when `hostPath` resolves to a place inside `root` (a resolved drive root).
    static bool isInside(const std::string& hostPath, const std::string& root);
    /// The Windows path of a host path that lies on one of the drives, like winepath -w.
    std::optional<std::string> toWindows(const std::string& hostPath) const;

    const std::string& prefixDir() const { return m_prefixDir; }

    /// While on (for the length of a scan), a folder is read once and trusted from then on,
    /// and the host folder of each Windows folder is worked out once. Turning it off, or
    /// forgetCached(), drops what was learnt (the owner's also what mappers sharing its
    /// listings learnt).
    void setCaching(bool on);
    void forgetCached();
    /// While caching, a directory search may hand over the entries (names and d_type) it read
    /// of a folder the lookups have not read yet, so that they need not read it again.
    bool wantsListing(const std::string& hostDir) const;
    /// While caching, the entries (names and d_type) of a folder already read and found
    /// readable: names that differ only in case in the folder's order. False when it has not
    /// been read.
    bool listedEntries(const std::string& hostDir,
                       std::vector<std::pair<std::string, unsigned char>>& entries) const;
    void rememberListing(const std::string& hostDir, const struct timespec& changed,
                         std::vector<std::pair<std::string, unsigned char>> entries);

private:
    using SharedListing = std::shared_ptr<FolderListing>;

    /// The listings read while caching, by host folder, for every mapper sharing them; in
    /// shards with a lock each, so that two threads seldom wait for each other.
    struct ListingStore
    {
        struct Shard
        {
            std::mutex mutex;
            TextMap<SharedListing> listings;
        };
        std::array<Shard, 64> shards;
        Shard& shardOf(std::string_view dir)
        {
            return shards[std::hash<std::string_view>()(dir) % shards.size()];
        }
    };

    WinePathMapper(std::string prefixDir, std::shared_ptr<ListingStore> store);

    /// The listing of `dir`, read now unless caching trusts the one read before.
    FolderListing& listing(std::string_view dir) const;
    /// The listing of `dir` for this caching span, read now unless a mapper read it before.
    SharedListing trustedListing(std::string_view dir) const;
    /// Reads `dir` into `listing`, with the folder's change time when asked; false when there
    /// is no such folder.
    static bool readListing(const std::string& dir, FolderListing& listing, bool withChangeTime);
    /// The entry of `listing` (the listing of `dir`) whose Wine short name `name` is.
    std::optional<std::string> findShortName(FolderListing& listing, const std::string& dir,
                                             std::string_view name) const;

    /// A Windows folder's host folder, and whether all its parts were found.
    struct ResolvedFolder
    {
        std::string host;
        bool matching = true;
        /// Its listing, once read while caching.
        SharedListing listing;
    };
    /// The resolved folders of a caching span by Windows folder, found by open addressing;
    /// a folder stays where it is until clear().
    class FolderCache
    {
    public:
        ResolvedFolder* find(std::string_view name, size_t hash) const;
        ResolvedFolder& add(std::string_view name, size_t hash, ResolvedFolder folder);
        void clear();

    private:
        struct Slot
        {
            size_t hash = 0;
            std::pair<std::string, ResolvedFolder>* folder = nullptr;
        };
        void place(Slot slot);
        std::deque<std::pair<std::string, ResolvedFolder>> m_folders;
        std::vector<Slot> m_slots;
    };
    /// One step down from `folder`: the entry `name` in it. Without `path` only the type is
    /// worked out, where the listings tell it.
    int step(ResolvedFolder& folder, std::string_view name, bool* matching,
             std::string* path) const;
    /// step() for the host path alone.
    std::string stepPath(ResolvedFolder& folder, std::string_view name, bool* matching) const;
    /// The host folder of a normalized Windows folder ("C:" or "C:\a\b"), worked out once
    /// per caching span.
    ResolvedFolder& cachedFolder(std::string_view folder, const std::string& root) const;
    /// The normalized form of a Windows path (kept in `storage` when it differs) and its
    /// drive's root, or empty.
    struct DrivePath
    {
        const std::string* root = nullptr;
        std::string_view path;
    };
    std::optional<DrivePath> drivePath(std::string_view windowsPath, std::string& storage) const;
    /// The type listedType() gives, and the host path when `hostPath` is given; empty when the
    /// path has no host path.
    std::optional<int> resolve(std::string_view windowsPath, std::string* hostPath) const;
    /// driveRoot(), without a copy.
    const std::optional<std::string>& knownDriveRoot(char letter) const;

    std::string m_prefixDir;
    std::string m_resolvedPrefix;
    /// Listings read while not caching, checked against the folder's change time.
    mutable TextMap<FolderListing> m_listings;
    std::shared_ptr<ListingStore> m_store;
    /// True for the mapper that made the store: it alone clears it.
    bool m_ownsStore = true;
    /// Resolved drive roots by letter (a - z), read once.
    struct DriveRoot
    {
        bool read = false;
        std::optional<std::string> path;
    };
    mutable std::array<DriveRoot, 26> m_driveRoots;
    /// What listing() gives for a folder that is not there while not caching.
    mutable FolderListing m_noFolder;
    bool m_caching = false;
    mutable FolderCache m_folders;
    /// The folder cachedFolder() gave last.
    mutable std::string m_lastFolderName;
    mutable ResolvedFolder* m_lastFolder = nullptr;
};

/// True when Windows can hold `name` as a file name: not empty, no control character, none of
/// \ / : * ? " < > |, no trailing blank or dot ("." and ".." are no names).
bool isWindowsFileName(std::string_view name);

/// The resolved form of a host path (realpath), or empty when it does not exist.
std::optional<std::string> resolvedPath(const std::string& path);

} // namespace tw::wine
