// Wine's short names: made as Wine makes them, and resolved by the path mapper.
#include "platform/wine/WineShortNames.h"

#include "platform/TextCodec.h"
#include "platform/wine/WinePaths.h"
#include "support/TestSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <thread>

namespace tw::wine {
namespace {

using platform::utf8ToUtf16;
namespace fs = std::filesystem;

// Long names and the short names Wine 8.0 gave them ("dir /x" in a real prefix).
const std::pair<const char*, const char*> kWinePairs[] = {
    {"Program Files", "PROG~FBU"},
    {"Program Files (x86)", "PROG~5P2"},
    {"ProgramData", "PROG~BDQ"},
    {"Long Folder Name.dir", "LONG~WC4.DIR"},
    {"Sub Folder Two", "SUB_~2BZ"},
    {"My Sound File.wav", "MY_S~KNU.WAV"},
    {"readme.markdown", "READ~MQI.MAR"},
    {"MixedCase Tools", "MIXE~M5B"},
    {"tool[1].exe", "TOOL~RGK.EXE"},
    {"a.b.c.long name", "A_B_~VJI.LON"},
    {"x+y=z.txt", "X_Y_~JGL.TXT"},
    {".hidden stuff", "_HID~3SL"},
    {".config.json", "_CON~VC1.JSO"},
    {"v1.2.3 setup.exe.d", "V1_2~1PC.D"},
    {"two words.txt", "TWO_~DNA.TXT"},
    {"a.bcde", "A~~~~A4B.BCD"},
    {"Caf\xc3\xa9 Files", "CAF_~QIV"},
    {"na\xc3\xafve.txt", "NA_V~2JE.TXT"},
    {"\xc3\x9c"
     "BER Daten",
     "_BER~SLD"},
};

TEST(WineShortName, IsWhatWineMakes)
{
    for (const auto& [longName, shortName] : kWinePairs)
        EXPECT_EQ(platform::utf16ToUtf8(wineShortName(utf8ToUtf16(longName))), shortName)
            << longName;
    // The hash is over the lower-cased name.
    EXPECT_EQ(wineShortName(u"PROGRAM FILES"), u"PROG~FBU");
    EXPECT_EQ(wineShortName(u"program files"), u"PROG~FBU");
}

TEST(WineShortName, OnlyNamesThatAreNot83HaveOne)
{
    for (const char16_t* legal :
         {u"lower.txt", u"UPPER.TXT", u"users", u"PROG~FBU", u"A.B", u"12345678.123", u".", u".."})
        EXPECT_TRUE(isLegal8dot3Name(legal)) << platform::utf16ToUtf8(legal);
    for (const char16_t* notLegal :
         {u"123456789", u"a.bcde", u"two words.txt", u"a.b.c", u".hidden", u"x+y", u"caf\u00e9",
          u"name.", u"tool[1].exe", u"1234567890123"})
        EXPECT_FALSE(isLegal8dot3Name(notLegal)) << platform::utf16ToUtf8(notLegal);
    EXPECT_TRUE(looksLikeWineShortName(u"prog~fbu"));
    EXPECT_TRUE(looksLikeWineShortName(u"LONG~WC4.DIR"));
    EXPECT_FALSE(looksLikeWineShortName(u"PROGRAMS"));
    EXPECT_FALSE(looksLikeWineShortName(u"Program~Files"));
}

class ShortPathTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::PrefixBuilder builder(dir.path() / "prefix");
        builder.file("Program Files/Long Folder Name.dir/Sub Folder Two/My Sound File.wav")
            .file("Program Files/Long Folder Name.dir/UPPER.TXT")
            .file("Caf\xc3\xa9 Files/na\xc3\xafve.txt")
            .folder("windows");
        drive = builder.str() + "/drive_c";
        mapper = std::make_unique<WinePathMapper>(builder.str());
    }
    std::string host(const std::string& windowsPath) const
    {
        return mapper->toHost(windowsPath).value_or("(none)");
    }

    test::TempDir dir;
    std::string drive;
    std::unique_ptr<WinePathMapper> mapper;
};

TEST_F(ShortPathTest, ShortComponentsResolveToTheirLongNames)
{
    const std::string sound =
        drive + "/Program Files/Long Folder Name.dir/Sub Folder Two/My Sound File.wav";
    EXPECT_EQ(host("C:\\PROG~FBU\\LONG~WC4.DIR\\SUB_~2BZ\\MY_S~KNU.WAV"), sound);
    EXPECT_EQ(host("c:\\prog~fbu\\long~wc4.dir\\Sub Folder Two\\my_s~knu.wav"), sound);
    EXPECT_EQ(host("C:\\Program Files\\LONG~WC4.DIR\\upper.txt"),
              drive + "/Program Files/Long Folder Name.dir/UPPER.TXT");
    EXPECT_EQ(host("C:\\CAF_~QIV\\NA_V~2JE.TXT"), drive + "/Caf\xc3\xa9 Files/na\xc3\xafve.txt");
}

