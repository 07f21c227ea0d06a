#include "HiveFile.h"

#include "platform/Registry.h"
#include "platform/TextCodec.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <type_traits>
#include <unistd.h>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw::wine {

// Value data is kept as Windows keeps it, little-endian, as are the units read here.
static_assert(std::endian::native == std::endian::little);

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

/// The value of each byte as a hex digit, -1 for other bytes.
constexpr std::array<signed char, 256> kHexDigitValues = [] {
    std::array<signed char, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[c] = -1;
    for (int c = 0; c < 10; ++c)
        values['0' + c] = static_cast<signed char>(c);
    for (int c = 0; c < 6; ++c)
        values['a' + c] = values['A' + c] = static_cast<signed char>(10 + c);
    return values;
}();

int hexDigit(char c)
{
    return kHexDigitValues[static_cast<unsigned char>(c)];
}

/// The first backslash or "]" from `p` on, or `end`.
const char* findPathBreak(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i bracket = _mm_set1_epi8(']');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, backslash), _mm_cmpeq_epi8(bytes, bracket))));
        if (mask)
            return p + std::countr_zero(mask);
    }
#endif
    while (p < end && *p != '\\' && *p != ']')
        ++p;
    return p;
}

/// Room for decoded text, kept from line to line. Escaped text never decodes to more UTF-16
/// units than it has bytes.
class UnitBuffer
{
public:
    char16_t* reserve(size_t units)
    {
        if (units > m_capacity) {
            m_capacity = units + units / 2 + 256;
            m_units = std::make_unique_for_overwrite<char16_t[]>(m_capacity);
        }
        return m_units.get();
    }

private:
    std::unique_ptr<char16_t[]> m_units;
    size_t m_capacity = 0;
};

/// Copies the run of plain printable ASCII at `p` (up to `endChar`, a backslash or any other
/// byte) as UTF-16 units. Writes up to 16 units past the run, but no more units than there are
/// bytes from `p` to `end`.
inline void copyPlainRun(const char*& p, const char* end, char endChar, char16_t*& out)
{
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8(endChar);
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Signed, bytes from 0x80 up are below the space too.
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
            _mm_cmplt_epi8(bytes, space));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (mask) {
            const int plain = std::countr_zero(mask);
            p += plain;
            out += plain;
            return;
        }
        p += 16;
        out += 16;
    }
#endif
    while (p < end && *p != endChar && *p != '\\' && static_cast<unsigned char>(*p - 0x20) < 0x60)
        *out++ = static_cast<unsigned char>(*p++);
}

enum class TextStatus
{
    Ok,
    Unterminated,
    BadEscape,
    BadUtf8,
    ControlCharacter,
};

const char* describe(TextStatus status)
{
    switch (status) {
    case TextStatus::BadEscape:
        return "an escape Wine does not write";
    case TextStatus::BadUtf8:
        return "bytes that are not UTF-8";
    case TextStatus::ControlCharacter:
        return "a raw control character (Wine writes them escaped)";
    case TextStatus::Unterminated:
    case TextStatus::Ok:
        break;
    }
    return "";
}

/// Decodes one UTF-8 sequence at `p` strictly (no overlong forms, no surrogates, nothing
/// above U+10FFFF); returns the code point and moves `p` past it, or returns -1.
long decodeUtf8(const char*& p, const char* end)
{
    const auto byte = [](char c) { return static_cast<unsigned char>(c); };
    const unsigned char lead = byte(*p);
    int length;
    unsigned long cp;
    unsigned char min = 0x80, max = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            min = 0xA0;
        else if (lead == 0xED)
            max = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0)
            min = 0x90;
        else if (lead == 0xF4)
            max = 0x8F;
    } else {
        return -1;
    }
    if (end - p < length)
        return -1;
    for (int i = 1; i < length; ++i) {
        const unsigned char c = byte(p[i]);
        if (i == 1 ? (c < min || c > max) : (c < 0x80 || c > 0xBF))
            return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    p += length;
    return static_cast<long>(cp);
}

