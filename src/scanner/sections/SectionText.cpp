#include "SectionText.h"

#include "registry/PublicFunctions.h"

#include <algorithm>

namespace tw::sections {

namespace {

// ASCII letters only: the bytes of other UTF-8 characters stay as they are.
char upperChar(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char lowerChar(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Where a path's folder part ends.
constexpr ByteSet kPathSeparators("\\:");

} // namespace

std::string upperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = upperChar(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperChar(x) == upperChar(y);
           });
}

bool containsNoCase(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    if (part.size() > text.size())
        return false;
    // A byte of the part without case ("A:", ".SYS", "%ProgramFiles%") finds the candidates
    // in one search.
    size_t anchorAt = 0;
    while (anchorAt < part.size() && upperChar(part[anchorAt]) != lowerChar(part[anchorAt]))
        ++anchorAt;
    if (anchorAt < part.size()) {
        const char anchor = part[anchorAt];
        for (size_t at = text.find(anchor, anchorAt); at != std::string_view::npos;
             at = text.find(anchor, at + 1)) {
            const size_t start = at - anchorAt;
            if (start + part.size() > text.size())
                return false;
            if (equalsNoCase(text.substr(start, part.size()), part))
                return true;
        }
        return false;
    }
    // Candidates start with the first character in either case; find them with find().
    const char upper = upperChar(part.front());
    const char lower = upper >= 'A' && upper <= 'Z' ? static_cast<char>(upper - 'A' + 'a') : upper;
    size_t nextUpper = text.find(upper);
    size_t nextLower = lower == upper ? std::string_view::npos : text.find(lower);
    while (true) {
        const size_t at = std::min(nextUpper, nextLower);
        if (at == std::string_view::npos || at + part.size() > text.size())
            return false;
        if (equalsNoCase(text.substr(at, part.size()), part))
            return true;
        if (at == nextUpper)
            nextUpper = text.find(upper, at + 1);
        else
            nextLower = text.find(lower, at + 1);
    }
}

std::string_view trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::string_view();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool isUncheckablePath(const Session& session, std::string_view path)
{
    return path.find("\\\\") != std::string_view::npos || containsNoCase(path, "A:") ||
           !IsCheckablePath(session.ExcludedDrives, path);
}

std::string ExtractFilePath(std::string_view path)
{
    const size_t sep = kPathSeparators.findLastIn(path);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string ExtractFileName(std::string_view path)
{
    const size_t sep = kPathSeparators.findLastIn(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string ExtractFileExt(std::string_view path)
{
    const size_t dot = path.rfind('.');
    const size_t sep = kPathSeparators.findLastIn(path);
    if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep))
        return std::string();
    return std::string(path.substr(dot));
}

std::string removeAll(std::string text, std::string_view part)
{
    if (part.empty())
        return text;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
    return text;
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace tw::sections
