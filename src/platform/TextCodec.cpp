#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cwctype>
#include <iconv.h>
#include <locale.h>
#include <memory>
#include <stdexcept>

namespace tw::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

/// Lower-case table for all UTF-16 units, from the C library's Unicode tables.
struct FoldTable
{
    std::array<char16_t, 0x10000> lower{};
    FoldTable()
    {
        for (unsigned c = 0; c < 0x10000; ++c)
            lower[c] = static_cast<char16_t>(c);
        for (unsigned c = 'A'; c <= 'Z'; ++c)
            lower[c] = static_cast<char16_t>(c + 32);
        locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!utf8)
            return;
        for (unsigned c = 0x80; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            const wint_t l = towlower_l(static_cast<wint_t>(c), utf8);
            if (l < 0x10000)
                lower[c] = static_cast<char16_t>(l);
        }
        freelocale(utf8);
    }
};

const FoldTable& foldTable()
{
    static const FoldTable table;
    return table;
}

/// An iconv conversion between UTF-8 and a Windows code page, closed on destruction.
class CodePageConverter
{
public:
    CodePageConverter(unsigned codePage, bool toCodePage)
    {
        const std::string name = "CP" + std::to_string(codePage);
        m_cd =
            toCodePage ? ::iconv_open(name.c_str(), "UTF-8") : ::iconv_open("UTF-8", name.c_str());
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("code page " + std::to_string(codePage) +
                                     " cannot be converted on this system");
    }
    ~CodePageConverter() { ::iconv_close(m_cd); }
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;

    /// Converts `in`; at a sequence that does not convert, `onError` appends its stand-in to
    /// the output and returns how many input bytes it stands for.
    template <typename OnError> std::string convert(std::string_view in, OnError onError)
    {
        std::string out;
        out.reserve(in.size() + in.size() / 2);
        char buffer[4096];
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = ::iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ, or EINVAL for a sequence cut off at the end.
            const size_t skip = std::min(onError(std::string_view(src, srcLeft), out), srcLeft);
            src += skip;
            srcLeft -= skip;
            ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        ::iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        return out;
    }

private:
    iconv_t m_cd;
};

/// The length of the UTF-8 sequence that starts `text` (1 for a stray byte).
size_t utf8SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    for (size_t i = 1; i < length; ++i) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return i;
    }
    return length;
}

} // namespace

std::string utf8ToCodePage(std::string_view text, unsigned codePage)
{
    if (codePage == kCodePageUtf8)
        return std::string(text);
    CodePageConverter converter(codePage, true);
    return converter.convert(text, [codePage](std::string_view rest, std::string& out) {
        const size_t length = utf8SequenceLength(rest);
        // A character that stands for a byte the code page leaves undefined (U+0081 for 0x81
        // in 1252) goes back to that byte, so that reading and writing agree.
        if (length == 2) {
            const unsigned char lead = static_cast<unsigned char>(rest[0]);
            const unsigned char trail = static_cast<unsigned char>(rest[1]);
            const unsigned code = ((lead & 0x1Fu) << 6) | (trail & 0x3Fu);
            if (code >= 0x80 && code <= 0xFF) {
                const std::string byte(1, static_cast<char>(code));
                if (codePageToUtf8(byte, codePage) == rest.substr(0, 2)) {
                    out += byte;
                    return length;
                }
            }
        }
        out += '?';
        return length;
    });
}

std::string codePageToUtf8(std::string_view bytes, unsigned codePage)
{
    if (codePage == kCodePageUtf8)
        return std::string(bytes);
    CodePageConverter converter(codePage, false);
    return converter.convert(bytes, [](std::string_view rest, std::string& out) {
        // A byte the code page leaves undefined stands for the character of the same number,
        // as Windows reads 0x81 in code page 1252.
        appendUtf8(out, static_cast<unsigned char>(rest[0]));
        return size_t{1};
    });
}

std::u16string utf8ToUtf16(std::string_view text)
{
    // Never more units than bytes: written in place, then cut to size.
    std::u16string out(text.size(), u'\0');
    char16_t* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            *o++ = b;
            ++p;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        if ((b & 0xE0) == 0xC0) {
            extra = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            cp = b & 0x07;
        } else {
            *o++ = static_cast<char16_t>(kReplacement);
            ++p;
            continue;
        }
        if (end - p <= extra) {
            *o++ = static_cast<char16_t>(kReplacement);
            break;
        }
        bool ok = true;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // A code point in more bytes than it needs (overlong) is no UTF-8 either.
        static constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kShortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            *o++ = static_cast<char16_t>(kReplacement);
            ++p;
            continue;
        }
        if (cp < 0x10000) {
            *o++ = static_cast<char16_t>(cp);
        } else {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
        p += extra + 1;
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

bool isUtf8(std::string_view text)
{
    // Anything the conversion had to replace comes back different.
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii || utf16ToUtf8(utf8ToUtf16(text)) == text;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string utf16ToBytes(std::u16string_view text)
{
    std::string out(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<char>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return out;
}

std::u16string bytesToUtf16(std::string_view bytes)
{
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

char16_t foldCase(char16_t c)
{
    return foldTable().lower[c];
}

const char16_t* foldCaseTable()
{
    return foldTable().lower.data();
}

int compareNamesNoCase(std::u16string_view a, std::u16string_view b)
{
    const auto& lower = foldTable().lower;
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const int d = int(lower[a[i]]) - int(lower[b[i]]);
        if (d)
            return d;
    }
    return int(a.size()) - int(b.size());
}

bool equalNamesNoCase(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && compareNamesNoCase(a, b) == 0;
}

std::u16string foldedName(std::string_view text)
{
    std::u16string folded = utf8ToUtf16(text);
    const char16_t* lower = foldCaseTable();
    for (char16_t& unit : folded)
        unit = lower[unit];
    return folded;
}

bool matchesWildcard(std::u16string_view text, std::u16string_view pattern)
{
    // Greedy with one back-track point: the last * seen.
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::u16string_view::npos;
    size_t starN = 0;
    while (n < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == text[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    // ASCII characters are whole characters in UTF-8: compare them as they stand and convert
    // only from the first other byte on.
    const auto& lower = foldTable().lower;
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    size_t i = 0;
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80)
            break;
        if (lower[x] != lower[y])
            return false;
    }
    if (i == a.size() || i == b.size())
        return a.size() == b.size();
    return equalNamesNoCase(utf8ToUtf16(a.substr(i)), utf8ToUtf16(b.substr(i)));
}

size_t hashNoCase(std::string_view text)
{
    // The lower-cased UTF-16 units, hashed alike whether they came from the ASCII start or
    // from the converted rest (a non-ASCII letter may fold to an ASCII one).
    const auto& lower = foldTable().lower;
    size_t hash = 14695981039346656037ULL;
    const auto add = [&](char16_t unit) { hash = (hash ^ lower[unit]) * 1099511628211ULL; };
    size_t i = 0;
    for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i)
        add(static_cast<char16_t>(text[i]));
    if (i < text.size()) {
        for (char16_t unit : utf8ToUtf16(text.substr(i)))
            add(unit);
    }
    return hash;
}

} // namespace tw::platform
