// Valve's KeyValues text format (libraryfolders.vdf, appmanifest_*.acf): a small parser.
#pragma once

#include "WinePlatformOnly.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw::wine {

/// One key with either a text value or nested keys (an object).
struct KeyValue
{
    std::string key;
    std::string value;
    std::vector<KeyValue> children;
    bool isObject = false;

    /// The first child whose key matches case-insensitively (as Steam reads them), or null.
    const KeyValue* child(std::string_view name) const;
    /// The text of child `name`, empty when it is missing or an object.
    std::string text(std::string_view name) const;
};

class KeyValuesError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Parses a whole document: keys, each followed by a quoted or bare value or by `{ ... }`.
/// Quoted strings take the escapes \" \\ \n \t; `//` starts a comment to the end of the line;
/// a condition such as [$WIN32] after a value is skipped.
/// Returns an object holding the top-level keys. Throws KeyValuesError naming the line of an
/// unterminated string, a missing value or brace, or a stray `}`.
KeyValue parseKeyValues(std::string_view text);

/// Reads and parses a file; errors name the file. Throws KeyValuesError.
KeyValue readKeyValuesFile(const std::string& path);

} // namespace tw::wine
