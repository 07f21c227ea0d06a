#include "WinePrefix.h"

#include "WineFiles.h"
#include "WineHelperRun.h"
#include "WineInstallation.h"
#include "WineProcesses.h"
#include "WinePrograms.h"
#include "WineRegistry.h"
#include "WineRegistryEditor.h"
#include "WineShell.h"
#include "WineSystem.h"
#include "WineUrlCache.h"

#include <filesystem>

namespace tw::wine {

namespace {

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

/// The registry's storage: the prefix's hive files.
class HiveStorage final : public platform::Storage
{
public:
    HiveStorage(HiveStore& store, WinePrograms& programs, WineRegistry& registry)
        : m_store(store), m_programs(programs), m_registry(registry)
    {
    }
    std::string writeRefusal() override { return m_store.writeRefusal(); }
    void commit() override
    {
        try {
            m_store.save();
        } catch (const PrefixError& e) {
            throw platform::StorageError(e.what());
        }
    }
    void rollback() override { m_store.revert(); }
    std::string readOnlyReason() override { return m_store.readOnlyReason(); }
    bool refresh() override
    {
        // Not under the feet of a routine that has keys open, nor while Wine still runs.
        if (m_registry.openHandleCount() > 0 || (m_store.isHeldByWine() && m_programs.busy()))
            return false;
        try {
            return m_store.followWine();
        } catch (const PrefixError& e) {
            throw platform::StorageError(e.what());
        }
    }

private:
    HiveStore& m_store;
    WinePrograms& m_programs;
    WineRegistry& m_registry;
};

/// Registry, files, system and shell over the same tree and drives, for another thread.
class WineSideReader final : public platform::SideReader
{
public:
    WineSideReader(HiveStore& store, const WinePathMapper& paths)
        : m_share(store), m_paths(WinePathMapper::sharingListingsWith(paths)), m_registry(store),
          m_files(*m_paths, m_registry), m_system(m_registry, store), m_shell(*m_paths)
    {
        // Only read through: a change from here would wait for this reader itself.
        m_registry.refuseWrites();
        m_files.refuseWrites();
        m_shell.refuseWrites();
        m_platform.registry = &m_registry;
        m_platform.files = &m_files;
        m_platform.system = &m_system;
        m_platform.shell = &m_shell;
    }
    const platform::Platform& platform() const override { return m_platform; }

private:
    HiveStore::SideReaderShare m_share;
    std::unique_ptr<WinePathMapper> m_paths;
    WineRegistry m_registry;
    WineFiles m_files;
    WineSystem m_system;
    WineShell m_shell;
    platform::Platform m_platform;
};

} // namespace

WinePrefix::WinePrefix(std::string hostDir, OpenMode mode)
    : m_hiveStore(std::make_unique<HiveStore>(withoutTrailingSlashes(std::move(hostDir)), mode))
{
    m_paths = std::make_unique<WinePathMapper>(m_hiveStore->prefixDir());
    m_registry = std::make_unique<WineRegistry>(*m_hiveStore);
    m_files = std::make_unique<WineFiles>(*m_paths, *m_registry);
    m_system = std::make_unique<WineSystem>(*m_registry, *m_hiveStore);
    m_editor = std::make_unique<WineRegistryEditor>(*m_registry, *m_hiveStore, *m_paths);
    m_shell = std::make_unique<WineShell>(*m_paths);
    m_programs = std::make_unique<WinePrograms>(*m_hiveStore, *m_paths);
    m_storage = std::make_unique<HiveStorage>(*m_hiveStore, *m_programs, *m_registry);
    m_programs->setRefresh([this] { m_storage->refresh(); });
    m_installation =
        std::make_unique<WineInstallation>(m_hiveStore->prefixDir(), mode == OpenMode::Preview);
    m_processes = std::make_unique<WineProcesses>(*m_paths);
    m_urlCache = std::make_unique<WineUrlCache>(
        urlCacheHelperPath(),
        [this](const std::string& helper, const std::vector<std::string>& arguments) {
            // Wine would set up a prefix it did not make (the demo prefix) from scratch.
            const char* wininet = "C:\\windows\\system32\\wininet.dll";
            const std::optional<std::string> library = m_paths->toHost(wininet);
            if (!library || !std::filesystem::is_regular_file(*library))
                throw platform::UrlCacheError(
                    std::string("The URL cache cannot be reached: Wine has not set up this "
                                "prefix (") +
                    wininet + " is missing)");
            return runHelper(*m_programs, *m_paths, helper, arguments);
        });
    if (mode == OpenMode::Preview) {
        m_files->refuseWrites();
        m_shell->refuseWrites();
        m_programs->refuseStarts();
    }
    m_platform.registry = m_registry.get();
    m_platform.files = m_files.get();
    m_platform.system = m_system.get();
    m_platform.registryEditor = m_editor.get();
    m_platform.shell = m_shell.get();
    m_platform.storage = m_storage.get();
    m_platform.installation = m_installation.get();
    m_platform.processes = m_processes.get();
    m_platform.programs = m_programs.get();
    m_platform.urlCache = m_urlCache.get();
    m_platform.sideReader = [this]() -> std::unique_ptr<platform::SideReader> {
        return std::make_unique<WineSideReader>(*m_hiveStore, *m_paths);
    };
}

WinePrefix::~WinePrefix() = default;

} // namespace tw::wine
