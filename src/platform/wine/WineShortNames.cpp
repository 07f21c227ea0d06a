#include "WineShortNames.h"

#include "platform/TextCodec.h"

#include <cstdint>

namespace tw::wine {

namespace {

/// Characters a short name never holds; they become '_'.
bool isInvalidShortNameChar(char16_t c)
{
    if (c > 0x7f)
        return true;
    return std::u16string_view(u"*?<>|\"+=,;[] ~.").find(c) != std::u16string_view::npos;
}

char16_t upperAscii(char16_t c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
}

} // namespace

bool isLegal8dot3Name(std::u16string_view name)
{
    const size_t length = name.size();
    if (length > 12)
        return false;
    // A leading dot only in "." and "..".
    if (length > 0 && name[0] == '.')
        return length == 1 || (length == 2 && name[1] == '.');
    size_t dot = std::u16string_view::npos;
    for (size_t i = 0; i < length; ++i) {
        const char16_t c = name[i];
        if (c > 0x7f ||
            std::u16string_view(u"*?<>|\"+=,;[] :/\\").find(c) != std::u16string_view::npos)
            return false;
        if (c == '.') {
            if (dot != std::u16string_view::npos)
                return false;
            dot = i;
        }
    }
    if (dot == std::u16string_view::npos)
        return length <= 8;
    return dot <= 8 && length - dot > 1 && length - dot < 5;
}

std::u16string wineShortName(std::u16string_view longName)
{
    if (longName.empty())
        return {};
    using platform::foldCase;
    // A 16-bit hash over the lower-cased name, each step mixing in two characters.
    std::uint16_t hash = 0xbeef;
    const size_t length = longName.size();
    for (size_t i = 0; i + 1 < length; ++i)
        hash = static_cast<std::uint16_t>((hash << 3) ^ (hash >> 5) ^ foldCase(longName[i]) ^
                                          (foldCase(longName[i + 1]) << 8));
    hash = static_cast<std::uint16_t>((hash << 3) ^ (hash >> 5) ^ foldCase(longName[length - 1]));

    // The extension starts at the last dot that is neither the first nor the last character.
    size_t ext = std::u16string_view::npos;
    for (size_t i = 1; i + 1 < length; ++i) {
        if (longName[i] == '.')
            ext = i;
    }

    std::u16string shortName;
    for (size_t i = 0; i < length && i < ext && shortName.size() < 4; ++i)
        shortName += isInvalidShortNameChar(longName[i]) ? u'_' : upperAscii(longName[i]);
    shortName.append(5 - shortName.size(), u'~');
    static constexpr char16_t kHashChars[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    shortName += kHashChars[(hash >> 10) & 0x1f];
    shortName += kHashChars[(hash >> 5) & 0x1f];
    shortName += kHashChars[hash & 0x1f];
    if (ext != std::u16string_view::npos) {
        shortName += u'.';
        for (size_t i = ext + 1; i < length && i < ext + 4; ++i)
            shortName += isInvalidShortNameChar(longName[i]) ? u'_' : upperAscii(longName[i]);
    }
    return shortName;
}

bool looksLikeWineShortName(std::u16string_view name)
{
    return name.find(u'~') != std::u16string_view::npos && isLegal8dot3Name(name);
}

} // namespace tw::wine
