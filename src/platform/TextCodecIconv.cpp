// Code pages and lower case from the C library's locales and iconv.
#include "TextCodec.h"
#include "TextCodecHost.h"

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <iconv.h>
#include <locale.h>
#include <stdexcept>

namespace tw::platform {

void fillLowerCaseTable(std::array<char16_t, 0x10000>& lower)
{
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

namespace {

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
        out += utf16ToUtf8(std::u16string(1, static_cast<unsigned char>(rest[0])));
        return size_t{1};
    });
}

} // namespace tw::platform
