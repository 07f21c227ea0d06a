// Matching a junk file type's pattern against a file name.
#pragma once

#include <string>
#include <string_view>

namespace tw {

/// A pattern prepared once for many names. Letter case always counts.
/// - "*." and an extension without * or ?: the name's extension (from its last ".", the dot
///   included; empty when it has none) equals the pattern without its "*";
/// - no * and no ?: the pattern equals the whole name;
/// - any other * or ?: a wildcard match of the whole name, * any run of characters and ?
///   exactly one ("~*.*", "file????._dd", "*.??~").
class JunkPattern
{
public:
    explicit JunkPattern(std::string_view pattern);
    bool matches(std::string_view name) const;
    /// The same, with the name's extension as JunkExtension gives it.
    bool matches(std::string_view name, std::string_view extension) const;

private:
    enum class Kind
    {
        Extension,
        Name,
        Wildcard
    };
    Kind m_kind;
    std::string m_text;
};

/// The part of a name from its last "." to the end; empty when it has no ".".
std::string_view JunkExtension(std::string_view name);
/// True when the pattern of a junk file type matches a bare file name.
bool MatchJunkPattern(std::string_view pattern, std::string_view name);
/// * any run of characters, ? exactly one; letter case counts.
bool MatchWildcardExact(std::string_view name, std::string_view pattern);

} // namespace tw
