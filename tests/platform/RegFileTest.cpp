// Export to and import from .reg files, checked against what Wine's regedit writes.
#include "platform/RegFile.h"

#include "platform/TextCodec.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tw::platform {

using namespace tw::win;
namespace {

using test::fixture;
using test::PrefixBuilder;
using test::readFile;
using test::TempDir;

std::string unicodeFile(const std::string& utf8)
{
    return "\xFF\xFE" + utf16ToBytes(utf8ToUtf16(utf8));
}

class RegFileTest : public ::testing::Test
{
protected:
    void open(const std::string& fixturePrefix)
    {
        if (!fixturePrefix.empty())
            PrefixBuilder(dir.path()).fixtureHives(fixturePrefix);
        else
            PrefixBuilder builder(dir.path());
        prefix = std::make_unique<wine::WinePrefix>(dir.str());
    }
    Registry& reg() { return prefix->registry(); }

    TempDir dir;
    std::unique_ptr<wine::WinePrefix> prefix;
};

TEST_F(RegFileTest, ExportOfAKeyIsByteForByteWhatWineRegeditWrites)
{
    open("wine-8.0/varied");
    const std::string expected =
        readFile(fixture("wine-8.0/varied/regedit-export-hkcu-fixture.reg"));
    EXPECT_EQ(
        test::firstDifference(exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\TidewellFixture",
                                            RegFileFormat::Unicode),
                              expected),
        "");
}

TEST_F(RegFileTest, ImportOfWineExportReproducesTheKeys)
{
    open("");
    const std::string file = readFile(fixture("wine-8.0/varied/regedit-export-hkcu-fixture.reg"));
    applyRegFile(reg(), parseRegFile(file));
    EXPECT_EQ(
        test::firstDifference(exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\TidewellFixture",
                                            RegFileFormat::Unicode),
                              file),
        "");
}

TEST_F(RegFileTest, Regedit4RoundTripsEveryType)
{
    // In the UTF-8 code page, which holds every character of the fixture.
    open("wine-8.0/varied");
    const std::string ansi = exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\TidewellFixture",
                                           RegFileFormat::Ansi, kCodePageUtf8);
    EXPECT_EQ(ansi.substr(0, 10), "REGEDIT4\r\n");
    EXPECT_NE(ansi.find("\"Expand\"=hex(2):25,53,79,73"), std::string::npos);

    TempDir other;
    PrefixBuilder builder(other.path());
    wine::WinePrefix empty(other.str());
    applyRegFile(empty.registry(), parseRegFile(ansi, kCodePageUtf8));
    EXPECT_EQ(test::firstDifference(
                  exportRegFile(empty.registry(), "HKEY_CURRENT_USER\\Software\\TidewellFixture",
                                RegFileFormat::Unicode),
                  readFile(fixture("wine-8.0/varied/regedit-export-hkcu-fixture.reg"))),
              "");
}

TEST_F(RegFileTest, WholeRegistryExportCoversMachineAndUsers)
{
    open("wine-8.0/varied");
    const std::string text =
        utf16ToUtf8(bytesToUtf16(exportRegFile(reg(), "", RegFileFormat::Unicode).substr(2)));
    EXPECT_EQ(text.find("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n"),
              0u);
    EXPECT_NE(text.find("\r\n[HKEY_USERS]\r\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\TidewellFixture]"),
              std::string::npos);
    EXPECT_EQ(text.find("[HKEY_CURRENT_USER"), std::string::npos);
}

TEST_F(RegFileTest, StringsThatTextCannotCarryAreWrittenAsHex)
{
    open("");
    applyRegFile(reg(), parseRegFile(unicodeFile("Windows Registry Editor Version 5.00\r\n\r\n"
                                                 "[HKEY_CURRENT_USER\\Software\\T]\r\n")));
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\T", KEY_ALL_ACCESS, key.out()), 0);
    reg().setValue(key.get(), "Inner", REG_SZ, std::string("a\0b\0", 4));
    reg().setValue(key.get(), "Unterminated", REG_SZ, "abc");
    reg().setValue(key.get(), "ShortDword", REG_DWORD, std::string("\x01\x02", 2));
    const std::string exported =
        exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\T", RegFileFormat::Ansi);
    EXPECT_NE(exported.find("\"Inner\"=hex(1):61,00,62,00\r\n"), std::string::npos) << exported;
    EXPECT_NE(exported.find("\"Unterminated\"=hex(1):61,62,63\r\n"), std::string::npos);
    EXPECT_NE(exported.find("\"ShortDword\"=hex(4):01,02\r\n"), std::string::npos);

    TempDir other;
    PrefixBuilder builder(other.path());
    wine::WinePrefix copy(other.str());
    applyRegFile(copy.registry(), parseRegFile(exported));
    EXPECT_EQ(test::firstDifference(exportRegFile(copy.registry(), "HKEY_CURRENT_USER\\Software\\T",
                                                  RegFileFormat::Ansi),
                                    exported),
              "");
}

