#include "JunkPattern.h"

#include "platform/TextCodec.h"

namespace tw {

std::u16string FoldedJunkName(std::string_view name)
{
    return platform::foldedName(name);
}
std::string_view JunkExtension(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

JunkPattern::JunkPattern(std::string_view pattern)
{
    const bool extensionForm = pattern.substr(0, 2) == "*.";
    const std::string_view rest = extensionForm ? pattern.substr(2) : pattern;
    if (rest.find_first_of("*?") != std::string_view::npos) {
        m_kind = Kind::Wildcard;
        m_text = FoldedJunkName(pattern);
    } else if (extensionForm) {
        m_kind = Kind::Extension;
        m_text = FoldedJunkName(pattern.substr(1));
    } else {
        m_kind = Kind::Name;
        m_text = FoldedJunkName(pattern);
    }
}

bool JunkPattern::matches(std::string_view name) const
{
    return matchesFolded(FoldedJunkName(name));
}

bool JunkPattern::matchesFolded(std::u16string_view folded) const
{
    switch (m_kind) {
    case Kind::Extension: {
        const size_t dot = folded.rfind(u'.');
        return dot != std::u16string_view::npos && folded.substr(dot) == m_text;
    }
    case Kind::Name:
        return folded == m_text;
    case Kind::Wildcard:
        return platform::matchesWildcard(folded, m_text);
    }
    return false;
}

bool MatchJunkPattern(std::string_view pattern, std::string_view name)
{
    return JunkPattern(pattern).matches(name);
}

} // namespace tw
