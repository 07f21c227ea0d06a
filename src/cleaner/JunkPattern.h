// Matching a junk file type's pattern against a file name.
#pragma once

#include <string>
#include <string_view>

namespace tw {

/// A pattern prepared once for many names. Letter case does not count, as in Windows' names
/// ("thumbs.db" matches "Thumbs.db", "*.tmp" matches "A.TMP").
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
    /// The same for a name as FoldedJunkName gives it.
    bool matchesFolded(std::u16string_view folded) const;

private:
    enum class Kind
    {
        Extension,
        Name,
        Wildcard
    };
    Kind m_kind;
    /// Folded as FoldedJunkName folds names.
    std::u16string m_text;
};

/// A name as patterns compare it: UTF-16 with every unit folded to lower case, as Windows
/// compares file names. Made once per name for all the patterns.
std::u16string FoldedJunkName(std::string_view name);
/// The part of a name from its last "." to the end; empty when it has no ".".
std::string_view JunkExtension(std::string_view name);
/// True when the pattern of a junk file type matches a bare file name.
bool MatchJunkPattern(std::string_view pattern, std::string_view name);

} // namespace tw
