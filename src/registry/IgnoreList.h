// The ignore list: scan findings the user never wants reported again, stored per prefix under
// HKEY_CURRENT_USER\Software\Tidewell\Ignore.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

class Session;

/// One entry. Matching rules (letter case never counts):
/// - Key: the finding's key is this key or lies below it (at a backslash, so "Foo" does not
///   cover "FooBar"). Root names compare in their long form; HKCR is not resolved to HKLM.
/// - Value: the finding removes exactly this value of exactly this key ("" is the default).
/// - File: the finding's file (see IgnoreSubject) matches the whole pattern, where * is any
///   run of characters (backslashes too) and ? exactly one.
struct IgnoreEntry
{
    enum class Kind
    {
        Key,
        Value,
        File,
    };
    Kind kind = Kind::Key;
    /// Key and Value: the key with its root's long name ("HKEY_LOCAL_MACHINE\Software\X").
    std::string key;
    /// Value: the value's name.
    std::string value;
    /// File: the Windows path pattern.
    std::string pattern;

    /// "key", "value" or "file".
    std::string_view kindName() const;
    /// What the list shows: the key, the key and the value's name in quotes, or the pattern.
    std::string text() const;
};

/// What a finding names, for matching against the entries.
struct IgnoreSubject
{
    /// The key the finding is on (long root name); empty for a finding on a file alone.
    std::string key;
    /// The value the finding removes; none when it is about a whole key or a file.
    std::optional<std::string> value;
    /// The Windows path of the file the finding points at; empty when there is none.
    std::string file;
};

/// An entry for a key ("HKLM\..." or "HKEY_LOCAL_MACHINE\..."); throws std::invalid_argument
/// with the reason for an unknown root or an empty path.
IgnoreEntry IgnoreKeyEntry(std::string_view key);
IgnoreEntry IgnoreValueEntry(std::string_view key, std::string_view value);
/// An entry for a file pattern; throws std::invalid_argument unless it is a drive path
/// ("C:\..."), wildcards allowed.
IgnoreEntry IgnoreFileEntry(std::string_view pattern);

/// The stored form ("key:PATH", "value:PATH\\NAME", "file:PATTERN"), and back; a text that is
/// not a valid entry reads as none.
std::string StoredIgnoreText(const IgnoreEntry& entry);
std::optional<IgnoreEntry> ParseIgnoreText(std::string_view text);

/// True when `entry` covers a finding on `subject`.
bool IgnoreCovers(const IgnoreEntry& entry, const IgnoreSubject& subject);
/// True when `pattern` matches the whole `path` (* and ?, letter case not counted).
bool MatchIgnorePattern(std::string_view pattern, std::string_view path);

/// The list as stored: entries in the order of their value numbers; values that are not
/// numbered REG_SZ entries Tidewell understands are skipped (and left as they are).
class IgnoreList
{
public:
    IgnoreList() = default;
    explicit IgnoreList(std::vector<IgnoreEntry> entries) : m_entries(std::move(entries)) {}

    const std::vector<IgnoreEntry>& entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }
    bool covers(const IgnoreSubject& subject) const;

private:
    std::vector<IgnoreEntry> m_entries;
    /// The stored value name of each entry.
    std::vector<std::string> m_names;

    friend IgnoreList LoadIgnoreList(const Session& session);
    friend void RemoveIgnoreEntry(Session& session, const IgnoreList& list, size_t index);
};

/// Reads the stored list; an absent key is an empty list. Writes nothing.
IgnoreList LoadIgnoreList(const Session& session);
/// Stores `entry` after the last stored one, unless an equal entry is stored; false then.
/// Throws std::runtime_error when the registry refuses the write.
bool AddIgnoreEntry(Session& session, const IgnoreEntry& entry);
/// Removes entry `index` (0-based) of `list` as LoadIgnoreList read it; the key goes when
/// nothing is left in it. Throws std::out_of_range for an index past the end and
/// std::runtime_error when the registry refuses the change.
void RemoveIgnoreEntry(Session& session, const IgnoreList& list, size_t index);

/// Adds each of `entries` not stored yet and saves the registry, as one user action. Throws
/// ChangeRefused when changes may not be made now (nothing is added), std::runtime_error when
/// they cannot be stored or saved (then none is kept).
void StoreIgnoreEntries(Session& session, const std::vector<IgnoreEntry>& entries);

/// The settings subkey that holds the list, below HKEY_CURRENT_USER.
inline constexpr const char* kIgnoreKey = "Software\\Tidewell\\Ignore";

} // namespace tw
