// A Wine prefix opened by Tidewell: its hive store, drives and the platform over them.
#pragma once

#include "WinePlatformOnly.h"

#include "HiveStore.h"
#include "WinePaths.h"
#include "platform/Platform.h"

#include <memory>
#include <string>
#include <vector>

namespace tw::wine {

class WineRegistry;
class WineFiles;
class WineSystem;
class WineRegistryEditor;
class WineShell;
class WineInstallation;
class WineProcesses;
class WinePrograms;
class WineUrlCache;

/// Composes the parts of a prefix: the hive store, the path mapper and the services over
/// them, each given only the parts it needs.
class WinePrefix
{
public:
    /// Opens the prefix folder and reads its hives. Throws PrefixError for a missing prefix
    /// or a damaged hive (naming the file and line). In a preview nothing of the prefix is
    /// ever changed on disk.
    explicit WinePrefix(std::string hostDir, OpenMode mode = OpenMode::Normal);
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const std::string& hostPath() const { return m_hiveStore->prefixDir(); }

    /// Set when Wine runs in the prefix: reading works, every write is refused.
    bool isReadOnly() const { return m_hiveStore->isReadOnly(); }
    const std::string& readOnlyReason() const { return m_hiveStore->readOnlyReason(); }

    /// Writes every changed hive. Refuses (PrefixError) when Wine now runs in the prefix or
    /// a hive changed on disk since it was read; then nothing is written.
    void save() { m_hiveStore->save(); }
    bool hasUnsavedChanges() const { return m_hiveStore->hasUnsavedChanges(); }
    /// Forgets unsaved changes by reading the hives again; open key handles become invalid.
    void revert() { m_hiveStore->revert(); }
    /// Why a change made now could not be saved; empty when it could be.
    std::string writeRefusal() { return m_hiveStore->writeRefusal(); }

    HiveStore& hiveStore() { return *m_hiveStore; }
    const std::vector<std::unique_ptr<Hive>>& hives() const { return m_hiveStore->hives(); }

    WineRegistry& registry() { return *m_registry; }
    WineFiles& files() { return *m_files; }
    WineSystem& system() { return *m_system; }
    WineRegistryEditor& registryEditor() { return *m_editor; }
    WineShell& shell() { return *m_shell; }
    WineInstallation& installation() { return *m_installation; }
    WineProcesses& processes() { return *m_processes; }
    WinePrograms& programs() { return *m_programs; }
    WineUrlCache& urlCache() { return *m_urlCache; }
    platform::Storage& storage() { return *m_storage; }
    /// The platform interfaces over this prefix.
    const platform::Platform& platform() const { return m_platform; }

private:
    std::unique_ptr<HiveStore> m_hiveStore;
    std::unique_ptr<WinePathMapper> m_paths;
    std::unique_ptr<WineRegistry> m_registry;
    std::unique_ptr<WineFiles> m_files;
    std::unique_ptr<WineSystem> m_system;
    std::unique_ptr<WineRegistryEditor> m_editor;
    std::unique_ptr<WineShell> m_shell;
    std::unique_ptr<WineInstallation> m_installation;
    std::unique_ptr<WineProcesses> m_processes;
    std::unique_ptr<WinePrograms> m_programs;
    std::unique_ptr<WineUrlCache> m_urlCache;
    std::unique_ptr<platform::Storage> m_storage;
    platform::Platform m_platform;
};

} // namespace tw::wine
