#include "UndoBackup.h"

#include "BackupSeal.h"
#include "BackupWriter.h"
#include "platform/RegFile.h"
#include "platform/RootKeys.h"
#include "platform/TextCodec.h"
#include "registry/Session.h"

#include <optional>
#include <set>
#include <stdexcept>

namespace tw {

RegistryChange RegistryChange::setValue(std::string key, std::string name, win::DWORD type,
                                        std::string data)
{
    return {Kind::SetValue, std::move(key), std::move(name), type, std::move(data)};
}

RegistryChange RegistryChange::deleteValue(std::string key, std::string name)
{
    return {Kind::DeleteValue, std::move(key), std::move(name), 0, {}};
}

RegistryChange RegistryChange::deleteKey(std::string key)
{
    return {Kind::DeleteKey, std::move(key), {}, 0, {}};
}

RegistryChange RegistryChange::createKey(std::string key)
{
    return {Kind::CreateKey, std::move(key), {}, 0, {}};
}

namespace {

using platform::KeyHandle;
using platform::KeyPath;

/// The change's key; throws for an unknown root or a root itself.
KeyPath keyOf(const RegistryChange& change)
{
    std::optional<KeyPath> key = platform::parseKeyPath(change.key);
    if (!key)
        throw std::runtime_error("unknown registry root in " + change.key);
    if (key->subKey.empty())
        throw std::runtime_error("a root key cannot be changed: " + change.key);
    return *key;
}

std::string fullPath(const KeyPath& key, std::string_view subKey)
{
    return key.rootName + "\\" + std::string(subKey);
}

/// The highest key of `key`'s path that does not exist, or nothing when the key exists.
std::optional<std::string> highestMissing(platform::Registry& registry, const KeyPath& key)
{
    size_t end = 0;
    while (end != std::string::npos) {
        end = key.subKey.find('\\', end + 1);
        const std::string_view path = std::string_view(key.subKey).substr(0, end);
        KeyHandle handle(registry);
        if (registry.openKey(key.root, path, win::KEY_READ, handle.out()) != win::ERROR_SUCCESS)
            return fullPath(key, path);
    }
    return std::nullopt;
}

/// `key`'s path with each name as the registry stores it, so that a key put back by the
/// backup gets its own letter case, not the caller's.
std::string storedPath(platform::Registry& registry, const KeyPath& key)
{
    std::string stored;
    size_t begin = 0;
    while (begin <= key.subKey.size()) {
        size_t end = key.subKey.find('\\', begin);
        if (end == std::string::npos)
            end = key.subKey.size();
        const std::string_view name = std::string_view(key.subKey).substr(begin, end - begin);
        std::string found(name);
        KeyHandle parent(registry);
        if (registry.openKey(key.root, stored, win::KEY_READ, parent.out()) == win::ERROR_SUCCESS) {
            std::string candidate;
            for (win::DWORD i = 0;
                 registry.enumKey(parent.get(), i, &candidate) == win::ERROR_SUCCESS; ++i) {
                if (platform::equalNoCase(candidate, name)) {
                    found = candidate;
                    break;
                }
            }
        }
        stored += (stored.empty() ? "" : "\\") + found;
        begin = end + 1;
    }
    return fullPath(key, stored);
}

/// Collects the undo lines: keys to delete first, then whole keys, then single values, so
/// that the file gives the state before the changes whatever their order was.
class UndoPlan
{
public:
    explicit UndoPlan(platform::Registry& registry) : m_registry(registry) {}

    void add(const RegistryChange& change)
    {
        const KeyPath key = keyOf(change);
        if (const std::optional<std::string> missing = highestMissing(m_registry, key)) {
            if (change.kind != RegistryChange::Kind::DeleteKey &&
                change.kind != RegistryChange::Kind::DeleteValue)
                addOnce(m_newKeys, m_seenNewKeys, *missing);
            return;
        }
        const std::string path = fullPath(key, key.subKey);
        switch (change.kind) {
        case RegistryChange::Kind::CreateKey:
            return;
        case RegistryChange::Kind::DeleteKey:
            addOnce(m_wholeKeys, m_seenWholeKeys, storedPath(m_registry, key));
            return;
        case RegistryChange::Kind::DeleteValue:
            if (!valueExists(key, change.valueName))
                return;
            [[fallthrough]];
        case RegistryChange::Kind::SetValue:
            if (m_seenValues.insert(lower(path) + '\n' + lower(change.valueName)).second)
                m_values.push_back({path, change.valueName});
            return;
        }
    }

    bool empty() const { return m_newKeys.empty() && m_wholeKeys.empty() && m_values.empty(); }

    void write(platform::RegFileWriter& writer)
    {
        for (const std::string& path : m_newKeys)
            writer.addKeyDeletion(path);
        for (const std::string& path : m_wholeKeys) {
            const KeyPath key = *platform::parseKeyPath(path);
            KeyHandle handle(m_registry);
            if (const win::LONG rc =
                    m_registry.openKey(key.root, key.subKey, win::KEY_READ, handle.out()))
                throw std::runtime_error("cannot read the key " + path + " (error " +
                                         std::to_string(rc) + ")");
            // Cleared first, so that what is added to it after the backup goes too.
            writer.addKeyDeletion(path);
            writer.addKeyTree(handle.get(), path);
        }
        for (const Value& value : m_values) {
            const KeyPath key = *platform::parseKeyPath(value.key);
            KeyHandle handle(m_registry);
            win::DWORD type = 0;
            std::string data;
            win::LONG rc = m_registry.openKey(key.root, key.subKey, win::KEY_READ, handle.out());
            if (rc == win::ERROR_SUCCESS)
                rc = m_registry.queryValue(handle.get(), value.name, &type, &data);
            writer.addKeyLine(value.key);
            if (rc == win::ERROR_SUCCESS)
                writer.addValue(storedName(handle.get(), value.name), type, data);
            else if (rc == win::ERROR_FILE_NOT_FOUND)
                writer.addValueDeletion(value.name);
            else
                throw std::runtime_error("cannot read the value \"" + value.name + "\" of " +
                                         value.key + " (error " + std::to_string(rc) + ")");
        }
    }

private:
    struct Value
    {
        std::string key;
        std::string name;
    };