/// Decodes text with Wine's escapes up to `endChar` (0: up to the end of the line), as
/// Wine's saver writes it: printable ASCII, C escapes, octal and \x escapes, and (as
/// Wine's loader also reads it) UTF-8. On success `p` points past the closing character.
/// `out` has room for one unit per byte from `p` to `end`.
TextStatus parseEscaped(const char*& p, const char* end, char endChar, char16_t*& out)
{
    const auto put = [&out](char16_t c) { *out++ = c; };
    while (true) {
        // Plain printable ASCII runs are copied as they are.
        copyPlainRun(p, end, endChar, out);
        if (p == end)
            return endChar == 0 ? TextStatus::Ok : TextStatus::Unterminated;
        const char c = *p;
        if (c == endChar) {
            ++p;
            return TextStatus::Ok;
        }
        if (c == '\\') {
            ++p;
            if (p == end)
                return TextStatus::BadEscape;
            const char e = *p++;
            switch (e) {
            case 'a':
                put(u'\a');
                break;
            case 'b':
                put(u'\b');
                break;
            case 'e':
                put(char16_t(0x1b));
                break;
            case 'f':
                put(u'\f');
                break;
            case 'n':
                put(u'\n');
                break;
            case 'r':
                put(u'\r');
                break;
            case 't':
                put(u'\t');
                break;
            case 'v':
                put(u'\v');
                break;
            case 'x': {
                if (p == end || hexDigit(*p) < 0)
                    return TextStatus::BadEscape;
                unsigned v = 0;
                for (int i = 0; i < 4 && p < end && hexDigit(*p) >= 0; ++i)
                    v = v * 16 + static_cast<unsigned>(hexDigit(*p++));
                put(static_cast<char16_t>(v));
                break;
            }
            case '\\':
            case '"':
            case '[':
            case ']':
                put(static_cast<char16_t>(e));
                break;
            default:
                if (e < '0' || e > '7')
                    return TextStatus::BadEscape;
                unsigned v = static_cast<unsigned>(e - '0');
                for (int i = 0; i < 2 && p < end && *p >= '0' && *p <= '7'; ++i)
                    v = v * 8 + static_cast<unsigned>(*p++ - '0');
                put(static_cast<char16_t>(v));
            }
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x80)
            return TextStatus::ControlCharacter;
        const long cp = decodeUtf8(p, end);
        if (cp < 0)
            return TextStatus::BadUtf8;
        if (cp >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
}

/// Decodes escaped text into `buffer`; `text` is what it holds then.
TextStatus parseString(const char*& p, const char* end, char endChar, UnitBuffer& buffer,
                       std::u16string_view& text)
{
    char16_t* const start = buffer.reserve(static_cast<size_t>(end - p) + 1);
    char16_t* out = start;
    const TextStatus status = parseEscaped(p, end, endChar, out);
    text = std::u16string_view(start, static_cast<size_t>(out - start));
    return status;
}

/// Reads exactly `count` hex digits; false when there are fewer.
template <typename T> bool readHexDigits(const char*& p, const char* end, int count, T& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (p == end || hexDigit(*p) < 0)
            return false;
        value = static_cast<T>((value << 4) | static_cast<T>(hexDigit(*p++)));
    }
    return true;
}

/// Reads 1 to `maxCount` hex digits; false when there is none.
template <typename T> bool readHexNumber(const char*& p, const char* end, int maxCount, T& value)
{
    value = 0;
    int count = 0;
    while (count < maxCount && p < end && hexDigit(*p) >= 0) {
        value = static_cast<T>((value << 4) | static_cast<T>(hexDigit(*p++)));
        ++count;
    }
    return count > 0;
}

/// Reads a hive exactly as Wine's saver writes it. What it would not write is damage: the
/// file and line are reported, and nothing of the file is taken.
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
        while (nextLine(raw)) {
            const std::string_view line = trimCr(raw);
            const char* p = line.data();
            const char* end = p + line.size();
            const char first = line.empty() ? '\0' : line.front();

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
                readKeyOption(line);
                break;
            case '\0':
                break;
            case ';':
                fail(m_reader.lineNumber(),
                     "a comment among the keys (Wine writes none; saving would drop it)");
            default:
                fail(m_reader.lineNumber(), "unrecognized line");
            }
        }
        if (!inKeys)
            m_base = baseFor(header);
        leavePathCache(0);
        m_base->compact();
        return header;
    }

