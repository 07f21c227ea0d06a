#include "SectionTable.h"

#include "sections/HelpFiles.h"
#include "sections/SharedDlls.h"
#include "sections/WindowsFonts.h"

namespace tw {

using namespace tw::win;

const std::array<SectionInfo, kSectionCountTotal>& Sections()
{
    static const std::array<SectionInfo, kSectionCountTotal> table = {{
        {0,
         "Applications Paths     ",
         HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
         false,
         false,
         {},
         nullptr},
        {1,
         "Startup Programs",
         HKEY_CURRENT_USER,
         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder",
         true,
         true,
         {},
         nullptr},
        {2, "Activex or Classes Section        ", HKEY_CLASSES_ROOT, "", true, true, {}, nullptr},
        {3, "Current User Settings", HKEY_CURRENT_USER, "", true, true, {}, nullptr},
        {4, "Local Machine Setting", HKEY_LOCAL_MACHINE, "", true, true, {}, nullptr},
        {5, "Invalid File Extensions  ", HKEY_CLASSES_ROOT, "", false, true, {}, nullptr},
        {6,
         "Help Files",
         HKEY_LOCAL_MACHINE,
         "",
         false,
         false,
         {{ScanHelpFiles, HKEY_LOCAL_MACHINE}},
         RepairHelpFiles},
        {7, "Invalid Shortcuts", 0, "", false, false, {}, nullptr},
        {8,
         "Shared Dll     ",
         HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
         false,
         false,
         {{ScanSharedDlls, HKEY_LOCAL_MACHINE}},
         RepairSharedDlls},
        {9,
         "Windows Fonts    ",
         HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
         false,
         false,
         {{ScanWindowsFonts, HKEY_LOCAL_MACHINE}},
         RepairWindowsFonts},
        {10, "File Assonciations   ", HKEY_CLASSES_ROOT, "", true, true, {}, nullptr},
        {11,
         "System Services   ",
         HKEY_LOCAL_MACHINE,
         "SYSTEM\\CurrentControlSet\\Services",
         false,
         false,
         {},
         nullptr},
        {12,
         "Add Remove Programs ",
         HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
         false,
         false,
         {},
         nullptr},
        {13, "Empty Keys", HKEY_USERS, "", true, true, {}, nullptr},
        {14, "Scan Malignant ActiveX", HKEY_LOCAL_MACHINE, "", false, false, {}, nullptr},
    }};
    return table;
}

} // namespace tw
