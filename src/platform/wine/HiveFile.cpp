#include "HiveFile.h"

#include "platform/TextCodec.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tw::wine {

using namespace tw::win;

HiveFormatError::HiveFormatError(const std::string& file, int line, const std::string& problem)
    : std::runtime_error(file + " line " + std::to_string(line) + ": " + problem), m_file(file),
      m_line(line)
{
}

namespace {

constexpr std::string_view kSignature = "WINE REGISTRY Version 2";
constexpr std::string_view kRelativeTo = ";; All keys relative to ";

/// Reads a file line by line in large blocks, so that memory stays small.
class LineReader
{
public:
    explicit LineReader(int fd) : m_fd(fd), m_buffer(1 << 16) {}

    /// The next line without its "\n" (a "\r" before it stays); false at the end.
    /// `complete` is false for a last line that has no newline.
    bool next(std::string_view& line, bool& complete)
    {
        for (;;) {
            char* start = m_buffer.data() + m_pos;
            if (auto* nl = static_cast<char*>(std::memchr(start, '\n', m_end - m_pos))) {
                line = std::string_view(start, static_cast<size_t>(nl - start));
                m_pos = static_cast<size_t>(nl - m_buffer.data()) + 1;
                complete = true;
                ++m_line;
                return true;
            }
            if (m_eof) {
                if (m_pos == m_end)
                    return false;
                line = std::string_view(start, m_end - m_pos);
                m_pos = m_end;
                complete = false;
                ++m_line;
                return true;
            }
            fill();
        }
    }
    int lineNumber() const { return m_line; }

private:
    void fill()
    {
        if (m_pos > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
            m_end -= m_pos;
            m_pos = 0;
        }
        if (m_end == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        ssize_t n;
        do {
            n = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throw std::system_error(errno, std::generic_category(), "read");
        if (n == 0)
            m_eof = true;
        m_end += static_cast<size_t>(n);
    }

    int m_fd;
    std::vector<char> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_eof = false;
    int m_line = 0;
};

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

int hexDigit(char c)
{
    return tw::platform::hexDigitValue(c);
}

void skipSpace(const char*& p, const char* end)
{
    while (p < end && isSpace(*p))
        ++p;
}

/// Where decoded UTF-16 units go: a UTF-16 string, or raw little-endian bytes.
struct Utf16Sink
{
    std::u16string& out;
    void put(char16_t c) { out.push_back(c); }
    void putAscii(const char* from, const char* to)
    {
        const size_t old = out.size();
        out.resize(old + static_cast<size_t>(to - from));
        for (char16_t* d = out.data() + old; from != to; ++from)
            *d++ = static_cast<unsigned char>(*from);
    }
    void putUtf8(std::string_view text) { out += tw::platform::utf8ToUtf16(text); }
};

struct ByteSink
{
    std::string& out;
    void put(char16_t c)
    {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    void putAscii(const char* from, const char* to)
    {
        const size_t old = out.size();
        out.resize(old + 2 * static_cast<size_t>(to - from));
        for (char* d = out.data() + old; from != to; ++from) {
            *d++ = *from;
            *d++ = '\0';
        }
    }
    void putUtf8(std::string_view text)
    {
        for (char16_t c : tw::platform::utf8ToUtf16(text))
            put(c);
    }
};

/// Decodes a string with Wine's escapes up to `endChar` (0: up to the end of the line).
/// On success `p` points past the closing character.
template <typename Sink> bool parseEscaped(const char*& p, const char* end, char endChar, Sink sink)
{
    while (true) {
        // Plain ASCII runs are copied as they are.
        const char* run = p;
        while (p < end && *p != endChar && *p != '\\' && static_cast<unsigned char>(*p) < 0x80)
            ++p;
        sink.putAscii(run, p);
        if (p == end)
            return endChar == 0;
        const char c = *p;
        if (c == endChar) {
            ++p;
            return true;
        }
        if (c == '\\') {
            ++p;
            if (p == end)
                return false;
            const char e = *p++;
            switch (e) {
            case 'a':
                sink.put(u'\a');
                break;
            case 'b':
                sink.put(u'\b');
                break;
            case 'e':
                sink.put(char16_t(0x1b));
                break;
            case 'f':
                sink.put(u'\f');
                break;
            case 'n':
                sink.put(u'\n');
                break;
            case 'r':
                sink.put(u'\r');
                break;
            case 't':
                sink.put(u'\t');
                break;
            case 'v':
                sink.put(u'\v');
                break;
            case 'x': {
                if (p == end || hexDigit(*p) < 0) {
                    sink.put(u'x');
                    break;
                }
                unsigned v = 0;
                for (int i = 0; i < 4 && p < end && hexDigit(*p) >= 0; ++i)
                    v = v * 16 + static_cast<unsigned>(hexDigit(*p++));
                sink.put(static_cast<char16_t>(v));
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned v = static_cast<unsigned>(e - '0');
                    for (int i = 0; i < 2 && p < end && *p >= '0' && *p <= '7'; ++i)
                        v = v * 8 + static_cast<unsigned>(*p++ - '0');
                    sink.put(static_cast<char16_t>(v));
                } else {
                    sink.put(static_cast<unsigned char>(e));
                }
            }
            continue;
        }
        // A raw non-ASCII byte: take the UTF-8 sequence it starts.
        const char* seqEnd = p + 1;
        while (seqEnd < end && (static_cast<unsigned char>(*seqEnd) & 0xC0) == 0x80)
            ++seqEnd;
        sink.putUtf8(std::string_view(p, static_cast<size_t>(seqEnd - p)));
        p = seqEnd;
    }
}

bool parseString(const char*& p, const char* end, char endChar, std::u16string& out)
{
    out.clear();
    return parseEscaped(p, end, endChar, Utf16Sink{out});
}

class HiveParser
{
public:
    HiveParser(const std::string& file, LineReader& reader) : m_file(file), m_reader(reader) {}

    HiveHeader parse(const std::function<HiveKey*(const HiveHeader&)>& baseFor)
    {
        HiveHeader header;
        std::string_view raw;
        bool complete = false;
        if (!m_reader.next(raw, complete) || trimCr(raw) != kSignature || !complete)
            fail(1, "not a Wine registry file (the first line must be \"" +
                        std::string(kSignature) + "\")");
        header.prologue.append(raw).push_back('\n');

        bool inKeys = false;
        while (m_reader.next(raw, complete)) {
            if (!complete)
                fail(m_reader.lineNumber(), "the file ends in the middle of a line (truncated)");
            std::string_view line = trimCr(raw);
            const char* p = line.data();
            const char* end = p + line.size();
            skipSpace(p, end);
            const char first = p < end ? *p : '\0';

            if (!inKeys) {
                if (first != '[') {
                    header.prologue.append(raw).push_back('\n');
                    readHeaderLine(line, header);
                    continue;
                }
                inKeys = true;
                // Each key section starts with its blank line when written.
                if (header.prologue.size() >= 2 &&
                    header.prologue.compare(header.prologue.size() - 2, 2, "\n\n") == 0)
                    header.prologue.pop_back();
                m_base = baseFor(header);
            }

            switch (first) {
            case '[':
                readKeyLine(p, end);
                break;
            case '@':
            case '"':
                readValue(p, end);
                break;
            case '#':
                readKeyOption(std::string_view(p, static_cast<size_t>(end - p)));
                break;
            case ';':
            case '\0':
                break;
            default:
                fail(m_reader.lineNumber(), "unrecognized line");
            }
        }
        if (!inKeys)
            m_base = baseFor(header);
        return header;
    }

private:
    [[noreturn]] void fail(int line, const std::string& problem)
    {
        throw HiveFormatError(m_file, line, problem);
    }

    static std::string_view trimCr(std::string_view line)
    {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

    void readHeaderLine(std::string_view line, HiveHeader& header)
    {
        if (line.substr(0, kRelativeTo.size()) == kRelativeTo) {
            const char* p = line.data() + kRelativeTo.size();
            std::u16string path;
            parseString(p, line.data() + line.size(), 0, path);
            header.relativeTo = std::move(path);
        } else if (line.substr(0, 6) == "#arch=") {
            header.arch = std::string(line.substr(6));
            header.archLine = m_reader.lineNumber();
            if (header.arch != "win32" && header.arch != "win64")
                fail(m_reader.lineNumber(), "unknown architecture \"" + header.arch + "\"");
        }
    }

    void readKeyLine(const char* p, const char* end)
    {
        const int lineNo = m_reader.lineNumber();
        ++p; // '['
        // Split the escaped path at its separators ("\\\\"); a name holds no backslash, so
        // every escaped backslash is one. The name's escapes are decoded per part below.
        m_rawParts.clear();
        const char* partStart = p;
        bool closed = false;
        while (p < end) {
            if (*p == '\\') {
                if (p + 1 == end)
                    break;
                if (p[1] == '\\') {
                    if (p > partStart)
                        m_rawParts.emplace_back(partStart, static_cast<size_t>(p - partStart));
                    p += 2;
                    partStart = p;
                    continue;
                }
                p += 2;
                continue;
            }
            if (*p == ']') {
                closed = true;
                break;
            }
            ++p;
        }
        if (!closed)
            fail(lineNo, "unterminated key name (no closing \"]\")");
        if (p > partStart)
            m_rawParts.emplace_back(partStart, static_cast<size_t>(p - partStart));
        ++p;
        skipSpace(p, end);
        unsigned long long stamp = 0;
        bool haveStamp = false;
        while (p < end && *p >= '0' && *p <= '9') {
            stamp = stamp * 10 + static_cast<unsigned>(*p++ - '0');
            haveStamp = true;
        }
        skipSpace(p, end);
        if (p != end)
            fail(lineNo, "unexpected text after the key name");

        // Consecutive sections share most of their path: reuse what matches.
        size_t common = 0;
        while (common < m_rawParts.size() && common < m_pathCache.size() &&
               m_pathCache[common].first == m_rawParts[common])
            ++common;
        m_pathCache.resize(common);
        HiveKey* key = common ? m_pathCache[common - 1].second : m_base;
        for (size_t i = common; i < m_rawParts.size(); ++i) {
            const char* q = m_rawParts[i].data();
            parseString(q, q + m_rawParts[i].size(), 0, m_text);
            key = key->addSubkey(m_text);
            m_pathCache.emplace_back(std::string(m_rawParts[i]), key);
        }
        m_key = key;
        if (haveStamp)
            m_key->setModified(static_cast<FILETIME>(stamp) * TICKS_PER_SECOND +
                               TICKS_1601_TO_1970);
    }

    void readKeyOption(std::string_view option)
    {
        if (!m_key)
            return; // options before the first key (#arch) are the header's
        if (option.substr(0, 6) == "#time=") {
            FILETIME modif = 0;
            for (char c : option.substr(6)) {
                const int d = hexDigit(c);
                if (d < 0)
                    break;
                modif = (modif << 4) | static_cast<unsigned>(d);
            }
            m_key->setModified(modif);
        } else if (option.substr(0, 7) == "#class=") {
            const char* p = option.data() + 7;
            const char* end = option.data() + option.size();
            if (p == end || *p++ != '"' || !parseString(p, end, '"', m_text))
                fail(m_reader.lineNumber(), "unterminated class name");
            m_key->setClassName(m_text);
        } else if (option.substr(0, 5) == "#link") {
            m_key->setLink(true);
        }
    }

    void readValue(const char* p, const char* end)
    {
        const int lineNo = m_reader.lineNumber();
        if (!m_key)
            fail(lineNo, "a value before the first key");
        std::u16string name;
        if (*p == '@') {
            ++p;
        } else {
            ++p;
            if (!parseString(p, end, '"', name))
                fail(lineNo, "unterminated value name");
        }
        skipSpace(p, end);
        if (p == end || *p++ != '=')
            fail(lineNo, "missing \"=\" after the value name");
        skipSpace(p, end);

        const std::string_view rest(p, static_cast<size_t>(end - p));
        DWORD type = REG_SZ;
        std::string data;
        auto startsWith = [&](std::string_view tag) { return rest.substr(0, tag.size()) == tag; };
        if (startsWith("\"") || startsWith("str:\"") || startsWith("str(2):\"") ||
            startsWith("str(7):\"")) {
            if (startsWith("str(2)"))
                type = REG_EXPAND_SZ;
            else if (startsWith("str(7)"))
                type = REG_MULTI_SZ;
            p = static_cast<const char*>(std::memchr(p, '"', rest.size())) + 1;
            m_bytes.clear();
            if (!parseEscaped(p, end, '"', ByteSink{m_bytes}))
                fail(lineNo, "unterminated string");
            m_bytes.append(2, '\0');
            data.assign(m_bytes); // exact size: a hive may hold millions of these
        } else if (startsWith("dword:")) {
            p += 6;
            type = REG_DWORD;
            DWORD v = 0;
            int digits = 0;
            while (p < end && hexDigit(*p) >= 0 && digits < 8) {
                v = (v << 4) | static_cast<DWORD>(hexDigit(*p++));
                ++digits;
            }
            skipSpace(p, end);
            if (digits == 0 || p != end)
                fail(lineNo, "bad dword value");
            data.assign(reinterpret_cast<const char*>(&v), 4);
        } else if (startsWith("hex:") || startsWith("hex(")) {
            if (startsWith("hex:")) {
                type = REG_BINARY;
                p += 4;
            } else {
                p += 4;
                DWORD t = 0;
                int digits = 0;
                while (p < end && hexDigit(*p) >= 0) {
                    t = (t << 4) | static_cast<DWORD>(hexDigit(*p++));
                    ++digits;
                }
                if (digits == 0 || end - p < 2 || p[0] != ')' || p[1] != ':')
                    fail(lineNo, "bad value type");
                p += 2;
                type = t;
            }
            readHex(p, end, data);
        } else {
            fail(lineNo, "unknown kind of value data");
        }
        m_key->setValue(name, type, std::move(data));
    }

    /// Hex bytes "01,02,..." that may go on over lines ending in a backslash.
    void readHex(const char* p, const char* end, std::string& data)
    {
        std::string_view raw;
        bool complete = false;
        for (;;) {
            while (p < end && hexDigit(*p) >= 0) {
                unsigned v = static_cast<unsigned>(hexDigit(*p++));
                if (p < end && hexDigit(*p) >= 0)
                    v = v * 16 + static_cast<unsigned>(hexDigit(*p++));
                if (p < end && hexDigit(*p) >= 0)
                    fail(m_reader.lineNumber(), "bad hex data (a byte has more than two digits)");
                data.push_back(static_cast<char>(v));
                skipSpace(p, end);
                if (p < end && *p == ',')
                    ++p;
                skipSpace(p, end);
            }
            if (p == end)
                return;
            if (*p != '\\')
                fail(m_reader.lineNumber(), "bad hex data");
            ++p;
            skipSpace(p, end);
            if (p != end)
                fail(m_reader.lineNumber(), "bad hex data (text after the line continuation)");
            if (!m_reader.next(raw, complete) || !complete)
                fail(m_reader.lineNumber(), "the file ends inside hex data (truncated)");
            raw = trimCr(raw);
            p = raw.data();
            end = p + raw.size();
            skipSpace(p, end);
        }
    }

    const std::string& m_file;
    LineReader& m_reader;
    HiveKey* m_base = nullptr;
    HiveKey* m_key = nullptr;
    std::u16string m_text;
    std::string m_bytes;
    std::vector<std::string_view> m_rawParts;
    std::vector<std::pair<std::string, HiveKey*>> m_pathCache;
};

// --- writing ---------------------------------------------------------------------------------

const char kHexDigits[] = "0123456789abcdef";

void appendHex(std::string& out, unsigned long long v, int minDigits)
{
    char buf[20];
    int n = 0;
    do {
        buf[n++] = kHexDigits[v & 0xF];
        v >>= 4;
    } while (v);
    while (n < minDigits)
        buf[n++] = '0';
    while (n)
        out.push_back(buf[--n]);
}

void appendOctal(std::string& out, unsigned v, int minDigits)
{
    char buf[8];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + (v & 7));
        v >>= 3;
    } while (v);
    while (n < minDigits)
        buf[n++] = '0';
    while (n)
        out.push_back(buf[--n]);
}

/// Wine's escaping of a UTF-16 string. String data ends in its NUL, which is left out
/// (`dataNul`); in a name a final NUL is part of the name.
void appendEscaped(std::string& out, const char16_t* str, size_t units, char esc1, char esc2,
                   bool dataNul)
{
    static const char escapes[33] = ".......abtnvfr.............e....";
    for (size_t i = 0; i < units; ++i) {
        // Runs of plain printable ASCII go out as they are.
        size_t run = i;
        while (run < units && str[run] >= 32 && str[run] < 128 && str[run] != '\\' &&
               str[run] != esc1 && str[run] != esc2)
            ++run;
        if (run > i) {
            const size_t old = out.size();
            out.resize(old + (run - i));
            for (char* d = out.data() + old; i < run; ++i)
                *d++ = static_cast<char>(str[i]);
            if (i == units)
                break;
        }
        const char16_t c = str[i];
        const size_t left = units - i;
        if (c > 127) {
            out += "\\x";
            const bool nextIsHex = left > 1 && str[i + 1] < 128 && hexDigit(char(str[i + 1])) >= 0;
            appendHex(out, c, nextIsHex ? 4 : 1);
            continue;
        }
        if (c < 32) {
            if (c == 0 && left == 1 && dataNul)
                continue;
            out.push_back('\\');
            if (escapes[c] != '.')
                out.push_back(escapes[c]);
            else
                appendOctal(out, c, (left > 1 && str[i + 1] >= '0' && str[i + 1] <= '7') ? 3 : 1);
            continue;
        }
        if (c == '\\' || c == esc1 || c == esc2)
            out.push_back('\\');
        out.push_back(static_cast<char>(c));
    }
}

void appendEscaped(std::string& out, std::u16string_view s, char esc1, char esc2)
{
    appendEscaped(out, s.data(), s.size(), esc1, esc2, false);
}

void appendValue(std::string& out, const HiveValue& value)
{
    const size_t lineStart = out.size();
    if (!value.name.empty()) {
        out.push_back('"');
        appendEscaped(out, value.name, '"', '"');
        out += "\"=";
    } else {
        out += "@=";
    }
    const std::string& data = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        if (data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
            data[data.size() - 2] == 0) {
            if (value.type != REG_SZ) {
                out += "str(";
                appendHex(out, value.type, 1);
                out += "):";
            }
            out.push_back('"');
            const std::u16string text = tw::platform::bytesToUtf16(data);
            appendEscaped(out, text.data(), text.size(), '"', '"', true);
            out += "\"\n";
            return;
        }
        break;
    case REG_DWORD:
        if (data.size() == 4) {
            DWORD v;
            std::memcpy(&v, data.data(), 4);
            out += "dword:";
            appendHex(out, v, 8);
            out.push_back('\n');
            return;
        }
        break;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        out += "hex(";
        appendHex(out, value.type, 1);
        out += "):";
    }
    size_t count = out.size() - lineStart;
    for (size_t i = 0; i < data.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 0xF]);
        count += 2;
        if (i + 1 < data.size()) {
            out.push_back(',');
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    out.push_back('\n');
}

constexpr size_t kFlushSize = 1 << 20;

/// Writes `key` and its subtree; `path` holds the escaped path of `key` below the base.
void writeKey(std::string& out, const HiveKey& key, std::string& path,
              const std::function<void(std::string_view)>& sink)
{
    if (key.isDeleted())
        return;
    // Keys with no values but subkeys are implied by their subkeys' sections.
    if (!key.values().empty() || key.subkeys().empty() || key.className() || key.isLink()) {
        out += "\n[";
        out += path;
        out += "] ";
        const FILETIME modif = key.modified();
        out +=
            std::to_string(static_cast<unsigned>((modif - TICKS_1601_TO_1970) / TICKS_PER_SECOND));
        out += "\n#time=";
        appendHex(out, static_cast<unsigned>(modif >> 32), 1);
        appendHex(out, static_cast<unsigned>(modif & 0xFFFFFFFFu), 8);
        out.push_back('\n');
        if (const std::u16string* cls = key.className()) {
            out += "#class=\"";
            appendEscaped(out, *cls, '"', '"');
            out += "\"\n";
        }
        if (key.isLink())
            out += "#link\n";
        for (const HiveValue& value : key.values())
            appendValue(out, value);
        if (out.size() >= kFlushSize) {
            sink(out);
            out.clear();
        }
    }
    const size_t length = path.size();
    for (const auto& sub : key.subkeys()) {
        if (length)
            path += "\\\\";
        appendEscaped(path, sub->name(), '[', ']');
        writeKey(out, *sub, path, sink);
        path.resize(length);
    }
}

} // namespace

HiveHeader readHiveFile(const std::string& path,
                        const std::function<HiveKey*(const HiveHeader&)>& baseFor)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path);
    LineReader reader(fd.get());
    HiveParser parser(path, reader);
    return parser.parse(baseFor);
}

void writeHive(const HiveKey& base, std::string_view prologue,
               const std::function<void(std::string_view)>& sink)
{
    std::string out;
    out.reserve(kFlushSize + 64 * 1024);
    out.append(prologue);
    std::string path;
    writeKey(out, base, path, sink);
    if (!out.empty())
        sink(out);
}

std::string standardPrologue(std::u16string_view relativeTo, std::string_view arch)
{
    std::string out(kSignature);
    out += "\n";
    out += kRelativeTo;
    size_t start = 0;
    bool first = true;
    while (start <= relativeTo.size()) {
        size_t sep = relativeTo.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = relativeTo.size();
        if (!first)
            out += "\\\\";
        appendEscaped(out, relativeTo.substr(start, sep - start), '[', ']');
        first = false;
        start = sep + 1;
    }
    out += "\n";
    if (!arch.empty()) {
        out += "\n#arch=";
        out += arch;
        out += "\n";
    }
    return out;
}

} // namespace tw::wine
