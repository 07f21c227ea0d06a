#include "TextCodec.h"

#include "TextCodecHost.h"

#include <algorithm>
#include <array>
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

/// Lower-case table for all UTF-16 units, from the host's Unicode tables.
struct FoldTable
{
    std::array<char16_t, 0x10000> lower{};
    FoldTable()
    {
        for (unsigned c = 0; c < 0x10000; ++c)
            lower[c] = static_cast<char16_t>(c);
        fillLowerCaseTable(lower);
    }
};

const FoldTable& foldTable()
{
    static const FoldTable table;
    return table;
}

} // namespace

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
