// The registry functions over the hives of a Wine prefix.
#pragma once

#include "HiveKey.h"
#include "platform/Registry.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw::wine {

class WinePrefix;

class WineRegistry final : public platform::Registry
{
public:
    explicit WineRegistry(WinePrefix& prefix);

    LONG openKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result) override;
    LONG openKeyEx(HKEY key, std::string_view subKey, DWORD options, REGSAM access,
                   HKEY* result) override;
    LONG createKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result,
                   bool* created = nullptr) override;
    LONG closeKey(HKEY key) override;
    LONG flushKey(HKEY key) override;
    LONG queryInfoKey(HKEY key, platform::KeyInfo* info) override;
    LONG enumKey(HKEY key, DWORD index, std::string* name) override;
    LONG enumValue(HKEY key, DWORD index, std::string* name, DWORD* type,
                   std::string* data) override;
    LONG queryValue(HKEY key, std::string_view name, DWORD* type, std::string* data) override;
    LONG setValue(HKEY key, std::string_view name, DWORD type, std::string_view data) override;
    LONG deleteValue(HKEY key, std::string_view name) override;
    LONG deleteKey(HKEY key, std::string_view subKey) override;

    /// Forgets every open handle (after the tree was read again).
    void invalidateHandles();
    size_t openHandleCount() const { return m_handles.size(); }

private:
    struct OpenKey
    {
        HiveKey* key = nullptr;
        REGSAM access = 0;
    };

    LONG lookup(HKEY handle, REGSAM needed, HiveKey** key);
    HiveKey* predefinedKey(HKEY handle) const;
    /// Walks `path` below `base`, following registry links; creates missing keys if asked.
    LONG walk(HiveKey* base, std::string_view path, bool create, HiveKey** result,
              bool* created = nullptr);
    /// The key a link points to (itself when it is no link); null when the target is missing.
    HiveKey* followLink(HiveKey* key, int depth = 0) const;
    HiveKey* findPath(HiveKey* from, std::u16string_view path, int depth) const;
    HKEY newHandle(HiveKey* key, REGSAM access);
    bool writable() const;

    WinePrefix& m_prefix;
    std::unordered_map<HKEY, OpenKey> m_handles;
    HKEY m_nextHandle = 0x100;
    /// Deleted keys stay alive while handles may still point at them.
    std::vector<std::unique_ptr<HiveKey>> m_deleted;
    /// The key the last path walk ended on, and where it started from.
    HiveKey* m_lastBase = nullptr;
    std::string m_lastPath;
    HiveKey* m_lastKey = nullptr;
};

} // namespace tw::wine
