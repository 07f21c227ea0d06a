#include "Json.h"

#include "platform/TextCodec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tw::cli {

namespace {

/// The text as a JSON string literal, quotes included. Bytes that are not UTF-8 become
/// U+FFFD, so that the output is always valid JSON.
std::string jsonString(std::string_view text)
{
    std::string valid;
    if (!platform::isUtf8(text)) {
        valid = platform::utf16ToUtf8(platform::utf8ToUtf16(text));
        text = valid;
    }
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number grammar of RFC 8259: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view s)
{
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        return i > start;
    };
    if (i < s.size() && s[i] == '-')
        ++i;
    if (i < s.size() && s[i] == '0')
        ++i;
    else if (!digits())
        return false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (!digits())
            return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (!digits())
            return false;
    }
    return i == s.size();
}

} // namespace

void JsonWriter::beforeValue()
{
    if (m_levels.empty()) {
        if (m_done)
            throw std::logic_error("JSON: a second value after the top-level one");
        return;
    }
    Level& level = m_levels.back();
    if (level.scope == Scope::Object) {
        if (!level.keyWritten)
            throw std::logic_error("JSON: a value in an object without a key");
        level.keyWritten = false;
        return;
    }
    if (level.count++)
        m_text += ", ";
}

JsonWriter& JsonWriter::literal(std::string_view text)
{
    beforeValue();
    m_text += text;
    if (m_levels.empty())
        m_done = true;
    return *this;
}

JsonWriter& JsonWriter::beginObject()
{
    beforeValue();
    m_text += '{';
    m_levels.push_back({Scope::Object});
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    beforeValue();
    m_text += '[';
    m_levels.push_back({Scope::Array});
    return *this;
}

void JsonWriter::end(Scope scope)
{
    if (m_levels.empty() || m_levels.back().scope != scope)
        throw std::logic_error(scope == Scope::Object ? "JSON: endObject outside an object"
                                                      : "JSON: endArray outside an array");
    if (m_levels.back().keyWritten)
        throw std::logic_error("JSON: a key without a value");
    m_levels.pop_back();
    m_text += scope == Scope::Object ? '}' : ']';
    if (m_levels.empty())
        m_done = true;
}

JsonWriter& JsonWriter::endObject()
{
    end(Scope::Object);
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    end(Scope::Array);
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name)
{
    if (m_levels.empty() || m_levels.back().scope != Scope::Object)
        throw std::logic_error("JSON: a key outside an object");
    Level& level = m_levels.back();
    if (level.keyWritten)
        throw std::logic_error("JSON: two keys in a row");
    if (level.count++)
        m_text += ", ";
    m_text += jsonString(name);
    m_text += ": ";
    level.keyWritten = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text)
{
    return literal(jsonString(text));
}

JsonWriter& JsonWriter::value(double number)
{
    if (!std::isfinite(number))
        throw std::invalid_argument("JSON has no infinite or NaN numbers");
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, number);
    // The shortest text that reads back as the same double ("0.1", "1e+20").
    return literal(std::string_view(buf, ec == std::errc() ? end : buf));
}

JsonWriter& JsonWriter::null()
{
    return literal("null");
}

JsonWriter& JsonWriter::numberText(std::string_view text)
{
    if (!isJsonNumber(text))
        throw std::invalid_argument("\"" + std::string(text) + "\" is not a JSON number");
    return literal(text);
}

const std::string& JsonWriter::text() const
{
    if (!m_done || !m_levels.empty())
        throw std::logic_error("JSON: the value is not finished");
    return m_text;
}

} // namespace tw::cli
