// The registry of the Wine prefix the tests run in, with its store, and one change that stays
// pending until the store saves it.
#pragma once

#include "platform/RegFile.h"
#include "platform/win32/Win32Registry.h"

#include <string>
#include <windows.h>

namespace tw::win32::test {

/// HKEY_CURRENT_USER as the platform's interface names it (windows.h takes the name).
inline constexpr win::HKEY kCurrentUser = 0x80000001;

class LiveStore
{
public:
    LiveStore() = default;
    ~LiveStore()
    {
        storage.rollback();
        platform::deleteKeyTree(registry, kCurrentUser, m_key);
        storage.commit();
    }
    LiveStore(const LiveStore&) = delete;
    LiveStore& operator=(const LiveStore&) = delete;

    /// Sets a value of a key of the test's own; saved only by a commit.
    void changePending()
    {
        platform::KeyHandle key(registry);
        registry.createKey(kCurrentUser, m_key, KEY_ALL_ACCESS, key.out());
        registry.setValue(key.get(), "pending", REG_SZ, std::string("1\0", 2));
    }
    /// Rolls back what was not saved, then tells whether the change is still there.
    bool changeWasSaved()
    {
        storage.rollback();
        platform::KeyHandle key(registry);
        return registry.openKey(kCurrentUser, m_key, KEY_READ, key.out()) == ERROR_SUCCESS &&
               registry.queryValue(key.get(), "pending", nullptr, nullptr) == ERROR_SUCCESS;
    }

    Win32Registry registry;
    Win32Storage storage{registry};

private:
    const std::string m_key =
        "Software\\TidewellTest\\programs-" + std::to_string(GetCurrentProcessId());
};

} // namespace tw::win32::test
