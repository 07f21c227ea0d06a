// A 64-bit prefix: values of 32-bit programs name syswow64 and the "(x86)" folders.
#include "ScannerTestSupport.h"
#include "scanner/sections/FileView.h"
#include "scanner/sections/SectionText.h"

namespace tw {
namespace {

// Entries a 32-bit installer leaves in a 64-bit Wine prefix, each beside a broken twin.
const char* kMachine = R"hive(
[Software\\Wow6432Node\\Vendor\\Tool] 1
"Program"=str(2):"%ProgramFiles%\\Vendor\\tool.exe"
"Missing"=str(2):"%ProgramFiles%\\Vendor\\gone.exe"
"Helper"="C:\\windows\\system32\\vhelper.exe /quiet"
"HelperGone"="C:\\windows\\system32\\vgone.exe /quiet"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vhelper.exe] 1
@="C:\\windows\\system32\\vhelper.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vgone.exe] 1
@="C:\\windows\\system32\\vgone.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\windows\\system32\\vshared.dll"=dword:00000001
"C:\\windows\\system32\\vsharedgone.dll"=dword:00000001

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vendor Tool] 1
"UninstallString"="C:\\windows\\system32\\vhelper.exe /uninstall"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vendor Gone] 1
"UninstallString"="C:\\windows\\system32\\vgone.exe /uninstall"

[Software\\Microsoft\\Windows\\Help] 1
"vendor.hlp"="C:\\windows\\system32"
"vendorgone.hlp"="C:\\windows\\system32"
)hive";

// The user's hive is not split: 32-bit programs write here too.
const char* kUser = R"hive(
[Software\\Vendor] 1
"Program"=str(2):"%ProgramFiles%\\Vendor\\tool.exe"
"Missing"=str(2):"%ProgramFiles%\\Vendor\\gone.exe"
"Helper"="C:\\windows\\system32\\vhelper.exe /quiet"
"HelperGone"="C:\\windows\\system32\\vgone.exe /quiet"
)hive";

class Wow64Test : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.fixtureHives("wine-8.0/fresh")
            .file("Program Files (x86)/Vendor/tool.exe")
            .file("windows/syswow64/vhelper.exe")
            .file("windows/syswow64/vshared.dll")
            .file("windows/syswow64/vendor.hlp");
        for (const auto& [hive, text] : {std::pair{"system.reg", kMachine}, {"user.reg", kUser}}) {
            const std::filesystem::path path = builder.dir() / hive;
            test::writeFile(path, test::readFile(path) + text);
        }
    }

    /// The records of a section that name the vendor's entries.
    std::vector<std::string> vendorRecords(int section)
    {
        return recordsNaming(section, {"vendor", "vgone", "vhelper", "vshared"});
    }
};

TEST_F(Wow64Test, ValuesBelowWow6432NodeNameThe32BitFolders)
{
    EXPECT_EQ(vendorRecords(4),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor\\Tool |  | HelperGone | "
                  "C:\\windows\\system32\\vgone.exe",
                  "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor\\Tool |  | Missing | "
                  "C:\\PROGRAM FILES (X86)\\VENDOR\\GONE.EXE",
              }));
}

TEST_F(Wow64Test, TheUsersValuesMayNameEitherFolder)
{
    EXPECT_EQ(vendorRecords(3), (std::vector<std::string>{
                                    "HKEY_CURRENT_USER\\Software\\Vendor |  | HelperGone | "
                                    "C:\\windows\\system32\\vgone.exe",
                                    "HKEY_CURRENT_USER\\Software\\Vendor |  | Missing | "
                                    "C:\\PROGRAM FILES\\VENDOR\\GONE.EXE",
                                }));
}

TEST_F(Wow64Test, System32FilesFoundInSyswow64AreSound)
{
    EXPECT_EQ(vendorRecords(0), (std::vector<std::string>{
                                    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                                    "CurrentVersion\\App Paths\\vgone.exe | vgone.exe | Path | "
                                    "C:\\windows\\system32\\vgone.exe",
                                }));
    EXPECT_EQ(vendorRecords(8), (std::vector<std::string>{
                                    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                                    "CurrentVersion\\SharedDlls | SharedDlls | "
                                    "C:\\windows\\system32\\vsharedgone.dll | 1",
                                }));
    EXPECT_EQ(vendorRecords(12),
              (std::vector<std::string>{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                  "CurrentVersion\\Uninstall\\Vendor Gone | Vendor Gone | "
                  "UninstallString | C:\\windows\\system32\\vgone.exe /uninstall",
              }));
    EXPECT_EQ(vendorRecords(6), (std::vector<std::string>{
                                    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help | "
                                    "vendorgone.hlp |  | C:\\windows\\system32\\vendorgone.hlp",
                                }));
}

TEST_F(Wow64Test, KeysBelowWow6432NodeAreRead32Bit)
{
    using sections::ValueReaders;
    EXPECT_EQ(sections::readersOfKey("Software\\Wow6432Node\\Vendor"), ValueReaders::Wow64);
    EXPECT_EQ(sections::readersOfKey("HKEY_CLASSES_ROOT\\wow6432node\\CLSID"), ValueReaders::Wow64);
    EXPECT_EQ(sections::readersOfKey("Software\\Wow6432Node2\\Vendor"), ValueReaders::Any);
    EXPECT_EQ(sections::readersOfKey("Software\\Vendor"), ValueReaders::Any);
    const sections::FileView files(*session);
    EXPECT_EQ(files.programFilesFolders(0, ValueReaders::Wow64),
              (std::vector<std::string>{"C:\\Program Files (x86)", "C:\\Program Files"}));
    EXPECT_EQ(files.programFilesFolders(1, ValueReaders::Any),
              (std::vector<std::string>{"C:\\Program Files\\Common Files",
                                        "C:\\Program Files (x86)\\Common Files"}));
    EXPECT_TRUE(files.fileExists("C:\\WINDOWS\\SYSTEM32\\VHELPER.EXE"));
    EXPECT_FALSE(files.fileExists("C:\\windows\\system32x\\vhelper.exe"));
}

} // namespace
} // namespace tw
