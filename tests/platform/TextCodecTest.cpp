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
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
    EXPECT_EQ(bytesToUtf16(std::string("a\0b", 3)), u"a");
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
