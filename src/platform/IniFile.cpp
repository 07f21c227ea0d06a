#include "IniFile.h"

#include <vector>

namespace tw::platform {

namespace {

struct Line
{
    size_t begin = 0; // first byte
    size_t end = 0;   // end of the content, before the line break
    size_t next = 0;  // first byte of the next line
};

std::vector<Line> splitLines(const std::string& text)
{
    std::vector<Line> lines;
    size_t at = 0;
    while (at < text.size()) {
        Line line;
        line.begin = at;
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        line.end = end;
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n')
            line.next = end + 2;
        else
            line.next = end < text.size() ? end + 1 : end;
        lines.push_back(line);
        at = line.next;
    }
    return lines;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

/// The name of a section header line ("[name]", up to its last "]"), or nothing for another
/// line; a "[" without a "]" starts no section.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.rfind(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return line.substr(1, close - 1);
}

/// The key a section line names: the text before its "=", or the whole line when it has
/// none; nothing for a blank line or a comment.
std::optional<std::string_view> keyName(std::string_view line)
{
    const std::string_view name = trimmed(line.substr(0, line.find('=')));
    if (trimmed(line).empty() || (!line.empty() && trimmed(line).front() == ';'))
        return std::nullopt;
    return name;
}

/// Where a section's lines are: [first, last) after its header; `header` is its line index.
struct SectionSpan
{
    size_t header = 0;
    size_t first = 0;
    size_t last = 0;
};

std::optional<SectionSpan> findSection(const std::string& text, const std::vector<Line>& lines,
                                       std::string_view section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(
            std::string_view(text).substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (!name || !sameName(*name, section))
            continue;
        size_t j = i + 1;
        while (j < lines.size() && !sectionName(std::string_view(text).substr(
                                       lines[j].begin, lines[j].end - lines[j].begin)))
            ++j;
        return SectionSpan{i, i + 1, j};
    }
    return std::nullopt;
}

/// The index of the key's line within the section, if it is there.
std::optional<size_t> findKey(const std::string& text, const std::vector<Line>& lines,
                              const SectionSpan& span, std::string_view key)
{
    for (size_t i = span.first; i < span.last; ++i) {
        const std::string_view line =
            std::string_view(text).substr(lines[i].begin, lines[i].end - lines[i].begin);
        const std::optional<std::string_view> name = keyName(line);
        if (name && sameName(*name, key))
            return i;
    }
    return std::nullopt;
}

std::string lineBreakOf(const std::string& text, const std::vector<Line>& lines)
{
    for (const Line& line : lines) {
        if (line.next > line.end)
            return text.substr(line.end, line.next - line.end);
    }
    return "\r\n";
}

} // namespace

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const
{
    const std::vector<Line> lines = splitLines(m_text);
    const std::optional<SectionSpan> span = findSection(m_text, lines, section);
    if (!span)
        return std::nullopt;
    const std::optional<size_t> index = findKey(m_text, lines, *span, key);
    if (!index)
        return std::nullopt;
    const Line& line = lines[*index];
    std::string_view text = std::string_view(m_text).substr(line.begin, line.end - line.begin);
    if (text.find('=') == std::string_view::npos)
        return std::nullopt;
    text = trimmed(text.substr(text.find('=') + 1));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

std::vector<std::string> IniFile::keys(std::string_view section) const
{
    std::vector<std::string> names;
    const std::vector<Line> lines = splitLines(m_text);
    const std::optional<SectionSpan> span = findSection(m_text, lines, section);
    if (!span)
        return names;
    for (size_t i = span->first; i < span->last; ++i) {
        const std::string_view line =
            std::string_view(m_text).substr(lines[i].begin, lines[i].end - lines[i].begin);
        const std::optional<std::string_view> name = keyName(line);
        // A line without "=" is left out, as the section's key list leaves it out.
        if (name && line.find('=') != std::string_view::npos)
            names.emplace_back(*name);
    }
    return names;
}

std::string IniFile::value(std::string_view section, std::string_view key,
                           std::string_view fallback) const
{
    std::optional<std::string> found = find(section, key);
    return found ? *found : std::string(fallback);
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::vector<Line> lines = splitLines(m_text);
    const std::string lineBreak = lineBreakOf(m_text, lines);
    const std::optional<SectionSpan> span = findSection(m_text, lines, section);
    if (!span) {
        if (!m_text.empty() && m_text.back() != '\n' && m_text.back() != '\r')
            m_text += lineBreak;
        m_text += "[" + std::string(trimmed(section)) + "]" + lineBreak +
                  std::string(trimmed(key)) + "=" + std::string(value) + lineBreak;
        return;
    }
    if (const std::optional<size_t> index = findKey(m_text, lines, *span, key)) {
        const Line& line = lines[*index];
        const size_t equals = m_text.find('=', line.begin);
        if (equals == std::string::npos || equals >= line.end)
            m_text.insert(line.end, "=" + std::string(value));
        else
            m_text.replace(equals + 1, line.end - equals - 1, value);
        return;
    }
    // After the section's last line that is not blank.
    size_t after = span->header;
    for (size_t i = span->first; i < span->last; ++i) {
        if (!trimmed(std::string_view(m_text).substr(lines[i].begin, lines[i].end - lines[i].begin))
                 .empty())
            after = i;
    }
    const Line& line = lines[after];
    std::string insert = std::string(trimmed(key)) + "=" + std::string(value) + lineBreak;
    if (line.next == line.end) // the last line has no line break
        insert = lineBreak + insert.substr(0, insert.size() - lineBreak.size());
    m_text.insert(line.next, insert);
}

bool IniFile::removeValue(std::string_view section, std::string_view key)
{
    const std::vector<Line> lines = splitLines(m_text);
    const std::optional<SectionSpan> span = findSection(m_text, lines, section);
    if (!span)
        return false;
    const std::optional<size_t> index = findKey(m_text, lines, *span, key);
    if (!index)
        return false;
    m_text.erase(lines[*index].begin, lines[*index].next - lines[*index].begin);
    return true;
}

} // namespace tw::platform
