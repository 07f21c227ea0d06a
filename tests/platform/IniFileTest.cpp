// Initialisation files read and changed with GetPrivateProfileString's rules.
#include "platform/IniFile.h"

#include <gtest/gtest.h>

using tw::platform::IniFile;

TEST(IniFileTest, FindsSectionsAndKeysWithoutRegardToCaseAndBlanks)
{
    const IniFile ini("; comment\r\n[ version ]\r\n  VER = 2.1  \r\n[Other]\r\nVer=9\r\n");
    EXPECT_EQ(ini.value("Version", "Ver"), "2.1");
    EXPECT_EQ(ini.value("VERSION", "ver"), "2.1");
    EXPECT_EQ(ini.value("other", "Ver"), "9");
}

TEST(IniFileTest, MissingSectionOrKeyGivesTheFallback)
{
    const IniFile ini("[Version]\nNumber=1\n");
    EXPECT_EQ(ini.value("Version", "Ver", "none"), "none");
    EXPECT_EQ(ini.value("Release", "Number", "none"), "none");
    EXPECT_FALSE(ini.find("Version", "Ver"));
    EXPECT_EQ(IniFile("").value("Version", "Ver"), "");
    // A key above every section belongs to none.
    EXPECT_EQ(IniFile("Ver=1\n[Version]\n").value("Version", "Ver", "-"), "-");
}

TEST(IniFileTest, TakesOffOnePairOfQuotesAndKeepsInnerBlanks)
{
    const IniFile ini("[s]\na=\"two words \"\nb='x'\nc=\"open\nd=a = b\n");
    EXPECT_EQ(ini.value("s", "a"), "two words ");
    EXPECT_EQ(ini.value("s", "b"), "x");
    EXPECT_EQ(ini.value("s", "c"), "\"open");
    EXPECT_EQ(ini.value("s", "d"), "a = b");
}

TEST(IniFileTest, FirstSectionAndKeyOfASameNameWin)
{
    const IniFile ini("[s]\nk=1\nk=2\n[S]\nk=3\n");
    EXPECT_EQ(ini.value("s", "k"), "1");
}

TEST(IniFileTest, SettingAValueChangesOnlyItsLine)
{
    IniFile ini("; keep  this\r\n[Load]\r\n  Run = old ; tail\r\n\r\n[Other]\r\nRun=x\r\n");
    ini.setValue("load", "run", "new.exe");
    EXPECT_EQ(ini.text(), "; keep  this\r\n[Load]\r\n  Run =new.exe\r\n\r\n[Other]\r\nRun=x\r\n");
}

TEST(IniFileTest, NewKeyGoesAfterTheSectionsLastLineWithItsLineBreaks)
{
    IniFile ini("[windows]\nload=a\n\n[desktop]\nWallpaper=b\n");
    ini.setValue("Windows", "run", "c.exe");
    EXPECT_EQ(ini.text(), "[windows]\nload=a\nrun=c.exe\n\n[desktop]\nWallpaper=b\n");
    IniFile last("[windows]\nload=a");
    last.setValue("windows", "run", "c");
    EXPECT_EQ(last.text(), "[windows]\nload=a\nrun=c");
}

TEST(IniFileTest, NewSectionIsAddedAtTheEnd)
{
    IniFile ini("[a]\nx=1");
    ini.setValue("Version", "Ver", "2.0");
    EXPECT_EQ(ini.text(), "[a]\nx=1\n[Version]\nVer=2.0\n");
    IniFile empty;
    empty.setValue("Version", "Ver", "2.0");
    EXPECT_EQ(empty.text(), "[Version]\r\nVer=2.0\r\n");
    EXPECT_EQ(empty.value("version", "ver"), "2.0");
}

TEST(IniFileTest, RemovingAValueRemovesItsLineOnly)
{
    IniFile ini("[s]\r\na=1\r\nb=2\r\n[t]\r\na=3\r\n");
    EXPECT_TRUE(ini.removeValue("S", "A"));
    EXPECT_EQ(ini.text(), "[s]\r\nb=2\r\n[t]\r\na=3\r\n");
    EXPECT_FALSE(ini.removeValue("s", "a"));
    EXPECT_FALSE(ini.removeValue("u", "a"));
}

TEST(IniFileTest, KeysOfASectionAreItsLinesWithAValueButComments)
{
    const IniFile ini("[windows]\r\nload=a.exe\r\n[Run]\r\n  First = c:\\x.exe /min \r\n"
                      "\r\n; note=not a key\r\nbare line\r\n=nameless\r\n[bad header\r\n"
                      "run=c.exe\r\n[Other]\r\nz=1\r\n");
    EXPECT_EQ(ini.keys("run"), (std::vector<std::string>{"First", "", "run"}))
        << "lines without \"=\" are keys without a value, which the list leaves out";
    EXPECT_EQ(ini.value("Run", "first"), "c:\\x.exe /min");
    EXPECT_FALSE(ini.find("Run", "bare line")) << "a key without a value";
    EXPECT_EQ(ini.value("Run", "run"), "c.exe") << "a \"[\" without \"]\" starts no section";
    EXPECT_TRUE(ini.keys("Load").empty());
}

TEST(IniFileTest, KeyWithoutAValueIsRemovedAndSetLikeOthers)
{
    IniFile ini("[Run]\nbare\nnext=a=b\n");
    ini.setValue("run", "BARE", "v");
    EXPECT_EQ(ini.text(), "[Run]\nbare=v\nnext=a=b\n");
    IniFile other("[Run]\nbare\nnext=1\n");
    EXPECT_TRUE(other.removeValue("Run", "bare"));
    EXPECT_EQ(other.text(), "[Run]\nnext=1\n");
    EXPECT_FALSE(other.removeValue("Run", "; comment"));
}
