#include "WinePrefix.h"

#include "AtomicFile.h"
#include "WineFiles.h"
#include "WineRegistry.h"
#include "WineRegistryEditor.h"
#include "WineServer.h"
#include "WineShell.h"
#include "WineSystem.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tw::wine {

namespace {

constexpr std::u16string_view kDefaultUserSid = u"S-1-5-21-0-0-0-1000";

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string quoteForShell(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

} // namespace

FileIdentity FileIdentity::of(const std::string& path)
{
    FileIdentity id;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return id;
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return id;
}

std::string wineRunningMessage(const std::string& prefixDir)
{
    return "Wine is running in the prefix " + prefixDir +
           " (its wineserver keeps the registry and would overwrite any change), so it is "
           "open read-only. Close the Windows programs or stop Wine with: WINEPREFIX=" +
           quoteForShell(prefixDir) + " wineserver -k";
}

namespace {

/// The registry's storage: the prefix's hive files.
class HiveStorage final : public platform::Storage
{
public:
    explicit HiveStorage(WinePrefix& prefix) : m_prefix(prefix) {}
    std::string writeRefusal() override { return m_prefix.writeRefusal(); }
    void commit() override
    {
        try {
            m_prefix.save();
        } catch (const PrefixError& e) {
            throw platform::StorageError(e.what());
        }
    }
    void rollback() override { m_prefix.revert(); }

private:
    WinePrefix& m_prefix;
};

/// Why the user may not write the prefix's folder or its hives; empty when they may.
std::string permissionRefusal(const std::string& hostDir,
                              const std::vector<std::unique_ptr<Hive>>& hives)
{
    std::vector<std::string> paths{hostDir};
    for (const auto& hive : hives)
        paths.push_back(hive->hostPath());
    for (const std::string& path : paths) {
        if (::access(path.c_str(), W_OK) != 0)
            return "You may not write to " + path + " (" + std::strerror(errno) +
                   "), so the prefix " + hostDir + " is open read-only.";
    }
    return std::string();
}

} // namespace

WinePrefix::WinePrefix(std::string hostDir, OpenMode mode)
    : m_hostDir(std::move(hostDir)), m_mode(mode)
{
    while (m_hostDir.size() > 1 && m_hostDir.back() == '/')
        m_hostDir.pop_back();
    if (!isDirectory(m_hostDir))
        throw PrefixError("There is no Wine prefix at " + m_hostDir + " (no such folder)");
    if (!isFile(m_hostDir + "/system.reg") || !isFile(m_hostDir + "/user.reg"))
        throw PrefixError(m_hostDir +
                          " is not a Wine prefix: system.reg or user.reg is missing (run "
                          "\"wineboot -i\" with WINEPREFIX set to it first)");
    load();
    if (runningWineserver(m_hostDir))
        m_readOnlyReason = wineRunningMessage(m_hostDir);
    else if (m_mode == OpenMode::Normal)
        m_readOnlyReason = permissionRefusal(m_hostDir, m_hives);

    m_registry = std::make_unique<WineRegistry>(*this);
    m_files = std::make_unique<WineFiles>(*this);
    m_system = std::make_unique<WineSystem>(*this);
    m_editor = std::make_unique<WineRegistryEditor>(*this);
    m_shell = std::make_unique<WineShell>(*this);
    m_storage = std::make_unique<HiveStorage>(*this);
    if (m_mode == OpenMode::Preview)
        m_files->refuseWrites();
    m_platform.registry = m_registry.get();
    m_platform.files = m_files.get();
    m_platform.system = m_system.get();
    m_platform.registryEditor = m_editor.get();
    m_platform.shell = m_shell.get();
    m_platform.storage = m_storage.get();
}

WinePrefix::~WinePrefix() = default;

void WinePrefix::load()
{
    m_hives.clear();
    m_root = std::make_unique<HiveKey>(u"REGISTRY");
    m_machine = m_root->addSubkey(u"Machine");
    m_users = m_root->addSubkey(u"User");
    m_currentUser = nullptr;

    const char* files[] = {"system.reg", "userdef.reg", "user.reg"};
    for (const char* name : files) {
        const std::string path = m_hostDir + "/" + name;
        if (std::string_view(name) == "userdef.reg" && !isFile(path))
            continue;
        m_hives.push_back(std::make_unique<Hive>(name, path));
        loadHive(*m_hives.back());
    }
    checkArchitectures();
}

void WinePrefix::loadHive(Hive& hive)
{
    const std::string& name = hive.fileName();
    auto baseFor = [&](const HiveHeader& header) -> HiveKey* {
        HiveKey* base = nullptr;
        if (name == "system.reg") {
            base = m_machine;
        } else if (name == "userdef.reg") {
            base = m_users->addSubkey(u".Default");
        } else {
            // The user's key is named by the header; Wine's default SID otherwise.
            std::u16string sid(kDefaultUserSid);
            constexpr std::u16string_view userPrefix = u"REGISTRY\\User\\";
            if (header.relativeTo.size() > userPrefix.size() &&
                platform::equalNamesNoCase(header.relativeTo.substr(0, userPrefix.size()),
                                           userPrefix))
                sid = header.relativeTo.substr(userPrefix.size());
            m_userSid = sid;
            base = m_currentUser = m_users->addSubkey(sid);
        }
        base->setHiveBase(&hive);
        hive.setBase(base);
        return base;
    };

    // Read again when the file changed while it was read (Wine saving it just then).
    for (int attempt = 0;; ++attempt) {
        const FileIdentity before = FileIdentity::of(hive.hostPath());
        try {
            hive.header() = readHiveFile(hive.hostPath(), baseFor);
        } catch (const HiveFormatError& e) {
            throw PrefixError(std::string("Damaged registry file: ") + e.what() +
                              ". Tidewell will not change this prefix.");
        } catch (const std::system_error& e) {
            throw PrefixError(std::string("Cannot read ") + hive.hostPath() + ": " +
                              e.code().message());
        }
        if (FileIdentity::of(hive.hostPath()) == before) {
            hive.setIdentity(before);
            return;
        }
        if (attempt == 2)
            throw PrefixError(hive.hostPath() + " keeps changing while it is read; is Wine "
                                                "running in the prefix?");
        // Start over with an empty hive.
        if (HiveKey* parent = hive.base()->parent()) {
            parent->takeSubkey(hive.base());
            hive.setBase(nullptr);
        }
        if (name == "system.reg")
            m_machine = m_root->addSubkey(u"Machine");
    }
}

void WinePrefix::checkArchitectures() const
{
    const Hive* reference = nullptr;
    for (const auto& hive : m_hives) {
        if (hive->header().arch.empty())
            continue;
        if (!reference) {
            reference = hive.get();
            continue;
        }
        if (hive->header().arch != reference->header().arch)
            throw PrefixError("Damaged registry file: " + hive->hostPath() + " line " +
                              std::to_string(hive->header().archLine) +
                              ": #arch=" + hive->header().arch +
                              " does not match #arch=" + reference->header().arch + " of " +
                              reference->fileName() + ". Tidewell will not change this prefix.");
    }
}

bool WinePrefix::hasUnsavedChanges() const
{
    for (const auto& hive : m_hives) {
        if (hive->isDirty())
            return true;
    }
    return false;
}

std::string WinePrefix::writeRefusal()
{
    if (isReadOnly())
        return m_readOnlyReason;
    if (m_mode == OpenMode::Preview)
        return std::string();
    if (runningWineserver(m_hostDir)) {
        m_readOnlyReason = wineRunningMessage(m_hostDir);
        return m_readOnlyReason;
    }
    for (const auto& hive : m_hives) {
        if (!(FileIdentity::of(hive->hostPath()) == hive->identity()))
            return hive->hostPath() +
                   " changed on disk after Tidewell read it (Wine or another program wrote "
                   "it). Open the prefix again and repeat the change.";
    }
    return permissionRefusal(m_hostDir, m_hives);
}

void WinePrefix::save()
{
    if (!hasUnsavedChanges() || m_mode == OpenMode::Preview)
        return;
    if (isReadOnly())
        throw PrefixError(m_readOnlyReason);
    if (runningWineserver(m_hostDir)) {
        m_readOnlyReason = wineRunningMessage(m_hostDir);
        throw PrefixError("Nothing was saved. " + m_readOnlyReason);
    }
    for (const auto& hive : m_hives) {
        if (hive->isDirty() && !(FileIdentity::of(hive->hostPath()) == hive->identity()))
            throw PrefixError(hive->hostPath() +
                              " changed on disk after Tidewell read it (Wine or another "
                              "program wrote it); nothing was saved. Open the prefix again "
                              "and repeat the change.");
    }
    for (const auto& hive : m_hives) {
        if (!hive->isDirty())
            continue;
        try {
            writeFileAtomically(hive->hostPath(),
                                [&](const std::function<void(std::string_view)>& sink) {
                                    writeHive(*hive->base(), hive->header().prologue, sink);
                                });
        } catch (const std::system_error& e) {
            throw PrefixError("Cannot save " + hive->hostPath() + ": " + e.code().message());
        }
        hive->setIdentity(FileIdentity::of(hive->hostPath()));
        hive->setDirty(false);
    }
}

void WinePrefix::revert()
{
    m_registry->invalidateHandles();
    load();
}

void WinePrefix::touch(HiveKey& key)
{
    key.setModified(now());
    if (Hive* hive = key.hive())
        hive->setDirty(true);
}

FILETIME WinePrefix::now() const
{
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return TICKS_1601_TO_1970 + static_cast<FILETIME>(since1970.count() / 100);
}

} // namespace tw::wine
