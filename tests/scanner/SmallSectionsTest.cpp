// Sections 11, 13 and 14.
#include "scanner/sections/SmallSections.h"

#include "ScannerTestSupport.h"

namespace tw {
namespace {

const char* kSystem = R"hive(
[System\\CurrentControlSet\\Services\\Alpha] 1
"Start"=dword:00000002

[System\\CurrentControlSet\\Services\\Beta] 1
"Start"=dword:00000003

[Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{11111111-1111-1111-1111-111111111112}] 1
"Compatibility Flags"=dword:00000000

[Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{22222222-2222-2222-2222-222222222222}] 1
"Compatibility Flags"=dword:00000400

[Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{33333333-3333-3333-3333-333333333333}] 1
"Compatibility Flags"="1024"

[Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{AutoSearch.AutoSearchBHO}] 1
"Compatibility Flags"=dword:00000001

[Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{44444444-4444-4444-4444-444444444444}] 1
"Other"=dword:00000001
)hive";

const char* kUser = R"hive(
[Software\\Empty] 1

[Software\\EmptyString] 1
@=""

[Software\\Full] 1
"x"="y"
)hive";

class SmallSectionsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kSystem).userHive(kUser).userdefHive("\n[Software\\\\DefaultEmpty] 1\n");
    }
};

TEST_F(SmallSectionsTest, ServicesAreListedButNeverReported)
{
    scanSection(11);
    EXPECT_EQ(session->SectionContents[11].Count(), 0);
    EXPECT_EQ(row().problems, 0);
    EXPECT_EQ(row().status, RowStatus::Finished);
    EXPECT_EQ(view.statuses.back(),
              "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Beta");
}

TEST_F(SmallSectionsTest, EmptyKeysOfTheUsersButNotOfDefault)
{
    prefix->registry().createKey(win::HKEY_USERS, "S-1-5-19_Classes", win::KEY_ALL_ACCESS,
                                 platform::KeyHandle(prefix->registry()).out());
    scanSection(13);
    ASSERT_EQ(session->SectionContents[13].Count(), 1);
    const TContent& record = session->SectionContents[13].Items(0).Content;
    EXPECT_EQ(record.KeyPath, "HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Empty");
    EXPECT_EQ(record.ItemName, "S-1-5-21-0-0-0-1000\\Software\\Empty");
    EXPECT_EQ(record.ValueName, "default");
    session->AppSettings.SelectAll = true;
    scanSection(13);
    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 13);
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_USERS);
    EXPECT_FALSE(reg.PathExists("\\S-1-5-21-0-0-0-1000\\Software\\Empty"));
    EXPECT_TRUE(reg.PathExists("\\S-1-5-21-0-0-0-1000\\Software"));
}

TEST_F(SmallSectionsTest, ListedAddOnsWithoutTheKillBit)
{
    session->MemoActiveX = {"Adutt Content Dialer(05){11111111-1111-1111-1111-111111111112}  ",
                            "Blocked{22222222-2222-2222-2222-222222222222}",
                            "AsText{33333333-3333-3333-3333-333333333333}",
                            "AutoSearch{AutoSearch.AutoSearchBHO}",
                            "",
                            "NoFlags{44444444-4444-4444-4444-444444444444}",
                            "NoKey{55555555-5555-5555-5555-555555555555}"};
    session->AppSettings.SelectAll = true;
    scanSection(14);
    ASSERT_EQ(session->SectionContents[14].Count(), 3);
    EXPECT_EQ(session->SectionContents[14].Items(0).Content.ItemName,
              "{11111111-1111-1111-1111-111111111112}");
    EXPECT_EQ(session->SectionContents[14].Items(0).Content.ValueData, "0");
    EXPECT_EQ(session->SectionContents[14].Items(1).Content.ValueData, "0")
        << "flags stored as text count 0";
    EXPECT_EQ(session->SectionContents[14].Items(2).Content.KeyPath,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\"
              "{AutoSearch.AutoSearchBHO}");

    test::RecordingRepairView repairView;
    RepairSection(*session, repairView, 14);
    ASSERT_EQ(repairView.rows.size(), 3u);
    for (const auto& [problem, status] : repairView.rows)
        EXPECT_EQ(status, "Repair Succeed") << problem;
    scanSection(14);
    EXPECT_EQ(session->SectionContents[14].Count(), 0)
        << "the kill bit is set, so nothing is left to report";
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\"
                             "{11111111-1111-1111-1111-111111111112}",
                             false));
    EXPECT_EQ(reg.ReadNumber("Compatibility Flags"), 1024);
    session->MemoActiveX.clear();
}

