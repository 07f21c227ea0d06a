// Section 2: COM registrations under HKEY_CLASSES_ROOT.
#include "scanner/sections/Classes.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kClasses = R"hive(
[Software\\Classes\\AppID\\{A}\\InprocServer32] 1
"x"="hidden below AppID"

[Software\\Classes\\CLSID\\{1}\\InprocServer32] 1
"ThreadingModel"="Both"

[Software\\Classes\\CLSID\\{2}\\InprocServer32] 1
@=""

[Software\\Classes\\CLSID\\{3}\\LocalServer32] 1
@=dword:00000001

[Software\\Classes\\CLSID\\{4}\\InprocServer32] 1
@="C:\\gone\\missing.dll"

[Software\\Classes\\CLSID\\{5}\\inprocserver32] 1
"x"="1"

[Software\\Classes\\CLSID\\{5}\\inprocserver32\\InprocServer] 1
"y"="1"

[Software\\Classes\\CLSID\\{6}\\TypeLib] 1
@="{LIB-REGISTERED}"

[Software\\Classes\\CLSID\\{7}\\TypeLib] 1
@="{LIB-MISSING}"

[Software\\Classes\\TypeLib\\{LIB-REGISTERED}\\1.0\\HELPDIR] 1
@=""

[Software\\Classes\\TypeLib\\{LIB-REGISTERED}\\1.0\\0\\win32] 1
@="C:\\x.tlb"
)hive";

class ClassesTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.systemHive(kClasses); }
    std::vector<std::string> found()
    {
        std::vector<std::string> items;
        for (int i = 0; i < session->SectionContents[2].Count(); ++i) {
            const TContent& r = session->SectionContents[2].Items(i).Content;
            items.push_back(r.KeyPath + " | " + r.ItemName + " | " + r.ValueData);
        }
        return items;
    }
};

TEST_F(ClassesTest, FindsEmptyServersHelpFoldersAndMissingTypeLibraries)
{
    session->AppSettings.SelectAll = true;
    scanSection(2);
    EXPECT_EQ(found(),
              (std::vector<std::string>{
                  "HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32 | InprocServer32 | ",
                  "HKEY_CLASSES_ROOT\\CLSID\\{2}\\InprocServer32 | InprocServer32 | ",
                  "HKEY_CLASSES_ROOT\\CLSID\\{3}\\LocalServer32 | LocalServer32 | ",
                  "HKEY_CLASSES_ROOT\\CLSID\\{5}\\inprocserver32\\InprocServer | InprocServer | ",
                  "HKEY_CLASSES_ROOT\\TypeLib\\{LIB-REGISTERED}\\1.0\\HELPDIR | HELPDIR | "
                  "TypeLib\\{LIB-REGISTERED}\\1.0\\HELPDIR",
                  "HKEY_CLASSES_ROOT\\CLSID\\{7}\\TypeLib | TypeLib | {LIB-MISSING}",
              }));
    EXPECT_EQ(session->SectionContents[2].Items(0).Content.ValueName, "default");
}

TEST_F(ClassesTest, RepairDeletesOnlyTheProblemKey)
{
    session->AppSettings.SelectAll = true;
    scanSection(2);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 2);
    ASSERT_EQ(repairView.rows.size(), 6u);
    EXPECT_EQ(repairView.rows[0].first, "\\CLSID\\{1}\\InprocServer32");
    EXPECT_EQ(repairView.rows[0].second, "Repair Succeed");
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_CLASSES_ROOT);
    EXPECT_FALSE(reg.PathExists("\\CLSID\\{1}\\InprocServer32"));
    EXPECT_TRUE(reg.PathExists("\\CLSID\\{1}"));
    EXPECT_TRUE(reg.PathExists("\\CLSID\\{4}\\InprocServer32"));
    EXPECT_TRUE(reg.PathExists("\\TypeLib\\{LIB-REGISTERED}\\1.0\\0\\win32"));
}

} // namespace
} // namespace tw