TEST_F(RegFileTest, Regedit4IsInTheCodePageOfTheRegistry)
{
    open("");
    const auto setAnsiCodePage = [&](const std::string& codePage) {
        KeyHandle nls(reg());
        ASSERT_EQ(reg().createKey(HKEY_LOCAL_MACHINE,
                                  "System\\CurrentControlSet\\Control\\Nls\\CodePage",
                                  KEY_ALL_ACCESS, nls.out()),
                  ERROR_SUCCESS);
        ASSERT_EQ(reg().setValue(nls.get(), "ACP", REG_SZ, codePage + '\0'), ERROR_SUCCESS);
    };
    EXPECT_EQ(ansiCodePage(reg()), 1252u) << "without the value";
    KeyHandle key(reg());
    ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, "Software\\T", KEY_ALL_ACCESS, key.out()), 0);
    const std::string cafe = "Caf\xc3\xa9 \xc3\xbcn\xc3\xaf"
                             "c\xc3\xb6"
                             "d\xc3\xa9";
    const std::string privet = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    reg().setValue(key.get(), "Text", REG_SZ, cafe + '\0');
    reg().setValue(key.get(), privet, REG_SZ, privet + '\0');
    reg().setValue(key.get(), "Path", REG_EXPAND_SZ, "%X%\\\xc3\xa9" + std::string(1, '\0'));
    reg().setValue(key.get(), "List", REG_MULTI_SZ, privet + '\0' + "\xc3\xa9" + '\0' + '\0');

    setAnsiCodePage("1252");
    const std::string western =
        exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\T", RegFileFormat::Ansi);
    EXPECT_NE(western.find("\"Text\"=\"Caf\xe9 \xfcn\xef"
                           "c\xf6"
                           "d\xe9\"\r\n"),
              std::string::npos)
        << western;
    EXPECT_NE(western.find("\"??????\"=\"??????\"\r\n"), std::string::npos) << western;
    EXPECT_NE(western.find("\"Path\"=hex(2):25,58,25,5c,e9,00\r\n"), std::string::npos);
    EXPECT_NE(western.find("\"List\"=hex(7):3f,3f,3f,3f,3f,3f,00,e9,00,00\r\n"), std::string::npos);

    setAnsiCodePage("1251");
    const std::string cyrillic =
        exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\T", RegFileFormat::Ansi);
    EXPECT_NE(cyrillic.find("\"Text\"=\"Caf? ?n?c?d?\"\r\n"), std::string::npos) << cyrillic;
    EXPECT_NE(cyrillic.find("\"\xcf\xf0\xe8\xe2\xe5\xf2\"=\"\xcf\xf0\xe8\xe2\xe5\xf2\"\r\n"),
              std::string::npos);
    EXPECT_NE(cyrillic.find("\"List\"=hex(7):cf,f0,e8,e2,e5,f2,00,3f,00,00\r\n"),
              std::string::npos);

    // Each file reads back in its own code page to the text it could hold.
    const auto import = [&](const std::string& file, unsigned codePage) {
        ASSERT_EQ(deleteKeyTree(reg(), HKEY_CURRENT_USER, "Software\\T"), ERROR_SUCCESS);
        applyRegFile(reg(), parseRegFile(file, codePage));
    };
    const auto value = [&](const std::string& name) {
        KeyHandle reread(reg());
        std::string data;
        DWORD type = 0;
        reg().openKey(HKEY_CURRENT_USER, "Software\\T", KEY_READ, reread.out());
        reg().queryValue(reread.get(), name, &type, &data);
        return data;
    };
    import(western, 1252);
    EXPECT_EQ(value("Text"), cafe + '\0');
    EXPECT_EQ(value("Path"), "%X%\\\xc3\xa9" + std::string(1, '\0'));
    import(cyrillic, 1251);
    EXPECT_EQ(value(privet), privet + '\0');
    EXPECT_EQ(value("List"), privet + '\0' + "?" + '\0' + '\0');

    // Unicode files do not depend on the code page; a UTF-8 byte-order mark means UTF-8.
    EXPECT_EQ(exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\T", RegFileFormat::Unicode, 1251),
              exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\T", RegFileFormat::Unicode, 1252));
    import("\xEF\xBB\xBFREGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n\"Text\"=\"" + cafe +
               "\"\r\n",
           1251);
    EXPECT_EQ(value("Text"), cafe + '\0');
}