TEST_F(SmallSectionsTest, ShippedAddOnListReadsInTheLineFormat)
{
    ASSERT_TRUE(
        LoadAddonList(*session, std::string(TIDEWELL_SOURCE_DIR) + "/data/addons/addon-list.txt"));
    EXPECT_GT(session->MemoActiveX.size(), 1200u);
    EXPECT_NE(std::find(session->MemoActiveX.begin(), session->MemoActiveX.end(),
                        "SuperBar(05){********-****-****-****-************}"),
              session->MemoActiveX.end());
    session->MemoActiveX.clear();
}

/// The hives of a fresh `wineboot -i` prefix.
class FreshPrefixEmptyKeysTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.fixtureHives("wine-8.0/fresh"); }
};

TEST_F(FreshPrefixEmptyKeysTest, KeysWineCreatesEmptyAreNotReported)
{
    // DllOverrides, AppDefaults, Run, Winlogon, FeatureControl and the protected storage key
    // are empty in every fresh prefix: Wine and programs fill them later.
    scanSection(13);
    EXPECT_EQ(session->SectionContents[13].Count(), 0);
    prefix->registry().createKey(win::HKEY_CURRENT_USER, "Software\\Vendor\\Empty",
                                 win::KEY_ALL_ACCESS,
                                 platform::KeyHandle(prefix->registry()).out());
    scanSection(13);
    EXPECT_EQ(session->SectionContents[13].Count(), 1) << "other empty keys still are";
}

/// The user hive of a prefix booted with winemenubuilder on, as users boot theirs: it keeps
/// the keys it records menu entries and file associations in, empty until it writes there.
class MenuBuilderEmptyKeysTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.fixtureHives("wine-8.0/fresh");
        std::filesystem::copy_file(test::fixture("wine-8.0/menubuilder/user.reg"),
                                   builder.dir() / "user.reg",
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

TEST_F(MenuBuilderEmptyKeysTest, WinesMenuBuilderKeysAreNotReported)
{
    TRegistry reg(*session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.PathExists("Software\\Wine\\MenuFiles"));
    ASSERT_TRUE(reg.PathExists("Software\\Wine\\FileOpenAssociations"));
    scanSection(13);
    EXPECT_EQ(session->SectionContents[13].Count(), 0);
}

TEST_F(MenuBuilderEmptyKeysTest, MenuEntriesOfRemovedShortcutsAreWinesToCleanNotFindings)
{
    // What winemenubuilder records of a shortcut a repair has since removed: Wine drops the
    // entry and its menu file itself at its next start.
    const auto set = [&](const std::string& key, const std::string& name, const std::string& data) {
        platform::KeyHandle handle(prefix->registry());
        ASSERT_EQ(prefix->registry().createKey(win::HKEY_CURRENT_USER, key, win::KEY_ALL_ACCESS,
                                               handle.out()),
                  win::ERROR_SUCCESS);
        ASSERT_EQ(prefix->registry().setValue(handle.get(), name, win::REG_SZ, data + '\0'),
                  win::ERROR_SUCCESS);
    };
    const std::string lnk = "C:\\users\\me\\Start Menu\\Programs\\Gone\\Gone.lnk";
    set("Software\\Wine\\MenuFiles",
        "\\\\?\\unix\\home\\me\\.local\\share\\applications\\wine\\Gone.desktop", lnk);
    set("Software\\Wine\\FileOpenAssociations\\.gone", "Extensions", "C:\\Gone\\gone.exe");
    set("Software\\Wine\\Elsewhere", "Tool", "C:\\Gone\\tool.exe");
    EXPECT_EQ(recordsNaming(3, {"Gone"}),
              (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Wine\\Elsewhere |  | Tool | "
                                        "C:\\Gone\\tool.exe"}))
        << "other keys of Wine's are checked as before";
}

} // namespace
} // namespace tw
