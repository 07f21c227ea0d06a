#include "HiveStore.h"

#include "PathKinds.h"
#include "PrefixLock.h"
#include "SaveRecord.h"
#include "WineServer.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tw::wine {

using namespace tw::win;

namespace {

constexpr std::u16string_view kDefaultUserSid = u"S-1-5-21-0-0-0-1000";
const std::vector<std::string> kHiveFiles = {"system.reg", "userdef.reg", "user.reg"};


} // namespace

namespace {

/// Why the user may not write the prefix's folder or its hives; empty when they may.
std::string permissionRefusal(const std::string& prefixDir,
                              const std::vector<std::unique_ptr<Hive>>& hives)
{
    std::vector<std::string> paths{prefixDir};
    for (const auto& hive : hives)
        paths.push_back(hive->hostPath());
    for (const std::string& path : paths) {
        if (::access(path.c_str(), W_OK) != 0)
            return "You may not write to " + path + " (" + std::strerror(errno) +
                   "), so the prefix " + prefixDir + " is open read-only.";
    }
    return std::string();
}

} // namespace

HiveStore::HiveStore(std::string prefixDir, OpenMode mode)
    : m_prefixDir(std::move(prefixDir)), m_mode(mode)
{
    if (!isDirectory(m_prefixDir))
        throw PrefixError("There is no Wine prefix at " + m_prefixDir + " (no such folder)");
    if (!isRegularFile(m_prefixDir + "/system.reg") || !isRegularFile(m_prefixDir + "/user.reg"))
        throw PrefixError(m_prefixDir +
                          " is not a Wine prefix: system.reg or user.reg is missing (run "
                          "\"wineboot -i\" with WINEPREFIX set to it first)");
    if (runningWineserver(m_prefixDir))
        markHeldByWine();
    else if (m_mode == OpenMode::Writer)
        m_writerLock = lockForWriting();
    load();
    if (!isReadOnly() && !isPreview())
        m_readOnlyReason = permissionRefusal(m_prefixDir, m_hives);
}

HiveStore::~HiveStore() = default;

std::string HiveStore::writeRefusal()
{
    if (isReadOnly() || isPreview())
        return m_readOnlyReason;
    if (runningWineserver(m_prefixDir)) {
        markHeldByWine();
        return m_readOnlyReason;
    }
    for (const auto& hive : m_hives) {
        if (!(FileIdentity::of(hive->hostPath()) == hive->identity()))
            return changedOnDisk(*hive) + ". Open the prefix again and repeat the change.";
    }
    return permissionRefusal(m_prefixDir, m_hives);
}

std::string HiveStore::changedOnDisk(const Hive& hive) const
{
    if (savedByTidewell(m_prefixDir, hive.hostPath()))
        return hive.hostPath() +
               " changed on disk after Tidewell read it: another Tidewell saved its changes "
               "to the prefix meanwhile";
    return hive.hostPath() +
           " changed on disk after Tidewell read it (Wine or another program wrote it)";
}

std::unique_ptr<PrefixLock> HiveStore::lockForWriting() const
{
    try {
        return std::make_unique<PrefixLock>(m_prefixDir, PrefixLock::Mode::Create,
                                            PrefixLock::Kind::Writer);
    } catch (const std::system_error& e) {
        // A prefix the user may not write opens read-only; it needs no turn.
        if (e.code() == std::errc::permission_denied ||
            e.code() == std::errc::read_only_file_system)
            return nullptr;
        throw PrefixError(std::string("Cannot open the registry of ") + m_prefixDir +
                          " for writing: " + e.what());
    } catch (const std::exception& e) {
        throw PrefixError(std::string("Cannot change the registry: ") + e.what());
    }
}

void HiveStore::load()
{
    waitForSideReaders();
    // Read again when a file changed while it was read (Wine or another Tidewell saving it
    // just then); by the second reading another Tidewell has made its lock file, and its
    // saves wait for ours.
    for (int attempt = 0;; ++attempt) {
        const std::unique_ptr<PrefixLock> lock = lockForReading();
        const std::optional<std::string> changing = readHives();
        if (!changing) {
            checkArchitectures();
            return;
        }
        if (attempt == 2)
            throw PrefixError(*changing + " keeps changing while it is read; is Wine "
                                          "running in the prefix?");
    }
}

std::unique_ptr<PrefixLock> HiveStore::lockForReading()
{
    if (isReadOnly() || isPreview())
        return nullptr;
    // Not while another Tidewell saves; a save that was cut off is finished or undone before
    // anything is read, but only by the holder of the lock: without it, the files may be
    // those of a save going on right now.
    try {
        auto lock = std::make_unique<PrefixLock>(m_prefixDir, PrefixLock::Mode::IfPresent);
        if (lock->isHeld()) {
            recoverInterruptedSave(m_prefixDir, kHiveFiles);
            removeStaleRecordFiles(m_prefixDir);
        }
        return lock;
    } catch (const std::exception& e) {
        throw PrefixError(std::string("Cannot open the registry of ") + m_prefixDir + ": " +
                          e.what());
    }
}

std::optional<std::string> HiveStore::readHives()
{
    ++m_generation;
    m_hives.clear();
    m_root = HiveKey::create(u"REGISTRY");
    m_machine = m_root->addSubkey(u"Machine");
    m_users = m_root->addSubkey(u"User");
    m_currentUser = nullptr;

    for (const std::string& name : kHiveFiles) {
        const std::string path = m_prefixDir + "/" + name;
        if (name == "userdef.reg" && !isRegularFile(path))
            continue;
        m_hives.push_back(std::make_unique<Hive>(name, path));
        if (!readHive(*m_hives.back()))
            return path;
    }
    return std::nullopt;
}

