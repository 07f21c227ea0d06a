// Initialisation files (win.ini, Update.ini) read and changed as GetPrivateProfileString and
// WritePrivateProfileString do.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

/// The text of an initialisation file. Section and key names match without regard to ASCII
/// case and blanks around them; the first matching section and key count. A line of a
/// section without "=" is a key without a value; blank lines and lines that begin with ";"
/// are no keys. Changes touch only the line they concern: the rest of the text stays byte
/// for byte.
class IniFile
{
public:
    IniFile() = default;
    explicit IniFile(std::string text) : m_text(std::move(text)) {}

    const std::string& text() const { return m_text; }

    /// GetPrivateProfileString: the value, blanks around it removed and one pair of enclosing
    /// quotes ("..." or '...') taken off; `fallback` when the section or key is missing.
    std::string value(std::string_view section, std::string_view key,
                      std::string_view fallback = {}) const;
    /// The value without the fallback: empty when the section or key is missing, or the key
    /// has no value.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    /// GetPrivateProfileString with no key: the names of the section's keys that have a
    /// value ("="), in file order, blanks around them removed; empty when the section is
    /// missing.
    std::vector<std::string> keys(std::string_view section) const;

    /// WritePrivateProfileString: replaces the key's line ("key=value", the key as written
    /// there), or adds the key after the section's last line, or adds the section at the end.
    /// New lines end as the file's first line does ("\r\n" in an empty file).
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    /// WritePrivateProfileString with no value: removes the key's line; false when missing.
    bool removeValue(std::string_view section, std::string_view key);

private:
    std::string m_text;
};

} // namespace tw::platform
