#include "JunkPattern.h"

namespace tw {

std::string_view JunkExtension(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool MatchWildcardExact(std::string_view name, std::string_view pattern)
{
    // Greedy with one back-track point: the last * seen.
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

JunkPattern::JunkPattern(std::string_view pattern)
{
    const bool extensionForm = pattern.substr(0, 2) == "*.";
    const std::string_view rest = extensionForm ? pattern.substr(2) : pattern;
    if (rest.find_first_of("*?") != std::string_view::npos) {
        m_kind = Kind::Wildcard;
        m_text = pattern;
    } else if (extensionForm) {
        m_kind = Kind::Extension;
        m_text = pattern.substr(1);
    } else {
        m_kind = Kind::Name;
        m_text = pattern;
    }
}

bool JunkPattern::matches(std::string_view name) const
{
    return matches(name, JunkExtension(name));
}

bool JunkPattern::matches(std::string_view name, std::string_view extension) const
{
    switch (m_kind) {
    case Kind::Extension:
        return extension == m_text;
    case Kind::Name:
        return name == m_text;
    case Kind::Wildcard:
        return MatchWildcardExact(name, m_text);
    }
    return false;
}

bool MatchJunkPattern(std::string_view pattern, std::string_view name)
{
    return JunkPattern(pattern).matches(name);
}

} // namespace tw