bool HiveStore::readHive(Hive& hive)
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
    if (!(FileIdentity::of(hive.hostPath()) == before))
        return false;
    hive.setIdentity(before);
    return true;
}

void HiveStore::checkArchitectures() const
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

bool HiveStore::hasUnsavedChanges() const
{
    for (const auto& hive : m_hives) {
        if (hive->isDirty())
            return true;
    }
    return false;
}

void HiveStore::save()
{
    waitForSideReaders();
    if (!hasUnsavedChanges() || isPreview())
        return;
    if (isReadOnly())
        throw PrefixError(m_readOnlyReason);
    {
        // A store that read the hives without the writer lock saves in its turn too; then
        // the hives may have changed since it read them, which the check below tells.
        std::unique_ptr<PrefixLock> writerTurn;
        if (!m_writerLock)
            writerTurn = lockForWriting();
        // Our own writers save one at a time; each compares what it read with the disk
        // while it holds the lock, up to its last rename.
        std::unique_ptr<PrefixLock> lock;
        try {
            lock = std::make_unique<PrefixLock>(m_prefixDir, PrefixLock::Mode::Create);
        } catch (const std::exception& e) {
            throw PrefixError(std::string("Nothing was saved: ") + e.what());
        }
        if (runningWineserver(m_prefixDir)) {
            markHeldByWine();
            throw PrefixError("Nothing was saved. " + m_readOnlyReason);
        }
        std::vector<Replacement> files;
        try {
            recoverInterruptedSave(m_prefixDir, kHiveFiles);
            removeStaleRecordFiles(m_prefixDir);
            for (const auto& hive : m_hives) {
                if (!hive->isDirty())
                    continue;
                if (!(FileIdentity::of(hive->hostPath()) == hive->identity()))
                    throw SaveError(changedOnDisk(*hive) +
                                    "; nothing was saved. Open the prefix again and repeat "
                                    "the change.");
                files.push_back(
                    {hive->hostPath(),
                     [&hive = *hive](const std::function<void(std::string_view)>& sink) {
                         writeHive(*hive.base(), hive.header().prologue, sink);
                     },
                     hive->identity()});
            }
            replaceFiles(m_prefixDir, files, m_saveObserver);
            std::vector<std::string> written;
            for (const Replacement& file : files)
                written.push_back(file.target);
            recordSave(m_prefixDir, written);
        } catch (const std::system_error& e) {
            throw PrefixError(std::string("Cannot save the registry: ") + e.what() +
                              "; nothing was saved.");
        } catch (const SaveError& e) {
            throw PrefixError(e.what());
        }
        for (const auto& hive : m_hives) {
            if (hive->isDirty()) {
                hive->setIdentity(FileIdentity::of(hive->hostPath()));
                hive->setDirty(false);
            }
        }
    }
    // A wineserver that started while the files were replaced may have read the old ones,
    // and writes its registry back over them when it stops.
    if (runningWineserver(m_prefixDir)) {
        markHeldByWine();
        throw PrefixError("The registry was saved, but Wine started in the prefix meanwhile; "
                          "it may not see the change and may write its own registry over it. "
                          "Stop Wine and check the change. " +
                          m_readOnlyReason);
    }
}

void HiveStore::revert()
{
    load();
}

void HiveStore::markHeldByWine()
{
    m_readOnlyReason = wineRunningMessage(m_prefixDir);
    m_heldByWine = true;
}

void HiveStore::holdForWine()
{
    waitForSideReaders();
    if (!isPreview())
        markHeldByWine();
}

bool HiveStore::filesChangedOnDisk() const
{
    for (const auto& hive : m_hives) {
        if (!(FileIdentity::of(hive->hostPath()) == hive->identity()))
            return true;
    }
    return false;
}

bool HiveStore::followWine()
{
    waitForSideReaders();
    if (isPreview() || runningWineserver(m_prefixDir))
        return false;
    if (!m_heldByWine) {
        // Rewritten by someone else while nothing of ours was pending: nothing to lose.
        if (isReadOnly() || hasUnsavedChanges() || !filesChangedOnDisk())
            return false;
        load();
        return true;
    }
    // With changes pending, the files stay unread: a save then refuses if Wine rewrote them.
    const std::string reason = std::move(m_readOnlyReason);
    m_readOnlyReason.clear();
    if (!hasUnsavedChanges()) {
        try {
            load();
        } catch (...) {
            m_readOnlyReason = reason;
            throw;
        }
    }
    m_heldByWine = false;
    m_readOnlyReason = permissionRefusal(m_prefixDir, m_hives);
    return true;
}

HiveStore::SideReaderShare::SideReaderShare(const HiveStore& store) : m_store(store)
{
    const std::lock_guard<std::mutex> lock(store.m_sideMutex);
    ++store.m_sideReaders;
}

HiveStore::SideReaderShare::~SideReaderShare()
{
    const std::lock_guard<std::mutex> lock(m_store.m_sideMutex);
    if (--m_store.m_sideReaders == 0)
        m_store.m_sideReadersGone.notify_all();
}

void HiveStore::waitForSideReaders() const
{
    std::unique_lock<std::mutex> lock(m_sideMutex);
    m_sideReadersGone.wait(lock, [this] { return m_sideReaders == 0; });
}

void HiveStore::touch(HiveKey& key)
{
    key.setModified(now());
    if (Hive* hive = key.hive())
        hive->setDirty(true);
}

FILETIME HiveStore::now() const
{
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return TICKS_1601_TO_1970 + static_cast<FILETIME>(since1970.count() / 100);
}

} // namespace tw::wine
