// A Wine prefix opened by Tidewell: its registry hives, drives and the platform over them.
#pragma once

#include "Hive.h"
#include "platform/Platform.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::wine {

class WineRegistry;
class WineFiles;
class WineSystem;
class WineRegistryEditor;
class WineShell;

/// A prefix that cannot be opened or saved; the message says why and what to do.
class PrefixError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class OpenMode
{
    Normal,
    /// Changes stay in memory: saving writes nothing and no file of the prefix is changed
    /// (for pictures of the windows).
    Preview,
};

class WinePrefix
{
public:
    /// Opens the prefix folder and reads its hives. Throws PrefixError for a missing prefix
    /// or a damaged hive (naming the file and line). A prefix the user may not write is
    /// open read-only.
    explicit WinePrefix(std::string hostDir, OpenMode mode = OpenMode::Normal);
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const std::string& hostPath() const { return m_hostDir; }

    /// Set when Wine runs in the prefix: reading works, every write is refused.
    bool isReadOnly() const { return !m_readOnlyReason.empty(); }
    const std::string& readOnlyReason() const { return m_readOnlyReason; }

    bool isPreview() const { return m_mode == OpenMode::Preview; }

    /// Writes every changed hive, each atomically. Refuses (PrefixError) when Wine now runs
    /// in the prefix or a hive changed on disk since it was read; then nothing is written.
    /// A preview writes nothing.
    void save();
    /// Why a change made now could not be saved (see save()); empty when it could be.
    std::string writeRefusal();
    bool hasUnsavedChanges() const;
    /// Forgets unsaved changes by reading the hives again; open key handles become invalid.
    void revert();

    /// The tree's top key (REGISTRY) and the keys the roots map to.
    HiveKey& registryRoot() { return *m_root; }
    HiveKey* machineKey() const { return m_machine; }
    HiveKey* usersKey() const { return m_users; }
    HiveKey* currentUserKey() const { return m_currentUser; }
    const std::u16string& userSid() const { return m_userSid; }

    /// Records a change of `key` (its time, and its hive as changed).
    void touch(HiveKey& key);
    FILETIME now() const;

    const std::vector<std::unique_ptr<Hive>>& hives() const { return m_hives; }

    WineRegistry& registry() { return *m_registry; }
    WineFiles& files() { return *m_files; }
    WineSystem& system() { return *m_system; }
    WineRegistryEditor& registryEditor() { return *m_editor; }
    WineShell& shell() { return *m_shell; }
    platform::Storage& storage() { return *m_storage; }
    /// The platform interfaces over this prefix, for the session.
    const platform::Platform& platform() const { return m_platform; }

private:
    void load();
    void loadHive(Hive& hive);
    void checkArchitectures() const;

    std::string m_hostDir;
    OpenMode m_mode;
    std::string m_readOnlyReason;
    std::unique_ptr<HiveKey> m_root;
    HiveKey* m_machine = nullptr;
    HiveKey* m_users = nullptr;
    HiveKey* m_currentUser = nullptr;
    std::u16string m_userSid;
    std::vector<std::unique_ptr<Hive>> m_hives;

    std::unique_ptr<WineRegistry> m_registry;
    std::unique_ptr<WineFiles> m_files;
    std::unique_ptr<WineSystem> m_system;
    std::unique_ptr<WineRegistryEditor> m_editor;
    std::unique_ptr<WineShell> m_shell;
    std::unique_ptr<platform::Storage> m_storage;
    platform::Platform m_platform;
};

/// The message for a prefix in which Wine runs.
std::string wineRunningMessage(const std::string& prefixDir);

} // namespace tw::wine
