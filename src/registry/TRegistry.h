// TRegistry: the short-lived registry object through which the program reads and writes keys.
#pragma once

#include "platform/Registry.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

using win::HKEY;

class Session;

/// A failed registry read or write; the message names the value.
class ERegistryException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Type codes of a value, as ValueType reports them.
enum TRegDataType
{
    rdUnknown = 0,
    rdString = 1,
    rdExpandString = 2,
    rdInteger = 3,
    rdBinary = 4,
};

/// Paths use backslashes. A path starting with "\" is taken from the root key; any other
/// from the current key when one is open, else from the root key. Opens, existence tests
/// and deletions return false on failure; failed reads and writes throw ERegistryException.
class TRegistry
{
public:
    /// Uses the registry of the session's platform.
    explicit TRegistry(const Session& session);
    explicit TRegistry(platform::Registry& registry);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return m_rootKey; }
    HKEY CurrentKey() const { return m_currentKey; }
    const std::string& CurrentPath() const { return m_currentPath; }

    /// Another root closes the current key; the same root keeps it.
    void SelectRoot(HKEY root);
    /// Opens (or, with mayCreate and a non-empty path, creates) the key and makes it current.
    bool OpenPath(std::string_view path, bool mayCreate);
    void ClosePath();
    /// Makes a key the caller opened and keeps open the current key, as if opened at `path`;
    /// it is not closed here.
    void UseOpenKey(HKEY key, std::string path);
    /// True when the key can be opened for reading; the current key stays.
    bool PathExists(std::string_view path);

    bool HasValue(std::string_view name);
    void ListSubkeys(std::vector<std::string>& list);
    void ListValues(std::vector<std::string>& list);
    /// A value's name and, for a string (REG_SZ or REG_EXPAND_SZ), its text as ReadText
    /// gives it; `type` is the value's type (REG_DWORD ...).
    struct TextValue
    {
        std::string name;
        std::optional<std::string> text;
        win::DWORD type = 0;
    };
    /// The current key's values in order, each read once; what `list` held is replaced.
    void ListTextValues(std::vector<TextValue>& list);
    /// ListTextValues() of a key the caller holds open.
    static void ListTextValues(platform::Registry& registry, HKEY key,
                               std::vector<TextValue>& list);
    TRegDataType ValueType(std::string_view name);
    /// Data size in bytes (strings with their NUL); -1 when the value does not exist.
    int ValueSize(std::string_view name);

    std::string ReadText(std::string_view name);
    /// The text of a REG_SZ or REG_EXPAND_SZ value, up to its first NUL, read in one query;
    /// nullopt for a value of another type or none.
    std::optional<std::string> ReadTextValue(std::string_view name);
    std::int32_t ReadNumber(std::string_view name);
    /// Copies a binary value (or one of unknown type) into `buffer`; returns its size.
    int ReadBytes(std::string_view name, void* buffer, int bufferSize);

    void WriteText(std::string_view name, std::string_view text);
    void WriteNumber(std::string_view name, std::int32_t value);
    void WriteBytes(std::string_view name, const void* buffer, int size);

    bool RemoveValue(std::string_view name);
    /// Deletes the key and everything below it; true when the key itself was deleted.
    bool RemoveKeyTree(std::string_view path);

private:
    struct ResolvedPath
    {
        bool absolute = false;
        std::string path;
    };
    static ResolvedPath resolve(std::string_view path);
    HKEY baseFor(const ResolvedPath& path) const;
    /// The key that value operations act on: the current key, or the root when none is open.
    HKEY valueKey() const;
    /// Fetches a value; false when it does not exist.
    bool query(std::string_view name, win::DWORD* type, std::string* data);
    [[noreturn]] static void fail(const char* format, std::string_view name);

    platform::Registry& m_registry;
    HKEY m_rootKey = win::HKEY_CURRENT_USER;
    win::REGSAM m_access = win::KEY_ALL_ACCESS;
    HKEY m_currentKey = 0;
    /// The current key belongs to the caller (UseOpenKey).
    bool m_currentBorrowed = false;
    std::string m_currentPath;
};

} // namespace tw
