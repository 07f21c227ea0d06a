// The registry as the Win32 registry functions present it (8-bit, UTF-8 text).
#pragma once

#include "WinTypes.h"

#include <string>
#include <string_view>

namespace tw::platform {

using namespace tw::win;

/// What RegQueryInfoKey reports. Lengths count characters without the terminating NUL.
struct KeyInfo
{
    std::string className;
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0;
    DWORD values = 0;
    DWORD maxValueNameLen = 0;
    DWORD maxValueLen = 0;
    FILETIME lastWriteTime = 0;
};

/// Registry functions shaped after the Win32 "A" calls: every function returns a Win32
/// error code (ERROR_SUCCESS on success) and never throws for registry conditions.
/// Names and string data are UTF-8. String-typed data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
/// crosses this interface as 8-bit text including its NULs, exactly as the "A" calls
/// convert it; other types pass as raw bytes. Paths use backslashes and must not start
/// with one. The five predefined root handles are always open.
class Registry
{
public:
    virtual ~Registry() = default;

    /// RegOpenKeyEx: opens `subKey` below `key`; an empty subKey opens `key` again.
    virtual LONG openKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result) = 0;
    /// RegOpenKeyEx with options. With REG_OPTION_OPEN_LINK a registry link at the end of
    /// `subKey` is opened itself, not the key it points to: its REG_LINK value
    /// "SymbolicLinkValue" names the target. Links on the way there are followed.
    virtual LONG openKeyEx(HKEY key, std::string_view subKey, DWORD options, REGSAM access,
                           HKEY* result) = 0;
    /// RegCreateKeyEx: opens or creates every missing key along `subKey`.
    /// `created` (optional) tells whether the last key was new.
    virtual LONG createKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result,
                           bool* created = nullptr) = 0;
    /// RegCloseKey. Closing a predefined root handle succeeds and does nothing.
    virtual LONG closeKey(HKEY key) = 0;
    /// RegFlushKey: writes pending changes to permanent storage.
    virtual LONG flushKey(HKEY key) = 0;
    /// RegQueryInfoKey.
    virtual LONG queryInfoKey(HKEY key, KeyInfo* info) = 0;
    /// RegEnumKeyEx: the name of subkey `index`; ERROR_NO_MORE_ITEMS past the last.
    virtual LONG enumKey(HKEY key, DWORD index, std::string* name) = 0;
    /// RegEnumValue: name, type and data of value `index`; type and data may be null.
    virtual LONG enumValue(HKEY key, DWORD index, std::string* name, DWORD* type,
                           std::string* data) = 0;
    /// RegQueryValueEx: the empty name is the key's unnamed value. type and data may be null.
    virtual LONG queryValue(HKEY key, std::string_view name, DWORD* type, std::string* data) = 0;
    /// RegSetValueEx.
    virtual LONG setValue(HKEY key, std::string_view name, DWORD type, std::string_view data) = 0;
    /// RegDeleteValue.
    virtual LONG deleteValue(HKEY key, std::string_view name) = 0;
    /// RegDeleteKey: refuses (ERROR_ACCESS_DENIED) a key that has subkeys.
    virtual LONG deleteKey(HKEY key, std::string_view subKey) = 0;
};

/// Closes a key handle when it goes out of scope.
class KeyHandle
{
public:
    explicit KeyHandle(Registry& registry, HKEY key = 0) : m_registry(&registry), m_key(key) {}
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() { reset(); }

    HKEY get() const { return m_key; }
    HKEY* out()
    {
        reset();
        return &m_key;
    }
    void reset()
    {
        if (m_key)
            m_registry->closeKey(m_key);
        m_key = 0;
    }
    explicit operator bool() const { return m_key != 0; }

private:
    Registry* m_registry;
    HKEY m_key;
};

} // namespace tw::platform
