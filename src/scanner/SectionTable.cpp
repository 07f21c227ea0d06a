#include "SectionTable.h"

#include "sections/AppPaths.h"
#include "sections/Classes.h"
#include "sections/FileExtensions.h"
#include "sections/HelpFiles.h"
#include "sections/SharedDlls.h"
#include "sections/Shortcuts.h"
#include "sections/SmallSections.h"
#include "sections/Uninstall.h"
#include "sections/UserMachineSettings.h"
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
         {{ScanStartMenuFolders, HKEY_CURRENT_USER}}, RepairStartMenuFolders, R::WholeKey},
        {2, "Activex or Classes Section        ", HKEY_CLASSES_ROOT, "", true, true,
         {{WalkClassesTree, HKEY_CLASSES_ROOT}, {ScanTypeLibRefs, HKEY_CLASSES_ROOT}},
         RepairActiveX, R::WholeKey},
        {3, "Current User Settings", HKEY_CURRENT_USER, "", true, true,
         {{ScanUserKeyTree, HKEY_CURRENT_USER}, {ScanMuiCache, HKEY_CURRENT_USER},
          {ScanStartMenuOrder, HKEY_CURRENT_USER}, {ScanDialogHistory, HKEY_CURRENT_USER}},
         RepairUserSettings, R::ValueOrMenuKey},
        {4, "Local Machine Setting", HKEY_LOCAL_MACHINE, "", true, true,
         {{ScanMachineKeyTree, HKEY_LOCAL_MACHINE}, {ScanMachineKeyTree, HKEY_USERS}},
         RepairMachineSettings, R::ValueNamedByValueName},
        {5, "Invalid File Extensions  ", HKEY_CLASSES_ROOT, "", false, true,
         {{ScanFileExtensions, HKEY_CLASSES_ROOT}}, RepairFileExtensions,
         R::ValueNamedByValueName},
        {6, "Help Files", HKEY_LOCAL_MACHINE, "", false, false,
         {{ScanHelpFiles, HKEY_LOCAL_MACHINE}}, RepairHelpFiles, R::ValueNamedByItemName},
        {7, "Invalid Shortcuts", 0, "", false, false,
         {{ScanShortcuts, 0}}, RepairShortcuts, R::NoRegistryData},
        {8, "Shared Dll     ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", false, false,
         {{ScanSharedDlls, HKEY_LOCAL_MACHINE}}, RepairSharedDlls, R::ValueNamedByValueName},
        {9, "Windows Fonts    ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", false, false,
         {{ScanWindowsFonts, HKEY_LOCAL_MACHINE}}, RepairWindowsFonts, R::ValueNamedByValueName},
        {10, "File Assonciations   ", HKEY_CLASSES_ROOT, "", true, true,
         {{ScanFileAssociations, HKEY_CLASSES_ROOT}}, RepairFileAssociations, R::WholeKey},
        {11, "System Services   ", HKEY_LOCAL_MACHINE,
         "SYSTEM\\CurrentControlSet\\Services", false, false,
         {{ScanServices, HKEY_LOCAL_MACHINE}}, RepairServices, R::ValueNamedByValueName},
        {12, "Add Remove Programs ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false, false,
         {{ScanUninstall, HKEY_LOCAL_MACHINE}}, RepairUninstall, R::ValueNamedByValueName},
        {13, "Empty Keys", HKEY_USERS, "", true, true,
         {{ScanEmptyKeys, HKEY_USERS}}, RepairEmptyKeys, R::WholeKey},
        {14, "Scan Malignant ActiveX", HKEY_LOCAL_MACHINE, "", false, false,
         {{ScanMalignantActiveX, HKEY_LOCAL_MACHINE}}, RepairMalignantActiveX,
         R::ValueNamedByValueName},
    }};
    // clang-format on
    return table;
}

} // namespace tw