private:
    [[noreturn]] void fail(int line, const std::string& problem)
    {
        throw HiveFormatError(m_file, line, problem);
    }

    /// The next whole line; false at the end of the file.
    bool nextLine(std::string_view& raw)
    {
        bool complete = false;
        if (!m_reader.next(raw, complete))
            return false;
        if (!complete)
            fail(m_reader.lineNumber(), "the file ends in the middle of a line (truncated)");
        if (std::memchr(raw.data(), '\0', raw.size()))
            fail(m_reader.lineNumber(),
                 "a NUL byte (zeroed or overwritten data, as a crash can leave)");
        return true;
    }

    void check(TextStatus status, int line, const char* what)
    {
        if (status == TextStatus::Unterminated)
            fail(line, std::string("unterminated ") + what);
        if (status != TextStatus::Ok)
            fail(line, std::string("the ") + what + " holds " + describe(status));
    }

    static std::string_view trimCr(std::string_view line)
    {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

    void readHeaderLine(std::string_view line, HiveHeader& header)
    {
        if (line.empty() || line.front() == ';') {
            if (line.substr(0, kRelativeTo.size()) == kRelativeTo) {
                const char* p = line.data() + kRelativeTo.size();
                std::u16string_view path;
                check(parseString(p, line.data() + line.size(), 0, m_text, path),
                      m_reader.lineNumber(), "\"All keys relative to\" path");
                header.relativeTo = std::u16string(path);
            }
            return;
        }
        if (line.substr(0, 6) == "#arch=") {
            header.arch = std::string(line.substr(6));
            header.archLine = m_reader.lineNumber();
            if (header.arch != "win32" && header.arch != "win64")
                fail(m_reader.lineNumber(), "unknown architecture \"" + header.arch + "\"");
            return;
        }
        fail(m_reader.lineNumber(), "unrecognized line before the first key");
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
        while ((p = findPathBreak(p, end)) < end) {
            if (*p == '\\') {
                if (p + 1 == end)
                    break;
                if (p[1] == '\\') {
                    m_rawParts.emplace_back(partStart, static_cast<size_t>(p - partStart));
                    if (m_rawParts.size() >= platform::kMaxKeyDepth)
                        fail(lineNo, "a key deeper than " + std::to_string(platform::kMaxKeyDepth) +
                                         " levels (Windows allows no more)");
                    p += 2;
                    partStart = p;
                    continue;
                }
                p += 2;
                continue;
            }
            closed = true; // at the "]"
            break;
        }
        if (!closed)
            fail(lineNo, "unterminated key name (no closing \"]\")");
        if (p > partStart || !m_rawParts.empty())
            m_rawParts.emplace_back(partStart, static_cast<size_t>(p - partStart));
        ++p;
        // "] <seconds since 1970>", as Wine writes it; old Wine wrote no time.
        unsigned long long stamp = 0;
        bool haveStamp = false;
        if (p < end) {
            if (*p++ != ' ')
                fail(lineNo, "unexpected text after the key name");
            int digits = 0;
            while (p < end && *p >= '0' && *p <= '9' && digits <= 10) {
                stamp = stamp * 10 + static_cast<unsigned>(*p++ - '0');
                ++digits;
            }
            if (p != end || digits == 0 || stamp > 0xFFFFFFFFull)
                fail(lineNo, "unexpected text after the key name");
            haveStamp = true;
        }

        // Consecutive sections share most of their path: reuse what matches. Keys left
        // behind get no more subkeys or values in a file in Wine's order.
        const char* pathStart = m_rawParts.empty() ? p : m_rawParts.front().data();
        size_t common = 0;
        while (common < m_rawParts.size() && common < m_pathCache.size() &&
               m_rawParts[common] == cachedPart(common))
            ++common;
        leavePathCache(common);
        HiveKey* key = common ? m_pathCache[common - 1].key : m_base;
        for (size_t i = common; i < m_rawParts.size(); ++i) {
            const char* q = m_rawParts[i].data();
            std::u16string_view name;
            check(parseString(q, q + m_rawParts[i].size(), 0, m_text, name), lineNo, "key name");
            if (name.empty())
                fail(lineNo, "an empty key name in the path");
            if (name.find(u'\\') != std::u16string_view::npos)
                fail(lineNo, "a key name with a backslash in it");
            key = key->addSubkey(name);
            const size_t partEnd =
                static_cast<size_t>(m_rawParts[i].data() + m_rawParts[i].size() - pathStart);
            m_pathCache.push_back({partEnd, key});
        }
        if (!m_rawParts.empty())
            m_cachedPath.assign(pathStart, m_pathCache.back().end);
        m_key = key;
        if (haveStamp)
            m_key->setModified(static_cast<FILETIME>(stamp) * TICKS_PER_SECOND +
                               TICKS_1601_TO_1970);
    }

    void readKeyOption(std::string_view option)
    {
        const int lineNo = m_reader.lineNumber();
        if (!m_key)
            fail(lineNo, "a key option before the first key");
        if (option.substr(0, 6) == "#time=") {
            const char* p = option.data() + 6;
            const char* end = option.data() + option.size();
            FILETIME modif = 0;
            if (!readHexNumber(p, end, 16, modif) || p != end)
                fail(lineNo, "bad #time option");
            m_key->setModified(modif);
        } else if (option.substr(0, 7) == "#class=") {
            const char* p = option.data() + 7;
            const char* end = option.data() + option.size();
            if (p == end || *p++ != '"')
                fail(lineNo, "bad #class option");
            std::u16string_view name;
            check(parseString(p, end, '"', m_text, name), lineNo, "class name");
            if (p != end)
                fail(lineNo, "text after the closing quote of the class name");
            m_key->setClassName(name);
        } else if (option == "#link") {
            m_key->setLink(true);
        } else {
            fail(lineNo, "unknown key option \"" + std::string(option) + "\"");
        }
    }

    void readValue(const char* p, const char* end)
    {
        const int lineNo = m_reader.lineNumber();
        if (!m_key)
            fail(lineNo, "a value before the first key");
        // Name and data are read into buffers kept from value to value; the key copies them.
        std::u16string_view name;
        if (*p == '@') {
            ++p;
        } else {
            ++p;
            check(parseString(p, end, '"', m_valueName, name), lineNo, "value name");
        }
        if (p == end || *p++ != '=')
            fail(lineNo, "missing \"=\" after the value name");

        const std::string_view rest(p, static_cast<size_t>(end - p));
        DWORD type = REG_SZ;
        std::string_view data;
        m_bytes.clear();
        auto startsWith = [&](std::string_view tag) { return rest.substr(0, tag.size()) == tag; };
        if (startsWith("\"") || startsWith("str:\"") || startsWith("str(2):\"") ||
            startsWith("str(7):\"")) {
            if (startsWith("str(2)"))
                type = REG_EXPAND_SZ;
            else if (startsWith("str(7)"))
                type = REG_MULTI_SZ;
            p = static_cast<const char*>(std::memchr(p, '"', rest.size())) + 1;
            char16_t* const start = m_data.reserve(static_cast<size_t>(end - p) + 1);
            char16_t* out = start;
            check(parseEscaped(p, end, '"', out), lineNo, "string");
            if (p != end)
                fail(lineNo, "text after the closing quote of the string");
            *out++ = u'\0';
            // The units as they lie in memory are the little-endian data.
            data = std::string_view(reinterpret_cast<const char*>(start),
                                    static_cast<size_t>(out - start) * sizeof(char16_t));
        } else if (startsWith("dword:")) {
            p += 6;
            type = REG_DWORD;
            DWORD v = 0;
            if (!readHexDigits(p, end, 8, v) || p != end)
                fail(lineNo, "bad dword value (Wine writes eight hex digits)");
            m_bytes.assign(reinterpret_cast<const char*>(&v), 4);
            data = m_bytes;
        } else if (startsWith("hex:") || startsWith("hex(")) {
            p += 4;
            if (rest[3] == ':') {
                type = REG_BINARY;
            } else {
                if (!readHexNumber(p, end, 8, type) || end - p < 2 || p[0] != ')' || p[1] != ':')
                    fail(lineNo, "bad value type");
                p += 2;
            }
            readHex(p, end, m_bytes);
            data = m_bytes;
        } else {
            fail(lineNo, "unknown kind of value data");
        }
        m_key->setValue(name, type, data);
    }

    /// Hex bytes "01,02,...": two digits each, split by commas; after a comma the line may
    /// go on in the next one ("\" at the end).
    void readHex(const char* p, const char* end, std::string& data)
    {
        if (p == end)
            return;
        std::string_view raw;
        for (;;) {
            unsigned char byte = 0;
            if (!readHexDigits(p, end, 2, byte))
                fail(m_reader.lineNumber(), "bad hex data");
            data.push_back(static_cast<char>(byte));
            if (p == end)
                return;
            if (*p++ != ',')
                fail(m_reader.lineNumber(), "bad hex data");
            if (p < end && *p == '\\') {
                if (++p != end)
                    fail(m_reader.lineNumber(), "bad hex data (text after the line continuation)");
                if (!nextLine(raw))
                    fail(m_reader.lineNumber(), "the file ends inside hex data (truncated)");
                raw = trimCr(raw);
                p = raw.data();
                end = p + raw.size();
                while (p < end && *p == ' ')
                    ++p;
            }
        }
    }

    const std::string& m_file;
    LineReader& m_reader;
    HiveKey* m_base = nullptr;
    HiveKey* m_key = nullptr;
    UnitBuffer m_text;
    UnitBuffer m_valueName;
    UnitBuffer m_data;
    std::string m_bytes;
    /// The part of the cached path that leads to key `i` of m_pathCache.
    std::string_view cachedPart(size_t i) const
    {
        const size_t start = i ? m_pathCache[i - 1].end + 2 : 0;
        return std::string_view(m_cachedPath).substr(start, m_pathCache[i].end - start);
    }

    /// Keeps the first `count` keys of the path cache and compacts those after them.
    void leavePathCache(size_t count)
    {
        while (m_pathCache.size() > count) {
            m_pathCache.back().key->compact();
            m_pathCache.pop_back();
        }
    }

    struct CachedKey
    {
        /// Where the key's part of the path ends in m_cachedPath.
        size_t end;
        HiveKey* key;
    };

    std::vector<std::string_view> m_rawParts;
    /// The escaped path of the last key line and the keys along it.
    std::string m_cachedPath;
    std::vector<CachedKey> m_pathCache;
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

/// Wine's escaping of a UTF-16 string, given as its units (or as bytes for units below 0x100).
/// String data ends in its NUL, which is left out (`dataNul`); in a name a final NUL is part of
/// the name.
template <typename Unit>
void appendEscaped(std::string& out, const Unit* str, size_t units, char esc1, char esc2,
                   bool dataNul)
{
    static const char escapes[33] = ".......abtnvfr.............e....";
    const auto at = [str](size_t i) {
        return static_cast<char16_t>(static_cast<std::make_unsigned_t<Unit>>(str[i]));
    };
    for (size_t i = 0; i < units; ++i) {
        // Runs of plain printable ASCII go out as they are.
        size_t run = i;
        while (run < units && at(run) >= 32 && at(run) < 128 && at(run) != '\\' &&
               at(run) != esc1 && at(run) != esc2)
            ++run;
        if (run > i) {
            const size_t old = out.size();
            out.resize(old + (run - i));
            for (char* d = out.data() + old; i < run; ++i)
                *d++ = static_cast<char>(at(i));
            if (i == units)
                break;
        }
        const char16_t c = at(i);
        const size_t left = units - i;
        if (c > 127) {
            out += "\\x";
            const bool nextIsHex = left > 1 && at(i + 1) < 128 && hexDigit(char(at(i + 1))) >= 0;
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
                appendOctal(out, c, (left > 1 && at(i + 1) >= '0' && at(i + 1) <= '7') ? 3 : 1);
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

void appendEscaped(std::string& out, const HiveName& name, char esc1, char esc2)
{
    name.visit(
        [&](auto units) { appendEscaped(out, units.data(), units.size(), esc1, esc2, false); });
}

/// What comes before the quoted text of string data.
void appendStringPrefix(std::string& out, DWORD type)
{
    if (type != REG_SZ) {
        out += "str(";
        appendHex(out, type, 1);
        out += "):";
    }
    out.push_back('"');
}

void appendValue(std::string& out, const HiveValue& value)
{
    const size_t lineStart = out.size();
    if (!value.name().empty()) {
        out.push_back('"');
        appendEscaped(out, value.name(), '"', '"');
        out += "\"=";
    } else {
        out += "@=";
    }
    const std::string_view stored = value.storedData();
    if (value.isAsciiText()) {
        // Each byte one UTF-16 unit.
        if (!stored.empty() && stored.back() == 0) {
            appendStringPrefix(out, value.type());
            appendEscaped(out, stored.data(), stored.size(), '"', '"', true);
            out += "\"\n";
            return;
        }
    }
    std::string expanded;
    if (value.isAsciiText())
        expanded = value.data();
    const std::string_view data = value.isAsciiText() ? std::string_view(expanded) : stored;
    switch (value.type()) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        if (data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
            data[data.size() - 2] == 0) {
            appendStringPrefix(out, value.type());
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
    if (value.type() == REG_BINARY) {
        out += "hex:";
    } else {
        out += "hex(";
        appendHex(out, value.type(), 1);
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

/// The section of one key: "[path] stamp", its options and values.
void appendSection(std::string& out, const HiveKey& key, const std::string& path)
{
    out += "\n[";
    out += path;
    out += "] ";
    const FILETIME modif = key.modified();
    out += std::to_string(static_cast<unsigned>((modif - TICKS_1601_TO_1970) / TICKS_PER_SECOND));
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
}

/// Writes `base` and its subtree in Wine's order, one level of the tree per stack entry
/// (not per call), so that no depth can exhaust the stack.
void writeTree(std::string& out, const HiveKey& base,
               const std::function<void(std::string_view)>& sink)
{
    struct Level
    {
        const HiveKey* key;
        size_t next;
        size_t pathLength;
    };
    std::string path;
    std::vector<Level> stack;
    const HiveKey* key = &base;
    for (;;) {
        if (!key->isDeleted()) {
            // Keys with no values but subkeys are implied by their subkeys' sections.
            if (!key->values().empty() || key->subkeys().empty() || key->className() ||
                key->isLink()) {
                appendSection(out, *key, path);
                if (out.size() >= kFlushSize) {
                    sink(out);
                    out.clear();
                }
            }
            stack.push_back({key, 0, path.size()});
        }
        key = nullptr;
        while (!stack.empty() && !key) {
            Level& level = stack.back();
            if (level.next == level.key->subkeys().size()) {
                stack.pop_back();
                continue;
            }
            key = level.key->subkeys()[level.next++];
            path.resize(level.pathLength);
            if (!path.empty())
                path += "\\\\";
            appendEscaped(path, key->name(), '[', ']');
        }
        if (!key)
            return;
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
    writeTree(out, base, sink);
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
