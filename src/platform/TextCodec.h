// Conversions between the 8-bit text of the domain (UTF-8) and the UTF-16 of the registry.
#pragma once

#include <string>
#include <string_view>

namespace tw::platform {

/// UTF-8 to UTF-16. Invalid bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
/// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

/// True when the bytes are UTF-8 as utf16ToUtf8 writes it (no stray, cut or overlong
/// sequences, no surrogates).
bool isUtf8(std::string_view text);

/// UTF-16 units as little-endian bytes, and back (an odd last byte is dropped).
std::string utf16ToBytes(std::u16string_view text);
std::u16string bytesToUtf16(std::string_view bytes);

/// The code page of UTF-8, which needs no conversion.
constexpr unsigned kCodePageUtf8 = 65001;

/// UTF-8 text in a Windows 8-bit code page (1252, 1251, 932, ...), as WideCharToMultiByte
/// writes it: a character the code page cannot hold becomes '?'. NULs pass through.
/// Throws std::runtime_error for a code page the system cannot convert.
std::string utf8ToCodePage(std::string_view text, unsigned codePage);
/// Text in a Windows 8-bit code page to UTF-8, as MultiByteToWideChar reads it. Throws
/// std::runtime_error for a code page the system cannot convert.
std::string codePageToUtf8(std::string_view bytes, unsigned codePage);

/// The value of a hexadecimal digit, -1 for any other character.
inline int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// Simple Unicode lower case of one UTF-16 unit, as the registry compares names.
char16_t foldCase(char16_t c);
/// The table foldCase() reads, indexed by unit, for loops over many units.
const char16_t* foldCaseTable();
/// Case-insensitive order of names: by lower-cased units, then by length.
int compareNamesNoCase(std::u16string_view a, std::u16string_view b);
bool equalNamesNoCase(std::u16string_view a, std::u16string_view b);
/// The same for UTF-8 text (compared through UTF-16).
bool equalNoCase(std::string_view a, std::string_view b);
/// UTF-8 text in UTF-16 with each unit folded to lower case: texts compare as
/// compareNamesNoCase() compares them.
std::u16string foldedName(std::string_view text);
/// `text` matches `pattern`, both folded: * any run of units, ? exactly one.
bool matchesWildcard(std::u16string_view text, std::u16string_view pattern);
/// A hash of UTF-8 text that is equal for texts that equalNoCase finds equal.
size_t hashNoCase(std::string_view text);
/// hashNoCase() and equalNoCase() for unordered containers searched with a string_view.
struct NoCaseHash
{
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return hashNoCase(text); }
};
struct NoCaseEqual
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return equalNoCase(a, b); }
};

} // namespace tw::platform
