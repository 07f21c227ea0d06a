// The registry hives of a Wine prefix: the key tree they make, loading, saving and the
// read-only state.
#pragma once

#include "WinePlatformOnly.h"

#include "Hive.h"
#include "HiveSave.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::wine {

class PrefixLock;

/// A prefix that cannot be opened or saved; the message says why and what to do.
class PrefixError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class OpenMode
{
    Normal,
    /// For one change of the registry: the prefix's writer lock is held from reading the
    /// hives until the store ends, so Tidewell's writers of a prefix take turns.
    Writer,
    /// Changes stay in memory: nothing is ever written, not even the finishing of an
    /// interrupted save (for pictures of the windows).
    Preview,
};

class HiveStore
{
public:
    /// Reads the hives of the prefix folder. Throws PrefixError for a missing prefix or a
    /// damaged hive (naming the file and line). A prefix the user may not write is
    /// read-only.
    explicit HiveStore(std::string prefixDir, OpenMode mode = OpenMode::Normal);
    ~HiveStore();
    HiveStore(const HiveStore&) = delete;
    HiveStore& operator=(const HiveStore&) = delete;

    const std::string& prefixDir() const { return m_prefixDir; }

    /// Set when Wine runs in the prefix: reading works, every write is refused.
    bool isReadOnly() const { return !m_readOnlyReason.empty(); }
    const std::string& readOnlyReason() const { return m_readOnlyReason; }

    /// Writes every changed hive, all of them or none (an interrupted save is finished or
    /// undone when the prefix is next opened). Waits for a writer that holds the writer
    /// lock. Refuses (PrefixError) when Wine now runs in the prefix or a hive changed on
    /// disk since it was read; then nothing is written.
    void save();
    /// Why a change made now could not be saved (see save()); empty when it could be.
    std::string writeRefusal();
    bool isPreview() const { return m_mode == OpenMode::Preview; }
    /// Called at each step of a save (for tests that stop a save half way).
    void setSaveObserver(SaveObserver observer) { m_saveObserver = std::move(observer); }
    bool hasUnsavedChanges() const;
    /// Forgets unsaved changes by reading the hives again. Every key of the old tree is gone;
    /// generation() tells users of the tree that it was replaced.
    void revert();
    unsigned generation() const { return m_generation; }

    /// A program now starts in the prefix: Wine holds the registry from here on, so the store
    /// is read-only until followWine() finds Wine ended.
    void holdForWine();
    /// True while the read-only state comes from Wine (it ran at opening, was found running
    /// by a save, or holdForWine()).
    bool isHeldByWine() const { return m_heldByWine; }
    /// When Wine held the registry and no wineserver runs any more: reads the hives again
    /// (unless changes are pending) and lifts the read-only state Wine caused. When nothing
    /// held it but the hive files changed on disk while nothing was pending: reads them
    /// again. True when it did either. Throws PrefixError when a hive cannot be read; then the
    /// store stays read-only.
    bool followWine();

    /// The tree's top key (REGISTRY) and the keys the roots map to.
    HiveKey& registryRoot() { return *m_root; }
    HiveKey* machineKey() const { return m_machine; }
    HiveKey* usersKey() const { return m_users; }
    HiveKey* currentUserKey() const { return m_currentUser; }
    const std::u16string& userSid() const { return m_userSid; }

    /// Records a change of `key` (its time, and its hive as changed).
    void touch(HiveKey& key);
    /// The time changes are stamped with.
    win::FILETIME now() const;

    const std::vector<std::unique_ptr<Hive>>& hives() const { return m_hives; }

    /// Counts one reader on another thread for as long as it lives. Made on the thread that
    /// changes the tree; may end on any thread.
    class SideReaderShare
    {
    public:
        explicit SideReaderShare(const HiveStore& store);
        ~SideReaderShare();
        SideReaderShare(const SideReaderShare&) = delete;
        SideReaderShare& operator=(const SideReaderShare&) = delete;

    private:
        const HiveStore& m_store;
    };
    /// Returns once no reader on another thread holds the tree; called before every change.
    void waitForSideReaders() const;

private:
    /// The writer lock, or null when the prefix cannot be written anyway (Wine runs in it,
    /// or the user may not write its folder). Throws PrefixError when another Tidewell
    /// keeps it.
    std::unique_ptr<PrefixLock> lockForWriting() const;
    /// Why `hive` differs from what was read: which writer changed it.
    std::string changedOnDisk(const Hive& hive) const;
    void load();
    /// The save lock while the hives are read, when there is a lock file and this store may
    /// write; an interrupted save is recovered under it.
    std::unique_ptr<PrefixLock> lockForReading();
    /// Reads every hive into a new tree; the path of a hive that changed while it was read,
    /// if one did.
    std::optional<std::string> readHives();
    /// False when the file changed while it was read.
    bool readHive(Hive& hive);
    void checkArchitectures() const;
    bool filesChangedOnDisk() const;
    /// Records that Wine runs in the prefix now.
    void markHeldByWine();

    std::string m_prefixDir;
    OpenMode m_mode;
    std::unique_ptr<PrefixLock> m_writerLock;
    std::string m_readOnlyReason;
    std::unique_ptr<HiveKey> m_root;
    HiveKey* m_machine = nullptr;
    HiveKey* m_users = nullptr;
    HiveKey* m_currentUser = nullptr;
    std::u16string m_userSid;
    std::vector<std::unique_ptr<Hive>> m_hives;
    unsigned m_generation = 0;
    bool m_heldByWine = false;
    SaveObserver m_saveObserver;
    mutable std::mutex m_sideMutex;
    mutable std::condition_variable m_sideReadersGone;
    mutable int m_sideReaders = 0;
};

} // namespace tw::wine