TEST_F(ShortPathTest, NamesThatAreNoShortNameStayAsWritten)
{
    // A wrong hash, a short form of an 8.3 name (which has none) and a missing folder below
    // a short one.
    EXPECT_EQ(host("C:\\PROG~FBV\\x.dll"), drive + "/PROG~FBV/x.dll");
    EXPECT_EQ(host("C:\\windows\\WIND~ABC"), drive + "/windows/WIND~ABC");
    EXPECT_EQ(host("C:\\PROG~FBU\\Gone~1\\x.dll"), drive + "/Program Files/Gone~1/x.dll");
    // A real name that looks like a short one is taken as it is.
    fs::create_directory(drive + "/PROG~FBU");
    EXPECT_EQ(host("C:\\prog~fbu"), drive + "/PROG~FBU");
}

TEST_F(ShortPathTest, FoldersThatChangeAreReadAgain)
{
    const std::string shortPath =
        "C:\\" + platform::utf16ToUtf8(wineShortName(u"New Folder Made Later"));
    EXPECT_EQ(host(shortPath), drive + "/" + shortPath.substr(3));
    const std::string created = drive + "/New Folder Made Later";
    fs::create_directory(created);
    // Let the folder's change time move on even on coarse file systems.
    fs::last_write_time(drive, fs::last_write_time(drive) + std::chrono::seconds(2));
    EXPECT_EQ(host(shortPath), created);
}

TEST_F(ShortPathTest, MappersOfOneScanReadEachFolderOnceForAll)
{
    const std::unique_ptr<WinePathMapper> side = WinePathMapper::sharingListingsWith(*mapper);
    mapper->setCaching(true);
    side->setCaching(true);
    const std::string later = "C:\\Program Files\\Long Folder Name.dir\\later.txt";
    EXPECT_EQ(mapper->listedType(later), 0);
    const fs::path made = drive + "/Program Files/Long Folder Name.dir/later.txt";
    test::writeFile(made, "x");
    // The other mapper takes the listing read before the file came, short names included.
    EXPECT_EQ(side->listedType(later), 0);
    EXPECT_EQ(side->toHost("C:\\PROG~FBU\\LONG~WC4.DIR\\SUB_~2BZ\\MY_S~KNU.WAV"),
              drive + "/Program Files/Long Folder Name.dir/Sub Folder Two/My Sound File.wav");

    // A new span of the owner reads again; the other mapper's own span keeps what it had.
    mapper->setCaching(false);
    mapper->setCaching(true);
    EXPECT_EQ(mapper->listedType(later), DT_REG);
    EXPECT_EQ(side->listedType(later), 0);
    side->setCaching(false);
    side->setCaching(true);
    EXPECT_EQ(side->listedType(later), DT_REG);
    // Without caching the listings say nothing: a stat has to tell.
    side->setCaching(false);
    EXPECT_EQ(side->listedType(later), -1);
}

TEST_F(ShortPathTest, MappersSharingListingsOnTwoThreadsGiveWhatOneGives)
{
    std::vector<std::string> paths;
    for (const char* folder : {"C:\\PROG~FBU\\LONG~WC4.DIR", "C:\\Program Files\\LONG~WC4.DIR",
                               "C:\\CAF_~QIV", "C:\\prog~fbu\\long~wc4.dir\\SUB_~2BZ"}) {
        for (const char* name : {"MY_S~KNU.WAV", "UPPER.TXT", "NA_V~2JE.TXT", "missing.txt"})
            paths.push_back(std::string(folder) + "\\" + name);
    }
    std::vector<std::optional<std::string>> expected;
    for (const std::string& path : paths)
        expected.push_back(mapper->toHost(path));

    const std::unique_ptr<WinePathMapper> side = WinePathMapper::sharingListingsWith(*mapper);
    mapper->setCaching(true);
    side->setCaching(true);
    std::vector<std::optional<std::string>> onSide;
    std::thread other([&] {
        for (const std::string& path : paths)
            onSide.push_back(side->toHost(path));
    });
    std::vector<std::optional<std::string>> onOwner;
    for (const std::string& path : paths)
        onOwner.push_back(mapper->toHost(path));
    other.join();
    EXPECT_EQ(onOwner, expected);
    EXPECT_EQ(onSide, expected);
}

} // namespace
} // namespace tw::wine
