#include "SectionTable.h"

#include "sections/AppPaths.h"
#include "sections/HelpFiles.h"
#include "sections/SharedDlls.h"
#include "sections/Uninstall.h"
#include "sections/WindowsFonts.h"

namespace tw {

using namespace tw::win;

const std::array<SectionInfo, kSectionCountTotal>& Sections()
{
    using R = RepairRemoves;
    // clang-format off
    static const std::array<SectionInfo, kSectionCountTotal> table = {{
        {0, "Applications Paths     ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", false, false,
         {{ScanAppPaths, HKEY_LOCAL_MACHINE}}, RepairAppPaths, R::WholeKey},
        {1, "Startup Programs", HKEY_CURRENT_USER,
         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder", true, true,
         {}, nullptr, R::ValueNamedByValueName},
        {2, "Activex or Classes Section        ", HKEY_CLASSES_ROOT, "", true, true,
         {}, nullptr, R::ValueNamedByValueName},
        {3, "Current User Settings", HKEY_CURRENT_USER, "", true, true,
         {}, nullptr, R::ValueNamedByValueName},
        {4, "Local Machine Setting", HKEY_LOCAL_MACHINE, "", true, true,
         {}, nullptr, R::ValueNamedByValueName},
        {5, "Invalid File Extensions  ", HKEY_CLASSES_ROOT, "", false, true,
         {}, nullptr, R::ValueNamedByValueName},
        {6, "Help Files", HKEY_LOCAL_MACHINE, "", false, false,
         {{ScanHelpFiles, HKEY_LOCAL_MACHINE}}, RepairHelpFiles, R::ValueNamedByItemName},
        {7, "Invalid Shortcuts", 0, "", false, false,
         {}, nullptr, R::NoRegistryData},
        {8, "Shared Dll     ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", false, false,
         {{ScanSharedDlls, HKEY_LOCAL_MACHINE}}, RepairSharedDlls, R::ValueNamedByValueName},
        {9, "Windows Fonts    ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", false, false,
         {{ScanWindowsFonts, HKEY_LOCAL_MACHINE}}, RepairWindowsFonts, R::ValueNamedByValueName},
        {10, "File Assonciations   ", HKEY_CLASSES_ROOT, "", true, true,
         {}, nullptr, R::ValueNamedByValueName},
        {11, "System Services   ", HKEY_LOCAL_MACHINE,
         "SYSTEM\\CurrentControlSet\\Services", false, false,
         {}, nullptr, R::ValueNamedByValueName},
        {12, "Add Remove Programs ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false, false,
         {{ScanUninstall, HKEY_LOCAL_MACHINE}}, RepairUninstall, R::ValueNamedByValueName},
        {13, "Empty Keys", HKEY_USERS, "", true, true,
         {}, nullptr, R::ValueNamedByValueName},
        {14, "Scan Malignant ActiveX", HKEY_LOCAL_MACHINE, "", false, false,
         {}, nullptr, R::ValueNamedByValueName},
    }};
    // clang-format on
    return table;
}

} // namespace tw
