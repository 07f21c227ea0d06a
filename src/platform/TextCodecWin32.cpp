// Code pages and lower case from Windows' own tables.
#include "TextCodec.h"
#include "TextCodecHost.h"

#include <stdexcept>
#include <windows.h>

namespace tw::platform {

void fillLowerCaseTable(std::array<char16_t, 0x10000>& lower)
{
    for (unsigned c = 'A'; c <= 'Z'; ++c)
        lower[c] = static_cast<char16_t>(c + 32);
    for (unsigned c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        wchar_t unit = static_cast<wchar_t>(c);
        wchar_t folded = unit;
        if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &unit, 1, &folded, 1, nullptr,
                          nullptr, 0) == 1)
            lower[c] = static_cast<char16_t>(folded);
    }
}

namespace {

std::runtime_error unconvertible(unsigned codePage)
{
    return std::runtime_error("code page " + std::to_string(codePage) +
                              " cannot be converted on this system");
}

} // namespace

std::string utf8ToCodePage(std::string_view text, unsigned codePage)
{
    if (codePage == kCodePageUtf8 || text.empty())
        return std::string(text);
    if (!IsValidCodePage(codePage))
        throw unconvertible(codePage);
    std::u16string wide = utf8ToUtf16(text);
    // No 8-bit code page holds a character beyond the first plane: its pair of units is one
    // character that becomes one '?'.
    std::erase_if(wide, [](char16_t unit) { return unit >= 0xDC00 && unit < 0xE000; });
    for (char16_t& unit : wide) {
        if (unit >= 0xD800 && unit < 0xDC00)
            unit = 0xFFFD;
    }
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int count = static_cast<int>(wide.size());
    // No best fit: a character the code page lacks becomes '?', not a look-alike.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(codePage, flags, units, count, nullptr, 0, "?", nullptr);
    if (size <= 0)
        throw unconvertible(codePage);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, units, count, out.data(), size, "?", nullptr);
    return out;
}

std::string codePageToUtf8(std::string_view bytes, unsigned codePage)
{
    if (codePage == kCodePageUtf8 || bytes.empty())
        return std::string(bytes);
    if (!IsValidCodePage(codePage))
        throw unconvertible(codePage);
    const int count = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
    if (size <= 0)
        throw unconvertible(codePage);
    std::u16string wide(static_cast<size_t>(size), u'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), count, reinterpret_cast<wchar_t*>(wide.data()),
                        size);
    return utf16ToUtf8(wide);
}

} // namespace tw::platform