    /// The registry's case folding, so that names differing only in case count once.
    static std::string lower(std::string_view text)
    {
        std::u16string units = platform::utf8ToUtf16(text);
        for (char16_t& unit : units)
            unit = platform::foldCase(unit);
        return platform::utf16ToUtf8(units);
    }

    /// The value's name as the key stores it, so that it comes back in its own letter case.
    std::string storedName(win::HKEY key, const std::string& name)
    {
        std::string candidate;
        for (win::DWORD i = 0;
             m_registry.enumValue(key, i, &candidate, nullptr, nullptr) == win::ERROR_SUCCESS;
             ++i) {
            if (platform::equalNoCase(candidate, name))
                return candidate;
        }
        return name;
    }

    bool valueExists(const KeyPath& key, const std::string& name)
    {
        KeyHandle handle(m_registry);
        return m_registry.openKey(key.root, key.subKey, win::KEY_READ, handle.out()) ==
                   win::ERROR_SUCCESS &&
               m_registry.queryValue(handle.get(), name, nullptr, nullptr) !=
                   win::ERROR_FILE_NOT_FOUND;
    }

    static void addOnce(std::vector<std::string>& paths, std::set<std::string>& seen,
                        const std::string& path)
    {
        if (seen.insert(lower(path)).second)
            paths.push_back(path);
    }

    platform::Registry& m_registry;
    std::vector<std::string> m_newKeys;
    std::vector<std::string> m_wholeKeys;
    std::vector<Value> m_values;
    std::set<std::string> m_seenNewKeys;
    std::set<std::string> m_seenWholeKeys;
    std::set<std::string> m_seenValues;
};

std::string errorText(const std::string& what, win::LONG rc)
{
    return what + " (error " + std::to_string(rc) + ")";
}

} // namespace

UndoBackupOutcome WriteUndoBackup(const Session& session, std::string_view undoes,
                                  const std::vector<RegistryChange>& changes,
                                  const std::vector<KeptFile>& files)
{
    UndoBackupOutcome outcome;
    std::string bytes;
    try {
        UndoPlan plan(session.registry());
        for (const RegistryChange& change : changes)
            plan.add(change);
        if (plan.empty() && files.empty())
            return outcome;
        platform::RegFileWriter writer = NewBackupFileWriter(session);
        plan.write(writer);
        bytes = SealBackup(writer.finish(), MachineIdentity(session));
    } catch (const std::exception& e) {
        outcome.error = std::string("The backup could not be made: ") + e.what();
        return outcome;
    }
    if (!CreateBackupFolder(session)) {
        outcome.error = "cannot create the folder " + BackupFolder();
        return outcome;
    }
    std::string path = NewBackupPath(session, std::string(undoes) + " Backup");
    if (std::string error = WriteBackupBytes(session, path, bytes); !error.empty()) {
        outcome.error = std::move(error);
        return outcome;
    }
    if (std::string error = SaveFilesIntoBackup(session, path, files); !error.empty()) {
        session.files().deleteFile(path);
        outcome.error = std::move(error);
        return outcome;
    }
    outcome.path = std::move(path);
    return outcome;
}

std::string ApplyRegistryChanges(const Session& session, const std::vector<RegistryChange>& changes)
{
    platform::Registry& registry = session.registry();
    for (const RegistryChange& change : changes) {
        KeyPath key;
        try {
            key = keyOf(change);
        } catch (const std::exception& e) {
            return e.what();
        }
        KeyHandle handle(registry);
        switch (change.kind) {
        case RegistryChange::Kind::SetValue:
            if (const win::LONG rc =
                    registry.createKey(key.root, key.subKey, win::KEY_ALL_ACCESS, handle.out()))
                return errorText("cannot create the key " + change.key, rc);
            if (const win::LONG rc =
                    registry.setValue(handle.get(), change.valueName, change.type, change.data))
                return errorText(
                    "cannot set the value \"" + change.valueName + "\" of " + change.key, rc);
            break;
        case RegistryChange::Kind::DeleteValue:
            if (const win::LONG rc =
                    registry.openKey(key.root, key.subKey, win::KEY_ALL_ACCESS, handle.out()))
                return errorText("cannot open the key " + change.key, rc);
            if (const win::LONG rc = registry.deleteValue(handle.get(), change.valueName))
                return errorText(
                    "cannot delete the value \"" + change.valueName + "\" of " + change.key, rc);
            break;
        case RegistryChange::Kind::DeleteKey:
            if (const win::LONG rc = platform::deleteKeyTree(registry, key.root, key.subKey))
                return errorText("cannot delete the key " + change.key, rc);
            break;
        case RegistryChange::Kind::CreateKey:
            if (const win::LONG rc =
                    registry.createKey(key.root, key.subKey, win::KEY_ALL_ACCESS, handle.out()))
                return errorText("cannot create the key " + change.key, rc);
            break;
        }
    }
    return std::string();
}

bool DiscardUndoBackup(const Session& session, const std::string& path)
{
    platform::Files& files = session.files();
    if (files.fileExists(path) && !files.deleteFile(path))
        return false;
    return RemoveBackupFiles(session, path);
}

} // namespace tw
