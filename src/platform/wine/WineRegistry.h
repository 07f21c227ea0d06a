// The registry functions over the hives of a Wine prefix.
#pragma once

#include "WinePlatformOnly.h"

#include "HiveKey.h"
#include "platform/Registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw::wine {

class HiveStore;

/// The registry functions over the key tree of a hive store.
class WineRegistry final : public platform::Registry
{
public:
    explicit WineRegistry(HiveStore& store);

    win::LONG openKey(win::HKEY key, std::string_view subKey, win::REGSAM access, win::HKEY* result,
                      win::DWORD options = 0) override;
    win::LONG createKey(win::HKEY key, std::string_view subKey, win::REGSAM access,
                        win::HKEY* result, bool* created = nullptr) override;
    win::LONG closeKey(win::HKEY key) override;
    win::LONG flushKey(win::HKEY key) override;
    win::LONG queryInfoKey(win::HKEY key, platform::KeyInfo* info) override;
    win::LONG enumKey(win::HKEY key, win::DWORD index, std::string* name) override;
    win::LONG enumValue(win::HKEY key, win::DWORD index, std::string* name, win::DWORD* type,
                        std::string* data) override;
    win::LONG queryValue(win::HKEY key, std::string_view name, win::DWORD* type,
                         std::string* data) override;
    win::LONG setValue(win::HKEY key, std::string_view name, win::DWORD type,
                       std::string_view data) override;
    win::LONG deleteValue(win::HKEY key, std::string_view name) override;
    win::LONG deleteKey(win::HKEY key, std::string_view subKey) override;

    size_t openHandleCount() const { return m_openHandles; }
    /// From now on every change fails with ERROR_ACCESS_DENIED.
    void refuseWrites() { m_writesRefused = true; }

private:
    /// A slot of the handle table. A handle names its slot and the slot's generation, which
    /// moves on when the handle is closed: a closed handle is never taken for a newer one.
    struct OpenKey
    {
        HiveKey* key = nullptr;
        win::REGSAM access = 0;
        std::uint32_t generation = 1;
        bool open = false;
    };

    /// Forgets every open handle when the store read its hives again (asked at every call).
    void followStore();
    void adoptStoreGeneration();
    win::LONG lookup(win::HKEY handle, win::REGSAM needed, HiveKey** key);
    HiveKey* predefinedKey(win::HKEY handle) const;
    /// HKLM\Software\Classes, asked for at every use of HKEY_CLASSES_ROOT: kept while it
    /// stands when it was reached without a link (it cannot move then, only be deleted).
    HiveKey* classesRoot() const;
    mutable HiveKey* m_classesRoot = nullptr;
    /// Walks `path` below `base`, following registry links (but the last one when
    /// `openLink`); creates missing keys if asked.
    win::LONG walk(HiveKey* base, std::string_view path, bool create, HiveKey** result,
                   bool* created = nullptr, bool openLink = false);
    /// The key a link points to (itself when it is no link); null when the target is missing.
    HiveKey* followLink(HiveKey* key, int depth = 0) const;
    HiveKey* findPath(HiveKey* from, std::u16string_view path, int depth) const;
    win::HKEY newHandle(HiveKey* key, win::REGSAM access);
    /// The open slot a handle names, or null.
    OpenKey* openSlot(win::HKEY handle);
    void closeSlot(size_t slot);
    bool writable() const;

    HiveStore& m_store;
    bool m_writesRefused = false;
    unsigned m_generation;
    std::vector<OpenKey> m_slots;
    std::vector<size_t> m_freeSlots;
    size_t m_openHandles = 0;
    /// Deleted keys stay alive while handles may still point at them.
    std::vector<std::unique_ptr<HiveKey>> m_deleted;
    /// Drops what the last walk learnt (after any change to the tree).
    void forgetWalk();

    /// The last walk: where it started, its path, and the key reached after each of its
    /// components (links followed). Scans open a key, then its subkeys or its siblings by full
    /// paths: a walk starts from the deepest key the new path shares with the last one.
    struct WalkStep
    {
        size_t end;
        HiveKey* key;
    };
    HiveKey* m_walkBase = nullptr;
    std::string m_walkPath;
    std::vector<WalkStep> m_walkSteps;
    /// The name being looked up (a path component, a value name), kept to spare an
    /// allocation per look-up.
    std::u16string m_lookupName;
    /// `name` in UTF-16, in m_lookupName.
    const std::u16string& lookupName(std::string_view name);
    /// The subkey enumKey() named last: walks open the subkey they were just given the name
    /// of, found then without a search.
    struct Enumerated
    {
        const HiveKey* parent = nullptr;
        size_t index = 0;
    };
    Enumerated m_enumerated;
    /// The subkey of `key` named exactly `name` when it is the one enumKey() named last.
    HiveKey* lastEnumerated(const HiveKey* key, std::string_view name) const;
};

} // namespace tw::wine
