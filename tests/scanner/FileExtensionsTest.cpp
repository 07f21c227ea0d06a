// Sections 5 and 10: file extensions and their classes.
#include "scanner/sections/FileExtensions.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kClasses = R"hive(
[Software\\Classes\\.abc] 1
@="AbcFile"

[Software\\Classes\\.nosuch] 1
@="NoSuchClass"

[Software\\Classes\\.user] 1
@="UserOnlyClass"

[Software\\Classes\\.progid] 1
@="ProgIdClass"

[Software\\Classes\\.zip] 1
@="CompressedFolder"

[Software\\Classes\\.dir] 1
@="Directory"

[Software\\Classes\\.num] 1
@=dword:00000001

[Software\\Classes\\.blank] 1
@=""

[Software\\Classes\\.nodefault] 1
"x"="y"

[Software\\Classes\\abcfile] 1
@="ABC"

[Software\\Classes\\CompressedFolder] 1
@="zip"

[Software\\Classes\\Directory] 1
@="File Folder"
)hive"
                       // .apf names its class in other letters' case, some of them not ASCII.
                       "\n[Software\\\\Classes\\\\.apf] 1\n@=\"\xc3\xa4pfelDATEI\"\n"
                       "\n[Software\\\\Classes\\\\\xc3\x84pfelDatei] 1\n@=\"x\"\n";

const char* kUser = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.user] 1
"x"="y"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.xyz\\OpenWithProgids] 1
"ProgIdClass"=hex(0):
)hive";

class FileExtensionsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kClasses).userHive(kUser);
    }
};

TEST_F(FileExtensionsTest, SplitsClassesFromExtensions)
{
    std::vector<std::string> names = {"*",    ".txt",  "Folder",  "MyFolderClass", "txtfile",
                                      ".doc", "Drive", "Unknown", "DirectoryX",    "x.y"};
    std::vector<std::string> extensions;
    SplitRootKeyNames(names, extensions);
    EXPECT_EQ(names, (std::vector<std::string>{"txtfile", "x.y"}));
    EXPECT_EQ(extensions, (std::vector<std::string>{".txt", ".doc"}));
}

TEST_F(FileExtensionsTest, ReportsExtensionsWhoseClassIsRegisteredNowhere)
{
    scanSection(5);
    std::vector<std::string> found;
    for (int i = 0; i < session->SectionContents[5].Count(); ++i)
        found.push_back(session->SectionContents[5].Items(i).Content.ItemName + "=" +
                        session->SectionContents[5].Items(i).Content.ValueData);
    // .abc matches abcfile and .apf its class without regard to case; .user has a FileExts key;
    // ProgIdClass is among some extension's OpenWithProgids; the keys CompressedFolder and
    // Directory exist, whatever their names hold.
    EXPECT_EQ(found, (std::vector<std::string>{".nosuch=NoSuchClass"}));
    EXPECT_EQ(row().status, RowStatus::Finished);
}

TEST_F(FileExtensionsTest, AssociationsReportEmptyDefaultStringsOnly)
{
    scanSection(10);
    ASSERT_EQ(session->SectionContents[10].Count(), 1);
    EXPECT_EQ(session->SectionContents[10].Items(0).Content.KeyPath, "HKEY_CLASSES_ROOT\\.blank");
    EXPECT_EQ(session->SectionContents[10].Items(0).Content.ValueData, "");
}

TEST_F(FileExtensionsTest, RepairsRemoveTheValueOrTheWholeKey)
{
    session->AppSettings.SelectAll = true;
    scanSection(5);
    test::RecordingRepairView first;
    RepairSection(*session, first, 5);
    scanSection(10);
    test::RecordingRepairView second;
    RepairSection(*session, second, 10);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenPath("\\.nosuch", false));
    EXPECT_FALSE(reg.HasValue(""));
    EXPECT_FALSE(reg.PathExists("\\.blank"));
    EXPECT_TRUE(reg.PathExists("\\.nodefault"));
}

} // namespace
} // namespace tw
