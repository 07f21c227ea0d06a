// Reading and writing Wine's hive files.
#include "platform/wine/HiveFile.h"

#include "platform/TextCodec.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

using namespace std::string_literals;

namespace tw::wine {

using namespace tw::win;
namespace {

using test::fixture;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct LoadedHive
{
    std::unique_ptr<HiveKey> root = HiveKey::create(u"REGISTRY");
    HiveHeader header;
    HiveKey* base = nullptr;
};

std::unique_ptr<LoadedHive> load(const std::string& path)
{
    auto hive = std::make_unique<LoadedHive>();
    hive->header = readHiveFile(path, [&](const HiveHeader&) {
        hive->base = hive->root->addSubkey(u"Base");
        return hive->base;
    });
    return hive;
}

std::string save(const LoadedHive& hive)
{
    std::string out;
    writeHive(*hive.base, hive.header.prologue, [&](std::string_view piece) { out += piece; });
    return out;
}

HiveKey* findPath(HiveKey* key, std::u16string_view path)
{
    size_t start = 0;
    while (key && start <= path.size()) {
        size_t sep = path.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = path.size();
        key = key->findSubkey(path.substr(start, sep - start));
        start = sep + 1;
    }
    return key;
}

class FixtureHiveRoundTrip : public ::testing::TestWithParam<std::string>
{
};

TEST_P(FixtureHiveRoundTrip, UnchangedHiveSavesByteForByte)
{
    const std::string path = fixture(GetParam()).string();
    const auto hive = load(path);
    EXPECT_EQ(test::firstDifference(save(*hive), readFile(path)), "");
}

INSTANTIATE_TEST_SUITE_P(Wine80, FixtureHiveRoundTrip,
                         ::testing::Values("wine-8.0/fresh/system.reg", "wine-8.0/fresh/user.reg",
                                           "wine-8.0/fresh/userdef.reg",
                                           "wine-8.0/varied/system.reg", "wine-8.0/varied/user.reg",
                                           "wine-8.0/varied/userdef.reg"),
                         [](const auto& info) {
                             std::string name = info.param.substr(9);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(HiveFile, ReadsEveryValueKindOfTheVariedFixture)
{
    const auto hive = load(fixture("wine-8.0/varied/user.reg").string());
    HiveKey* key = findPath(hive->base, u"Software\\TidewellFixture");
    ASSERT_NE(key, nullptr);
    ASSERT_NE(key->className(), nullptr);
    EXPECT_EQ(*key->className(), u"FixtureClass");

    const HiveValue* dword = key->findValue(u"dword");
    ASSERT_NE(dword, nullptr);
    EXPECT_EQ(dword->type(), REG_DWORD);
    EXPECT_EQ(dword->data(), std::string("\x78\x56\x34\x12", 4));

    const HiveValue* multi = key->findValue(u"Multi");
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->type(), REG_MULTI_SZ);
    EXPECT_EQ(platform::bytesToUtf16(multi->data()), std::u16string(u"one\0two\0\0", 9));

    const HiveValue* uni = key->findValue(u"Uni\u00e9Name");
    ASSERT_NE(uni, nullptr);
    const std::string expectedText = "caf\xc3\xa9 \xc3\xa9"
                                     "a \xe6\x97\xa5\xe6\x9c\xac "
                                     "\xf0\x9f\x8c\x8e \"quoted\" back\\slash tab\tnl\n";
    EXPECT_EQ(platform::utf16ToUtf8(platform::bytesToUtf16(uni->data())), expectedText + '\0');

    const HiveValue* type99 = key->findValue(u"Type99");
    ASSERT_NE(type99, nullptr);
    EXPECT_EQ(type99->type(), 0x63u);
    EXPECT_EQ(key->findValue(u"LongBinary")->data().size(), 200u);
    EXPECT_EQ(key->findValue(u"EmptyBinary")->data().size(), 0u);

    // Keys only implied by a deeper section exist too.
    EXPECT_NE(findPath(key, u"Deep\\Deeper\\Deepest [x]"), nullptr);
}

TEST(HiveFile, KeepsWineOrderOfSubkeys)
{
    const auto hive = load(fixture("wine-8.0/varied/user.reg").string());
    HiveKey* key = findPath(hive->base, u"Software\\TidewellFixture");
    ASSERT_NE(key, nullptr);
    std::vector<std::u16string> names;
    for (const auto& sub : key->subkeys())
        names.push_back(sub->name().toUtf16());
    const std::vector<std::u16string> expected = {
        u"10", u"9", u"_under", u"Deep", u"Empty Key", u"lower", u"Sub\u00e9\u65e5", u"Upper"};
    EXPECT_EQ(names, expected);
}

TEST(HiveFile, ChangedHiveReadsBackWithExactlyTheChange)
{
    TempDir dir;
    const auto hive = load(fixture("wine-8.0/varied/user.reg").string());
    HiveKey* key = findPath(hive->base, u"Software\\TidewellFixture");
    ASSERT_NE(key, nullptr);
    key->setValue(u"Added \"quoted\" [name]", REG_SZ, platform::utf16ToBytes(u"new\\value\n\0"s));
    key->removeValue(u"Sz");
    HiveKey* created = key->addSubkey(u"New ] Key");
    created->setModified(key->modified());
    created->setValue(u"", REG_BINARY, std::string(100, '\xab'));

    const std::string path = (dir.path() / "user.reg").string();
    writeFile(path, save(*hive));
    const auto again = load(path);
    HiveKey* reread = findPath(again->base, u"Software\\TidewellFixture");
    ASSERT_NE(reread, nullptr);
    ASSERT_NE(reread->findValue(u"added \"QUOTED\" [name]"), nullptr);
    EXPECT_EQ(reread->findValue(u"Added \"quoted\" [name]")->data(),
              platform::utf16ToBytes(u"new\\value\n\0"s));
    EXPECT_EQ(reread->findValue(u"Sz"), nullptr);
    ASSERT_NE(reread->findSubkey(u"new ] key"), nullptr);
    EXPECT_EQ(reread->findSubkey(u"New ] Key")->findValue(u"")->data(), std::string(100, '\xab'));
    // Everything else is as it was.
    EXPECT_EQ(test::firstDifference(save(*again), save(*hive)), "");
}

/// Everything a read keeps of a tree, one line per key and value; the time only for keys
/// that have their own section (Wine writes none for keys that hold only subkeys).
std::string describe(const HiveKey& key, const std::string& indent = "")
{
    auto units = [](std::u16string_view text) {
        std::string out;
        for (char16_t c : text)
            out += (c >= 32 && c < 127) ? std::string(1, char(c)) : "<" + std::to_string(c) + ">";
        return out;
    };
    std::string out = indent + "[" + units(key.name().toUtf16()) + "]";
    if (!key.values().empty() || key.subkeys().empty() || key.className() || key.isLink())
        out += " time " + std::to_string(key.modified());
    if (key.className())
        out += " class " + units(*key.className());
    if (key.isLink())
        out += " link";
    out += "\n";
    for (const HiveValue& value : key.values()) {
        out += indent + "  \"" + units(value.name().toUtf16()) + "\" type " +
               std::to_string(value.type()) + ":";
        for (unsigned char byte : value.data())
            out += " " + std::to_string(byte);
        out += "\n";
    }
    for (const auto& sub : key.subkeys())
        out += describe(*sub, indent + "  ");
    return out;
}

struct RoundTripHive
{
    const char* name;
    std::string text;
};

class HiveRoundTrip : public ::testing::TestWithParam<RoundTripHive>
{
};

TEST_P(HiveRoundTrip, SavedHiveReadsBackAsTheSameTree)
{
    TempDir dir;
    const std::string path = (dir.path() / "system.reg").string();
    writeFile(path, GetParam().text);
    const auto first = load(path);
    writeFile(path, save(*first));
    const auto second = load(path);
    EXPECT_EQ(describe(*second->base), describe(*first->base));
}

const std::string kHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

INSTANTIATE_TEST_SUITE_P(Names, HiveRoundTrip,
                         ::testing::Values(
                             // A final NUL ends string data only; in names it is part of the name.
                             RoundTripHive{"NamesEndingInNul",
                                           kHeader +
                                               "\n[Key\\0\\\\Sub\\0] 1\n#time=1\n#class=\"C\\0\"\n"
                                               "\"Name\\0\"=\"x\"\n\"\\0\"=dword:00000001\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DamagedHive
{
    const char* name;
    std::string text;
    int line;
    const char* problem;
};

void PrintTo(const DamagedHive& hive, std::ostream* out)
{
    *out << hive.name;
}

class DamagedHiveTest : public ::testing::TestWithParam<DamagedHive>
{
};

TEST_P(DamagedHiveTest, NamesFileAndLine)
{
    TempDir dir;
    const std::string path = (dir.path() / "system.reg").string();
    writeFile(path, GetParam().text);
    try {
        load(path);
        FAIL() << "no error for a damaged hive";
    } catch (const HiveFormatError& e) {
        EXPECT_EQ(e.file(), path);
        EXPECT_EQ(e.line(), GetParam().line);
        EXPECT_NE(std::string(e.what()).find(GetParam().problem), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(path + " line " + std::to_string(GetParam().line)),
                  std::string::npos);
    }
}

/// "k\\\\k\\\\...": an escaped hive key path of `levels` names.
std::string deepHivePath(int levels)
{
    std::string path = "k";
    for (int i = 1; i < levels; ++i)
        path += "\\\\k";
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Wine, DamagedHiveTest,
    ::testing::Values(
        DamagedHive{"BadHeader", "WINE REGISTRY Version 1\n[A] 1\n", 1, "first line"},
        DamagedHive{"UnterminatedString", kHeader + "\n[A] 1\n\"x\"=\"abc\n", 7,
                    "unterminated string"},
        DamagedHive{"UnterminatedKey", kHeader + "\n[A\\\\B 1\n", 6, "unterminated key"},
        DamagedHive{"BadHex", kHeader + "\n[A] 1\n\"x\"=hex:01,zz\n", 7, "bad hex"},
        DamagedHive{"HexWithLongByte", kHeader + "\n[A] 1\n\"x\"=hex:0101\n", 7, "bad hex"},
        DamagedHive{"TruncatedLine", kHeader + "\n[A] 1\n\"x\"=dword:0000", 7, "truncated"},
        DamagedHive{"TruncatedInHex", kHeader + "\n[A] 1\n\"x\"=hex:01,02,\\\n", 7, "truncated"},
        DamagedHive{"BadDword", kHeader + "\n[A] 1\n\"x\"=dword:xyz\n", 7, "bad dword"},
        DamagedHive{"UnknownData", kHeader + "\n[A] 1\n\"x\"=what\n", 7, "unknown kind"},
        DamagedHive{"Garbage", kHeader + "\n[A] 1\nsomething odd\n", 7, "unrecognized"},
        DamagedHive{"BadArch", "WINE REGISTRY Version 2\n#arch=win16\n", 2, "architecture"},
        // What Wine never writes, and what a crash or a bad disk leaves.
        DamagedHive{"NulInKeyLine", kHeader + "\n[A\0B] 1\n"s, 6, "NUL"},
        DamagedHive{"NulInString", kHeader + "\n[A] 1\n\"x\"=\"a\0b\"\n"s, 7, "NUL"},
        DamagedHive{"ZeroedBlock",
                    kHeader + "\n[A] 1\n" + std::string(4096, '\0') + "\"x\"=\"b\"\n", 7, "NUL"},
        DamagedHive{"TextAfterString", kHeader + "\n[A] 1\n\"x\"=\"abc\"junk\n", 7,
                    "after the closing quote"},
        DamagedHive{"TextAfterClass", kHeader + "\n[A] 1\n#class=\"c\" x\n", 7,
                    "after the closing quote"},
        DamagedHive{"Latin1InString", kHeader + "\n[A] 1\n\"x\"=\"caf\xe9\"\n", 7, "UTF-8"},
        DamagedHive{"Latin1InKeyName", kHeader + "\n[caf\xe9] 1\n", 6, "UTF-8"},
        DamagedHive{"OverlongUtf8", kHeader + "\n[\xc0\xaf] 1\n", 6, "UTF-8"},
        DamagedHive{"EncodedSurrogate", kHeader + "\n[A] 1\n\"\xed\xa0\x80\"=\"\"\n", 7, "UTF-8"},
        DamagedHive{"BackslashInKeyName", kHeader + "\n[A\\134B] 1\n", 6, "backslash"},
        DamagedHive{"EmptyKeyName", kHeader + "\n[A\\\\\\\\B] 1\n", 6, "empty key name"},
        DamagedHive{"UnknownEscape", kHeader + "\n[A] 1\n\"x\"=\"a\\qb\"\n", 7, "escape"},
        DamagedHive{"RawTab", kHeader + "\n[A] 1\n\"x\"=\"a\tb\"\n", 7, "control character"},
        DamagedHive{"ShortDword", kHeader + "\n[A] 1\n\"x\"=dword:1234\n", 7, "bad dword"},
        DamagedHive{"OneDigitHexByte", kHeader + "\n[A] 1\n\"x\"=hex:1,2\n", 7, "bad hex"},
        DamagedHive{"BadStamp", kHeader + "\n[A] 12x\n", 6, "after the key name"},
        DamagedHive{"UnknownKeyOption", kHeader + "\n[A] 1\n#flags=1\n", 7, "unknown key option"},
        DamagedHive{"CommentAmongKeys", kHeader + "\n[A] 1\n;note\n", 7, "comment"},
        DamagedHive{"GarbageBeforeKeys", kHeader + "junk\n[A] 1\n", 5, "before the first key"},
        DamagedHive{"TooDeep", kHeader + "\n[A] 1\n\n[" + deepHivePath(513) + "] 1\n", 8,
                    "512 levels"},
        DamagedHive{"MillionLevels", kHeader + "\n[" + deepHivePath(1000000) + "] 1\n", 6,
                    "512 levels"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HiveFile, ReadsWhatWinesLoaderReadsTheSameWay)
{
    // Line ends with CR, upper-case hex, raw UTF-8 and a key line without a time: Wine's own
    // loader gives them one meaning, and saving writes them as Wine would.
    TempDir dir;
    const std::string path = (dir.path() / "system.reg").string();
    writeFile(path, "WINE REGISTRY Version 2\r\n;; All keys relative to REGISTRY\\\\Machine\r\n"
                    "\r\n[Caf\xc3\xa9\\\\\xf0\x9f\x8c\x8e]\r\n\"Bin\"=hex:AB,cD\r\n"
                    "\"N\"=dword:0000ABCD\r\n");
    const auto hive = load(path);
    HiveKey* key = findPath(hive->base, u"Caf\u00e9\\\U0001F30E");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->findValue(u"Bin")->data(), "\xab\xcd");
    EXPECT_EQ(key->findValue(u"N")->data(), std::string("\xcd\xab\0\0", 4));
    EXPECT_NE(save(*hive).find("[Caf\\xe9\\\\\\xd83c\\xdf0e]"), std::string::npos) << save(*hive);
}

TEST(HiveFile, EscapesAndOtherCharactersReadTheSameAnywhereInLongText)
{
    // Long runs of plain text are read in blocks: what ends a run must be found at any place.
    struct Special
    {
        std::string written;
        std::u16string read;
    };
    const std::vector<Special> specials = {
        {"\\n", u"\n"},         {"\\\"", u"\""},         {"\\\\", u"\\"},
        {"\\x263a", u"\u263a"}, {"\xc3\xa9", u"\u00e9"}, {"\xf0\x9f\x8c\x8e", u"\U0001F30E"},
        {"\x7f", u"\x7f"},      {"\\[", u"["},           {"\\]", u"]"}};
    std::string text = kHeader;
    std::vector<std::pair<std::u16string, std::u16string>> expected;
    for (size_t at = 0; at < 40; ++at) {
        for (size_t i = 0; i < specials.size(); ++i) {
            const std::string tag = std::to_string(at) + "-" + std::to_string(i) + "-";
            const std::string written =
                tag + std::string(at, 'a') + specials[i].written + std::string(40 - at, 'b');
            const std::u16string read = platform::utf8ToUtf16(tag) + std::u16string(at, u'a') +
                                        specials[i].read + std::u16string(40 - at, u'b');
            // In a key's path an escaped backslash separates names.
            const bool keyName = specials[i].read != u"\\";
            text += "\n[Key\\\\" + (keyName ? written : tag) + "] 1\n\"" + written + "\"=\"" +
                    written + "\"\n";
            expected.emplace_back(keyName ? read : platform::utf8ToUtf16(tag), read);
        }
    }
    TempDir dir;
    const std::string path = (dir.path() / "system.reg").string();
    writeFile(path, text);
    const auto hive = load(path);
    HiveKey* parent = hive->base->findSubkey(u"Key");
    ASSERT_NE(parent, nullptr);
    for (const auto& [keyName, text] : expected) {
        const HiveKey* key = parent->findSubkey(keyName);
        ASSERT_NE(key, nullptr) << platform::utf16ToUtf8(keyName);
        EXPECT_EQ(key->name(), keyName);
        ASSERT_EQ(key->values().size(), 1u);
        EXPECT_EQ(key->values()[0].name(), text);
        EXPECT_EQ(key->values()[0].data(), platform::utf16ToBytes(text + u'\0'));
    }

    // A raw control character is refused wherever it is.
    for (size_t at = 0; at < 40; ++at) {
        writeFile(path, kHeader + "\n[A] 1\n\"v\"=\"" + std::string(at, 'a') + "\x01" +
                            std::string(40 - at, 'b') + "\"\n");
        EXPECT_THROW(load(path), HiveFormatError) << at;
    }
}

TEST(HiveFile, KeysAre512LevelsDeepAtMost)
{
    TempDir dir;
    const std::string path = (dir.path() / "system.reg").string();
    writeFile(path, kHeader + "\n[" + deepHivePath(512) + "] 1\n\"v\"=\"bottom\"\n");
    const auto hive = load(path);
    EXPECT_NE(save(*hive).find(deepHivePath(512) + "] 1\n"), std::string::npos);
}

TEST(HiveFile, TreesOfAnyDepthAreWrittenAndFreedWithoutRecursion)
{
    // A tree built in memory is not bound by the hive limit; writing and freeing it must not
    // use the stack per level.
    auto base = HiveKey::create(u"Base");
    HiveKey* key = base.get();
    for (int i = 0; i < 300000; ++i)
        key = key->addSubkey(u"k");
    key->setValue(u"v", REG_DWORD, std::string(4, '\0'));
    size_t bytes = 0;
    bool bottomWritten = false;
    writeHive(*base, "", [&](std::string_view piece) {
        bytes += piece.size();
        bottomWritten = bottomWritten || piece.find("\"v\"=dword:00000000") != std::string::npos;
    });
    EXPECT_TRUE(bottomWritten);
    EXPECT_GT(bytes, 300000u * 3);
    base.reset();
}

/// A copy of `from` below `to`, made key by key as edits make keys.
void copyTree(const HiveKey& from, HiveKey& to)
{
    to.setModified(from.modified());
    if (from.className())
        to.setClassName(*from.className());
    to.setLink(from.isLink());
    for (const HiveValue& value : from.values())
        to.setValue(value.name().toUtf16(), value.type(), value.data());
    for (const HiveKey* sub : from.subkeys())
        copyTree(*sub, *to.addSubkey(sub->name().toUtf16()));
}

TEST(HiveTree, KeysLoadedFromAFileChangeAsKeysMadeInMemory)
{
    // Loaded keys hold their lists at their exact size; every change must work on them as on
    // lists that grew one entry at a time.
    const auto hive = load(fixture("wine-8.0/varied/user.reg").string());
    HiveKey* loaded = findPath(hive->base, u"Software\\TidewellFixture");
    ASSERT_NE(loaded, nullptr);
    const auto made = HiveKey::create(u"TidewellFixture");
    copyTree(*loaded, *made);
    ASSERT_EQ(describe(*loaded), describe(*made));
    ASSERT_GT(loaded->values().size(), 2u);

    for (HiveKey* key : {loaded, made.get()}) {
        key->addSubkey(u"0 first");
        key->addSubkey(u"m middle")->setValue(u"v", REG_DWORD, std::string(4, '\1'));
        key->addSubkey(u"zz last");
        while (!key->values().empty()) {
            const std::u16string name = key->values().back().name().toUtf16();
            ASSERT_TRUE(key->removeValue(name));
        }
        key->setValue(u"B", REG_SZ, std::string("b\0\0\0", 4));
        key->setValue(u"a", REG_BINARY, "\x01\x02");
        key->setValue(u"A", REG_BINARY, "\x03");
        HiveKey* deep = findPath(key, u"Deep\\Deeper");
        ASSERT_NE(deep, nullptr);
        while (!deep->subkeys().empty())
            ASSERT_NE(deep->takeSubkey(deep->subkeys().front()), nullptr);
        deep->addSubkey(u"Again");
        // Every other subkey, from a list loaded at its exact size.
        for (size_t i = 1; i < key->subkeys().size(); ++i)
            ASSERT_NE(key->takeSubkey(key->subkeys()[i]), nullptr);
    }
    EXPECT_EQ(describe(*loaded), describe(*made));
    ASSERT_EQ(loaded->values().size(), 2u);
    // The name keeps the case it was first set with; the data is the last one set.
    EXPECT_EQ(loaded->values()[0].name(), u"a");
    EXPECT_EQ(loaded->values()[0].data(), "\x03");
    EXPECT_EQ(loaded->values()[1].name(), u"B");
    std::vector<std::u16string> names;
    for (const HiveKey* sub : loaded->subkeys())
        names.push_back(sub->name().toUtf16());
    const std::vector<std::u16string> expected = {u"0 first",         u"9",      u"Deep", u"lower",
                                                  u"Sub\u00e9\u65e5", u"zz last"};
    EXPECT_EQ(names, expected);
}

TEST(HiveTree, StringDataOfAnyCharactersReadsAndSavesAsWindowsStoresIt)
{
    // String data of ASCII characters is kept in a shorter form; the rest as it is.
    struct Sample
    {
        DWORD type;
        std::string data;
        std::string saved;
    };
    const auto utf16 = [](std::u16string_view text) { return platform::utf16ToBytes(text); };
    const std::vector<Sample> samples = {
        {REG_SZ, utf16(u"abc\0"s), "\"abc\""},
        {REG_SZ, utf16(u"ab"), "hex(1):61,00,62,00"},
        {REG_SZ, "a\0b"s, "hex(1):61,00,62"},
        {REG_SZ, "", "hex(1):"},
        {REG_SZ, utf16(u"\u00e9\0"s), "\"\\xe9\""},
        {REG_SZ, utf16(u"\u0100\0"s), "\"\\x100\""},
        {REG_SZ, utf16(u"\u0080\0"s), "\"\\x80\""},
        {REG_SZ, utf16(u"aaaaaaaaaaaaaaaaaaaa\u0101\0"s), "\"aaaaaaaaaaaaaaaaaaaa\\x101\""},
        {REG_SZ, utf16(u"tab\there\x7f\0"s), "\"tab\\there\x7f\""},
        {REG_MULTI_SZ, utf16(u"a\0b\0\0"s), "str(7):\"a\\0b\\0\""},
        {REG_EXPAND_SZ, utf16(u"%PATH%;C:\\Windows\\System32\0"s),
         "str(2):\"%PATH%;C:\\\\Windows\\\\System32\""},
        {REG_BINARY, utf16(u"ab"), "hex:61,00,62,00"},
        {REG_DWORD, "\x01\0\0\0"s, "dword:00000001"},
    };
    const auto key = HiveKey::create(u"Key");
    for (size_t i = 0; i < samples.size(); ++i)
        key->setValue(u"v" + platform::utf8ToUtf16(std::to_string(i + 10)), samples[i].type,
                      samples[i].data);
    std::string saved;
    writeHive(*key, "", [&](std::string_view piece) { saved += piece; });
    for (size_t i = 0; i < samples.size(); ++i) {
        const std::string name = "v" + std::to_string(i + 10);
        const HiveValue* value = key->findValue(platform::utf8ToUtf16(name));
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type(), samples[i].type) << name;
        EXPECT_EQ(value->data(), samples[i].data) << name;
        EXPECT_EQ(value->dataSize(), samples[i].data.size()) << name;
        EXPECT_NE(saved.find("\n\"" + name + "\"=" + samples[i].saved + "\n"), std::string::npos)
            << name << "\n"
            << saved;
    }

    // Changed to text of other characters and back.
    key->setValue(u"v10", REG_SZ, utf16(u"\u263a\0"s));
    EXPECT_EQ(key->findValue(u"v10")->data(), utf16(u"\u263a\0"s));
    key->setValue(u"v10", REG_EXPAND_SZ, utf16(u"plain\0"s));
    EXPECT_EQ(key->findValue(u"v10")->data(), utf16(u"plain\0"s));
    EXPECT_EQ(key->findValue(u"v10")->type(), DWORD(REG_EXPAND_SZ));
}

TEST(HiveTree, NamesOfAnyCharactersAreFoundAndOrderedAlike)
{
    // ASCII names are kept shorter than others; lookups and order must not tell.
    const std::vector<std::u16string> names = {u"plain",
                                               u"Caf\u00e9",
                                               u"\u65e5\u672c",
                                               u"zeta",
                                               u"Alpha",
                                               u"\u00c9t\u00e9",
                                               u"kelvin",
                                               u"a\u0000b"s,
                                               u"\U0001F30E",
                                               u"_under",
                                               u"10",
                                               u"9",
                                               u"a long name well past sixteen characters"};
    const auto key = HiveKey::create(u"Key");
    for (const std::u16string& name : names) {
        key->addSubkey(name);
        key->setValue(name, REG_DWORD, std::string(4, '\0'));
    }
    std::vector<std::u16string> sorted = names;
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return platform::compareNamesNoCase(a, b) < 0; });
    ASSERT_EQ(key->subkeys().size(), sorted.size());
    ASSERT_EQ(key->values().size(), sorted.size());
    for (size_t i = 0; i < sorted.size(); ++i) {
        EXPECT_EQ(key->subkeys()[i]->name().toUtf16(), sorted[i]);
        EXPECT_TRUE(key->subkeys()[i]->name() == sorted[i]);
        EXPECT_EQ(key->subkeys()[i]->name().toUtf8(), platform::utf16ToUtf8(sorted[i]));
        EXPECT_EQ(key->values()[i].name().toUtf16(), sorted[i]);
    }
    // Case-insensitive either way, the Kelvin sign folding to an ASCII k included.
    const std::vector<std::pair<std::u16string, std::u16string>> sameNames = {
        {u"PLAIN", u"plain"},
        {u"alpha", u"Alpha"},
        {u"caf\u00c9", u"Caf\u00e9"},
        {u"\u212aELVIN", u"kelvin"},
        {u"\u00e9T\u00c9", u"\u00c9t\u00e9"},
        {u"A LONG NAME WELL PAST SIXTEEN CHARACTERS", u"a long name well past sixteen characters"}};
    for (const auto& [query, stored] : sameNames) {
        const HiveKey* found = key->findSubkey(query);
        ASSERT_NE(found, nullptr) << platform::utf16ToUtf8(query);
        EXPECT_EQ(found->name().toUtf16(), stored);
        bool created = true;
        EXPECT_EQ(key->addSubkey(query, &created), found);
        EXPECT_FALSE(created);
        ASSERT_NE(key->findValue(query), nullptr);
        EXPECT_EQ(key->findValue(query)->name().toUtf16(), stored);
    }
    EXPECT_EQ(key->findSubkey(u"plai"), nullptr);
    EXPECT_EQ(key->findSubkey(u"Caf"), nullptr);
    EXPECT_EQ(key->findSubkey(u"a"), nullptr);
    EXPECT_FALSE(key->subkeys()[0]->name() == u"something else");
}

TEST(HiveTree, DetachedKeysOutliveTheTreeTheyCameFrom)
{
    // A deleted key stays alive while a handle holds it, also after its tree was freed.
    auto hive = load(fixture("wine-8.0/fresh/system.reg").string());
    HiveKey* classes = findPath(hive->base, u"Software\\Classes");
    ASSERT_NE(classes, nullptr);
    const std::string before = describe(*classes);
    ASSERT_GT(before.size(), 100000u);
    const std::unique_ptr<HiveKey> taken = classes->parent()->takeSubkey(classes);
    ASSERT_EQ(taken.get(), classes);
    hive.reset();
    // The memory the freed tree gave back goes to another one.
    const auto other = load(fixture("wine-8.0/fresh/system.reg").string());
    EXPECT_EQ(describe(*taken), before);
    EXPECT_EQ(describe(*findPath(other->base, u"Software\\Classes")), before);
}

TEST(HiveTree, TreesOutliveTheThreadThatMadeThemAndAreFreedOnAnother)
{
    const std::string path = fixture("wine-8.0/varied/system.reg").string();
    std::unique_ptr<LoadedHive> hive;
    std::thread([&] { hive = load(path); }).join();
    const auto here = load(path);
    EXPECT_EQ(describe(*hive->base), describe(*here->base));
    std::thread([&] { hive.reset(); }).join();
    EXPECT_EQ(test::firstDifference(save(*here), readFile(path)), "");
}

TEST(HiveFile, ZeroedPageOfARealHiveIsReportedWithItsLine)
{
    // A crash can leave a 4 KiB page of zeros in a file that was being written.
    TempDir dir;
    std::string text = readFile(fixture("wine-8.0/fresh/system.reg"));
    ASSERT_GT(text.size(), 100u * 4096);
    std::fill_n(text.begin() + 100 * 4096, 4096, '\0');
    const std::string path = (dir.path() / "system.reg").string();
    writeFile(path, text);
    const int firstDamagedLine =
        static_cast<int>(std::count(text.begin(), text.begin() + 100 * 4096, '\n')) + 1;
    try {
        load(path);
        FAIL() << "a zeroed page was read as registry data";
    } catch (const HiveFormatError& e) {
        EXPECT_EQ(e.line(), firstDamagedLine) << e.what();
        EXPECT_NE(std::string(e.what()).find("NUL"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace tw::wine
