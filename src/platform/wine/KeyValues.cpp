#include "KeyValues.h"

#include "platform/TextCodec.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace tw::wine {

namespace {

struct Token
{
    enum Kind
    {
        Text,
        Open,
        Close,
        End
    } kind = End;
    std::string text;
    int line = 0;
    bool quoted = false;

    /// A platform condition such as [$WIN32] after a value.
    bool isCondition() const
    {
        return kind == Text && !quoted && text.size() > 2 && text.front() == '[' &&
               text.back() == ']';
    }
};

class Tokenizer
{
public:
    explicit Tokenizer(std::string_view text) : m_text(text) {}

    Token next()
    {
        skipSpaceAndComments();
        Token token;
        token.line = m_line;
        if (m_at >= m_text.size())
            return token;
        const char c = m_text[m_at];
        if (c == '{' || c == '}') {
            ++m_at;
            token.kind = c == '{' ? Token::Open : Token::Close;
            return token;
        }
        token.kind = Token::Text;
        token.quoted = c == '"';
        token.text = token.quoted ? quoted() : bare();
        return token;
    }

private:
    void skipSpaceAndComments()
    {
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '\n') {
                ++m_line;
                ++m_at;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_at;
            } else if (c == '/' && m_at + 1 < m_text.size() && m_text[m_at + 1] == '/') {
                while (m_at < m_text.size() && m_text[m_at] != '\n')
                    ++m_at;
            } else {
                return;
            }
        }
    }

    std::string quoted()
    {
        const int startLine = m_line;
        std::string out;
        ++m_at; // the opening quote
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"')
                return out;
            if (c == '\n')
                ++m_line;
            if (c == '\\' && m_at < m_text.size()) {
                const char e = m_text[m_at++];
                switch (e) {
                case 'n':
                    out.push_back('\n');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case '"':
                case '\\':
                    out.push_back(e);
                    break;
                default:
                    // Not an escape: Windows paths keep their backslash.
                    out.push_back('\\');
                    out.push_back(e);
                    if (e == '\n')
                        ++m_line;
                }
                continue;
            }
            out.push_back(c);
        }
        throw KeyValuesError("line " + std::to_string(startLine) + ": a quoted text never ends");
    }

    std::string bare()
    {
        const size_t start = m_at;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (std::isspace(static_cast<unsigned char>(c)) || c == '{' || c == '}' || c == '"')
                break;
            ++m_at;
        }
        return std::string(m_text.substr(start, m_at - start));
    }

    std::string_view m_text;
    size_t m_at = 0;
    int m_line = 1;
};

/// Reads keys until `}` (when `nested`) or the end of the text.
void parseObject(Tokenizer& tokens, KeyValue& into, bool nested, int openLine)
{
    into.isObject = true;
    while (true) {
        Token key = tokens.next();
        if (key.kind == Token::End) {
            if (nested)
                throw KeyValuesError("line " + std::to_string(openLine) + ": a { is never closed");
            return;
        }
        if (key.kind == Token::Close) {
            if (!nested)
                throw KeyValuesError("line " + std::to_string(key.line) + ": a } without its {");
            return;
        }
        if (key.kind == Token::Open)
            throw KeyValuesError("line " + std::to_string(key.line) + ": a { without a key");
        Token value = tokens.next();
        KeyValue entry;
        entry.key = std::move(key.text);
        if (value.kind == Token::Text) {
            entry.value = std::move(value.text);
        } else if (value.kind == Token::Open) {
            parseObject(tokens, entry, true, value.line);
        } else {
            throw KeyValuesError("line " + std::to_string(key.line) + ": the key \"" + entry.key +
                                 "\" has no value");
        }
        into.children.push_back(std::move(entry));
        // A condition after the value is read and dropped: every platform's value is kept.
        Tokenizer before = tokens;
        if (!tokens.next().isCondition())
            tokens = before;
    }
}

} // namespace

const KeyValue* KeyValue::child(std::string_view name) const
{
    for (const KeyValue& c : children) {
        if (platform::equalNoCase(c.key, name))
            return &c;
    }
    return nullptr;
}

std::string KeyValue::text(std::string_view name) const
{
    const KeyValue* c = child(name);
    return c && !c->isObject ? c->value : std::string();
}

KeyValue parseKeyValues(std::string_view text)
{
    // A byte order mark may lead the text.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Tokenizer tokens(text);
    KeyValue root;
    parseObject(tokens, root, false, 0);
    return root;
}

KeyValue readKeyValuesFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw KeyValuesError(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return parseKeyValues(text.str());
    } catch (const KeyValuesError& e) {
        throw KeyValuesError(path + ", " + e.what());
    }
}

} // namespace tw::wine
