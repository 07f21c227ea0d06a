// The registry as the Win32 registry functions present it (8-bit, UTF-8 text).
#pragma once

#include "WinTypes.h"

#include <string>
#include <string_view>

namespace tw::platform {

/// Windows keeps keys at most this many levels below a root key.
inline constexpr size_t kMaxKeyDepth = 512;
/// The longest key name (one path component) and value name Windows takes, in UTF-16 units.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;

/// What RegQueryInfoKey reports. Lengths count characters without the terminating NUL.
struct KeyInfo
{
    std::string className;
    win::DWORD subKeys = 0;
    win::DWORD maxSubKeyLen = 0;
    win::DWORD values = 0;
    win::DWORD maxValueNameLen = 0;
    win::DWORD maxValueLen = 0;
    win::FILETIME lastWriteTime = 0;
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

    /// RegOpenKeyEx: opens `subKey` below `key`; an empty subKey opens `key` again. Links on
    /// the way are followed; with REG_OPTION_OPEN_LINK in `options` a last key that is a link
    /// is opened itself (its own values, no subkeys) instead of its target.
    virtual win::LONG openKey(win::HKEY key, std::string_view subKey, win::REGSAM access,
                              win::HKEY* result, win::DWORD options = 0) = 0;
    /// RegCreateKeyEx: opens or creates every missing key along `subKey`.
    /// `created` (optional) tells whether the last key was new.
    virtual win::LONG createKey(win::HKEY key, std::string_view subKey, win::REGSAM access,
                                win::HKEY* result, bool* created = nullptr) = 0;
    /// RegCloseKey. Closing a predefined root handle succeeds and does nothing.
    virtual win::LONG closeKey(win::HKEY key) = 0;
    /// RegFlushKey: writes pending changes to permanent storage.
    virtual win::LONG flushKey(win::HKEY key) = 0;
    /// RegQueryInfoKey.
    virtual win::LONG queryInfoKey(win::HKEY key, KeyInfo* info) = 0;
    /// RegEnumKeyEx: the name of subkey `index`; ERROR_NO_MORE_ITEMS past the last.
    virtual win::LONG enumKey(win::HKEY key, win::DWORD index, std::string* name) = 0;
    /// RegEnumValue: name, type and data of value `index`; type and data may be null.
    virtual win::LONG enumValue(win::HKEY key, win::DWORD index, std::string* name,
                                win::DWORD* type, std::string* data) = 0;
    /// RegQueryValueEx: the empty name is the key's unnamed value. type and data may be null.
    virtual win::LONG queryValue(win::HKEY key, std::string_view name, win::DWORD* type,
                                 std::string* data) = 0;
    /// RegSetValueEx.
    virtual win::LONG setValue(win::HKEY key, std::string_view name, win::DWORD type,
                               std::string_view data) = 0;
    /// RegDeleteValue.
    virtual win::LONG deleteValue(win::HKEY key, std::string_view name) = 0;
    /// RegDeleteKey: refuses (ERROR_ACCESS_DENIED) a key that has subkeys.
    virtual win::LONG deleteKey(win::HKEY key, std::string_view subKey) = 0;
};

/// Closes a key handle when it goes out of scope.
class KeyHandle
{
public:
    explicit KeyHandle(Registry& registry, win::HKEY key = 0) : m_registry(&registry), m_key(key) {}
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() { reset(); }

    win::HKEY get() const { return m_key; }
    win::HKEY* out()
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
    win::HKEY m_key;
};

} // namespace tw::platform
