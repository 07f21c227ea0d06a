// Text conversions and the registry's name order.
#include "platform/TextCodec.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tw::platform {
namespace {

TEST(TextCodec, RoundTripsBmpAndSupplementaryCharacters)
{
    const std::string text = "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8c\x8e";
    const std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, u"caf\u00e9 \u65e5\u672c \U0001F30E");
    EXPECT_EQ(utf16ToUtf8(wide), text);
    EXPECT_EQ(bytesToUtf16(utf16ToBytes(wide)), wide);
}

TEST(TextCodec, ReplacesBrokenInput)
{
    EXPECT_EQ(utf8ToUtf16("a\xff"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(utf8ToUtf16("a\xe6\x97"), u"a\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xc0\xaf|\xe0\x80\xaf|\xf0\x80\x80\xaf"),
              u"\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD")
        << "overlong slashes";
    EXPECT_EQ(utf8ToUtf16("\xc2\x80\xe0\xa0\x80\xf0\x90\x80\x80"), u"\u0080\u0800\U00010000")
        << "the shortest forms";
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
    EXPECT_EQ(bytesToUtf16(std::string("a\0b", 3)), u"a");
}

TEST(TextCodec, TellsUtf8FromOtherBytes)
{
    EXPECT_TRUE(isUtf8(""));
    EXPECT_TRUE(isUtf8("plain"));
    EXPECT_TRUE(isUtf8("caf\xc3\xa9 \xe2\x80\x9c\xf0\x9f\x8e\xb5 \xef\xbf\xbd"));
    EXPECT_FALSE(isUtf8("caf\xe9")) << "a code-page byte";
    EXPECT_FALSE(isUtf8("\xc3")) << "cut short";
    EXPECT_FALSE(isUtf8("\xc0\xaf")) << "overlong";
    EXPECT_FALSE(isUtf8("\xed\xa0\x80")) << "a surrogate";
    EXPECT_FALSE(isUtf8("a\x80z")) << "a stray continuation byte";
}

TEST(TextCodec, ConvertsWindowsCodePages)
{
    const std::string cafe = "Caf\xc3\xa9 \xc3\xbcn\xc3\xaf"
                             "c\xc3\xb6"
                             "d\xc3\xa9 \xe2\x82\xac";
    EXPECT_EQ(utf8ToCodePage(cafe, 1252), "Caf\xe9 \xfcn\xef"
                                          "c\xf6"
                                          "d\xe9 \x80");
    EXPECT_EQ(codePageToUtf8("Caf\xe9 \xfcn\xef"
                             "c\xf6"
                             "d\xe9 \x80",
                             1252),
              cafe);
    const std::string privet = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    EXPECT_EQ(utf8ToCodePage(privet, 1251), "\xcf\xf0\xe8\xe2\xe5\xf2");
    EXPECT_EQ(codePageToUtf8("\xcf\xf0\xe8\xe2\xe5\xf2", 1251), privet);
    // Two bytes a character in code page 932.
    EXPECT_EQ(utf8ToCodePage("\xe6\x97\xa5\xe6\x9c\xac", 932), "\x93\xfa\x96\x7b");
    EXPECT_EQ(codePageToUtf8("\x93\xfa\x96\x7b", 932), "\xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_EQ(utf8ToCodePage(cafe, kCodePageUtf8), cafe);
}

TEST(TextCodec, WhatACodePageCannotHoldBecomesAQuestionMark)
{
    // Cyrillic, a character beyond the BMP and broken UTF-8 in code page 1252; NULs stay.
    EXPECT_EQ(utf8ToCodePage(std::string("a\xd0\x9f\0b\xf0\x9f\x8c\x8e"
                                         "c\xff"
                                         "d",
                                         12),
                             1252),
              std::string("a?\0b?c?d", 8));
    EXPECT_EQ(utf8ToCodePage("Caf\xc3\xa9", 1251), "Caf?");
    // Bytes 1252 leaves undefined read as the characters of the same number, as on Windows.
    EXPECT_EQ(codePageToUtf8("a\x81\x8d"
                             "b",
                             1252),
              "a\xc2\x81\xc2\x8d"
              "b");
    EXPECT_THROW(utf8ToCodePage("x", 12345), std::runtime_error);
    EXPECT_THROW(codePageToUtf8("x", 12345), std::runtime_error);
}

TEST(TextCodec, OrdersNamesAsWineDoes)
{
    std::vector<std::u16string> names = {u"Upper", u"lower", u"Deep",      u"_under",
                                         u"9",     u"10",    u"Sub\u00e9", u"Su"};
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return compareNamesNoCase(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::u16string>{u"10", u"9", u"_under", u"Deep", u"lower", u"Su",
                                                  u"Sub\u00e9", u"Upper"}));
    EXPECT_TRUE(equalNamesNoCase(u"\u00c9T\u00c9", u"\u00e9t\u00e9"));
    EXPECT_TRUE(equalNoCase("HKEY_Local_Machine", "hkey_local_machine"));
    EXPECT_FALSE(equalNoCase("abc", "abcd"));
}

} // namespace
} // namespace tw::platform

namespace tw::platform {
namespace {

TEST(CodePages, BytesACodePageLeavesUndefinedComeBackAsThemselves)
{
    // 1252 has no characters at 0x81, 0x8D, 0x8F, 0x90 and 0x9D; what reads them writes them.
    const std::string undefined = "\x81\x8d\x8f\x90\x9d";
    const std::string text = codePageToUtf8(undefined, 1252);
    EXPECT_EQ(utf8ToCodePage(text, 1252), undefined);
    EXPECT_EQ(utf8ToCodePage("\xc2\x81", 1251), "?") << "0x81 is a letter in 1251, not U+0081";
}

} // namespace
} // namespace tw::platform