TEST_F(RegFileTest, Regedit4InACodePageTheSystemCannotConvertIsRefused)
{
    open("");
    KeyHandle key(reg());
    ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, "Software\\T", KEY_ALL_ACCESS, key.out()), 0);
    EXPECT_THROW(exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\T", RegFileFormat::Ansi, 12345),
                 RegistryEditorError);
    EXPECT_THROW(parseRegFile("REGEDIT4\r\n", 12345), RegistryEditorError);
}

TEST_F(RegFileTest, DeletesKeysAndValues)
{
    open("wine-8.0/varied");
    applyRegFile(reg(), parseRegFile("REGEDIT4\r\n\r\n"
                                     "[-HKEY_CURRENT_USER\\Software\\TidewellFixture\\Deep]\r\n"
                                     "\"ignored\"=\"in a deleted key\"\r\n"
                                     "[HKEY_CURRENT_USER\\Software\\TidewellFixture]\r\n"
                                     "\"Sz\"=-\r\n"
                                     "\"NotThere\"=-\r\n"
                                     "[-HKEY_CURRENT_USER\\Software\\NeverWas]\r\n"));
    KeyHandle key(reg());
    EXPECT_EQ(
        reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\Deep", KEY_READ, key.out()),
        ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture", KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(key.get(), "Sz", nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg().queryValue(key.get(), "Dword", nullptr, nullptr), ERROR_SUCCESS);
}

/// "k\\k\\...": a key path of `levels` names.
std::string deepPath(int levels)
{
    std::string path = "k";
    for (int i = 1; i < levels; ++i)
        path += "\\k";
    return path;
}

struct BadFile
{
    const char* name;
    std::string text;
    int line;
    const char* problem;
};

class BadRegFile : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(BadRegFile, ReportsTheLineOfTheFirstError)
{
    try {
        parseRegFile(GetParam().text);
        FAIL() << "accepted a bad file";
    } catch (const RegistryEditorError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.find("line " + std::to_string(GetParam().line) + ":"), 0u) << message;
        EXPECT_NE(message.find(GetParam().problem), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Import, BadRegFile,
    ::testing::Values(
        BadFile{"NoHeader", "[HKEY_CURRENT_USER\\X]\r\n", 1, "first line"},
        BadFile{"Empty", "", 0, "empty"},
        BadFile{"UnknownRoot", "REGEDIT4\r\n\r\n[HKEY_NOWHERE\\X]\r\n", 3, "unknown root"},
        BadFile{"UnclosedKey", "REGEDIT4\r\n[HKEY_CURRENT_USER\\X\r\n", 2, "closing"},
        BadFile{"ValueOutsideKey", "REGEDIT4\r\n\"a\"=\"b\"\r\n", 2, "outside"},
        BadFile{"UnterminatedString", "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=\"b\r\n", 3,
                "unterminated"},
        BadFile{"BadHex", "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=hex:01,\\\r\n  0z\r\n", 4,
                "bad hex"},
        BadFile{"HexAtEnd", "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=hex:01,\\\r\n", 3,
                "ends inside"},
        BadFile{"LongDword", "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=dword:123456789\r\n", 3,
                "eight"},
        BadFile{"DeleteRoot", "REGEDIT4\r\n[-HKEY_CURRENT_USER]\r\n", 2, "root key"},
        BadFile{"Junk", "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\nwhat is this\r\n", 3,
                "unrecognized"},
        BadFile{"TooDeep", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + deepPath(513) + "]\r\n", 3,
                "512 levels"},
        BadFile{"FarTooDeep",
                "REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n[-HKEY_CURRENT_USER\\" + deepPath(100000) +
                    "]\r\n",
                3, "512 levels"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegFileTest, AcceptsCommentsBlankLinesAndSpacing)
{
    open("");
    applyRegFile(reg(), parseRegFile("\xEF\xBB\xBFREGEDIT4\n; a comment\n\n"
                                     "  [HKEY_CURRENT_USER\\Software\\Spaced]  ; trailing\n"
                                     "@ = \"default\"\n"
                                     "\"bin\"=hex:01, 02 ,\\\n      03\n"
                                     "\"num\"=dword:ff ; comment\n"));
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\Spaced", KEY_READ, key.out()), 0);
    std::string data;
    ASSERT_EQ(reg().queryValue(key.get(), "", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("default\0", 8));
    ASSERT_EQ(reg().queryValue(key.get(), "bin", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, "\x01\x02\x03");
    ASSERT_EQ(reg().queryValue(key.get(), "num", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("\xff\0\0\0", 4));
}

TEST_F(RegFileTest, ExportOfAMissingKeyFails)
{
    open("");
    EXPECT_THROW(
        exportRegFile(reg(), "HKEY_CURRENT_USER\\Software\\Missing", RegFileFormat::Unicode),
        RegistryEditorError);
    EXPECT_THROW(exportRegFile(reg(), "HKEY_WHAT\\X", RegFileFormat::Unicode), RegistryEditorError);
}

TEST_F(RegFileTest, DeletingALinkDeletesTheLinkNeverItsTarget)
{
    open("wine-8.0/fresh");
    const std::string target =
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
    const std::string before = exportRegFile(reg(), target, RegFileFormat::Unicode);
    ASSERT_EQ(deleteKeyTree(reg(), HKEY_LOCAL_MACHINE,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones"),
              ERROR_SUCCESS);
    KeyHandle link(reg());
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones", KEY_READ,
                            link.out(), REG_OPTION_OPEN_LINK),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(test::firstDifference(exportRegFile(reg(), target, RegFileFormat::Unicode), before),
              "");
}

TEST_F(RegFileTest, ImportedKeyDeletionRemovesLinksInTheTreeAsLinks)
{
    // Software\Classes\Wow6432Node holds links to AppId, Protocols and TypeLib of
    // Software\Classes; deleting it leaves them whole.
    open("wine-8.0/fresh");
    std::vector<std::string> before;
    const std::vector<std::string> targets = {
        "HKEY_LOCAL_MACHINE\\Software\\Classes\\AppId",
        "HKEY_LOCAL_MACHINE\\Software\\Classes\\Protocols",
        "HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"};
    for (const std::string& target : targets)
        before.push_back(exportRegFile(reg(), target, RegFileFormat::Unicode));
    applyRegFile(reg(), parseRegFile("REGEDIT4\r\n\r\n"
                                     "[-HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node]\r\n"
                                     "[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                                     "CurrentVersion\\Time Zones]\r\n"));
    KeyHandle gone(reg());
    EXPECT_EQ(
        reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Wow6432Node", KEY_READ, gone.out()),
        ERROR_FILE_NOT_FOUND);
    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(test::firstDifference(exportRegFile(reg(), targets[i], RegFileFormat::Unicode),
                                        before[i]),
                  "")
            << targets[i];

    // The hives written say the same.
    prefix->save();
    prefix = std::make_unique<wine::WinePrefix>(dir.str());
    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(exportRegFile(reg(), targets[i], RegFileFormat::Unicode), before[i])
            << targets[i];
}

TEST_F(RegFileTest, KeysAreAtMost512LevelsDeepAndExportWhole)
{
    open("");
    const std::string deepest = "Software\\" + deepPath(511);
    auto key = std::make_unique<KeyHandle>(reg());
    ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, deepest, KEY_ALL_ACCESS, key->out()),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().setValue(key->get(), "Bottom", REG_SZ, std::string("yes\0", 4)), ERROR_SUCCESS);
    KeyHandle deeper(reg());
    EXPECT_EQ(
        reg().createKey(HKEY_CURRENT_USER, deepest + "\\one more", KEY_ALL_ACCESS, deeper.out()),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg().createKey(key->get(), "one more", KEY_ALL_ACCESS, deeper.out()),
              ERROR_INVALID_PARAMETER)
        << "the depth counts from the root, not from the key given";

    // Exports and backups carry every level.
    const std::string exported =
        exportRegFile(reg(), "HKEY_CURRENT_USER\\Software", RegFileFormat::Ansi);
    EXPECT_NE(exported.find("[HKEY_CURRENT_USER\\" + deepest + "]\r\n\"Bottom\"=\"yes\""),
              std::string::npos);
    RegFileWriter writer(reg(), RegFileFormat::Ansi);
    writer.addKeyTree(HKEY_CURRENT_USER, "HKEY_CURRENT_USER");
    EXPECT_NE(writer.finish().find("\"Bottom\"=\"yes\""), std::string::npos);

    // What was exported imports again, and the saved hive reads back.
    applyRegFile(reg(), parseRegFile(exported));
    key.reset();
    prefix->save();
    prefix = std::make_unique<wine::WinePrefix>(dir.str());
    KeyHandle reread(reg());
    EXPECT_EQ(reg().openKey(HKEY_CURRENT_USER, deepest, KEY_READ, reread.out()), ERROR_SUCCESS);
}

} // namespace
} // namespace tw::platform
