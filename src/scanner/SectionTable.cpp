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

#include <chrono>

namespace tw {

using namespace tw::win;

const std::array<SectionInfo, kSectionCountTotal>& Sections()
{
    using R = RepairRemoves;
    constexpr RepairShows Key = RepairShows::KeyPath;
    constexpr RepairShows NoRoot = RepairShows::KeyPathWithoutRoot;
    constexpr bool Quiet = true;
    // number, caption, root, key path, driver starts / finishes the row, calls,
    // what the repair removes, what it shows, whether its errors end it quietly, special repair
    // clang-format off
    static const std::array<SectionInfo, kSectionCountTotal> table = {{
        {0, "Applications Paths     ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", false, false,
         {{ScanAppPaths}}, R::WholeKey, Key, Quiet},
        {1, "Startup Programs", HKEY_CURRENT_USER,
         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder", true, true,
         {{ScanStartMenuFolders}}, R::WholeKey, Key, Quiet},
        {2, "Activex or Classes Section        ", HKEY_CLASSES_ROOT, "", true, true,
         {{WalkClassesTree}, {ScanTypeLibRefs}}, R::WholeKey, NoRoot, Quiet},
        {3, "Current User Settings", HKEY_CURRENT_USER, "", true, true,
         {{ScanUserKeyTree}, {ScanMuiCache}, {ScanStartMenuOrder}, {ScanDialogHistory}},
         R::ValueOrMenuKey, Key, !Quiet},
        {4, "Local Machine Setting", HKEY_LOCAL_MACHINE, "", true, true,
         {{ScanMachineKeyTree}, {ScanOtherUsersKeyTree, HKEY_USERS}},
         R::ValueNamedByValueName, Key, Quiet},
        {5, "Invalid File Extensions  ", HKEY_CLASSES_ROOT, "", false, true,
         {{ScanFileExtensions}}, R::ValueNamedByValueName, Key, Quiet},
        {6, "Help Files", HKEY_LOCAL_MACHINE, "", false, false,
         {{ScanHelpFiles}}, R::ValueNamedByItemName, NoRoot, Quiet},
        {7, "Invalid Shortcuts", 0, "", false, false,
         {{ScanShortcuts}}, R::NoRegistryData, Key, Quiet, RepairShortcuts},
        {8, "Shared Dll     ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", false, false,
         {{ScanSharedDlls}}, R::ValueNamedByValueName, Key, Quiet},
        {9, "Windows Fonts    ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", false, false,
         {{ScanWindowsFonts}}, R::ValueNamedByValueName, Key, !Quiet},
        {10, "File Associations    ", HKEY_CLASSES_ROOT, "", true, true,
         {{ScanFileAssociations}}, R::WholeKey, Key, Quiet},
        {11, "System Services   ", HKEY_LOCAL_MACHINE,
         "SYSTEM\\CurrentControlSet\\Services", false, false,
         {{ScanServices}}, R::ValueNamedByValueName, Key, Quiet},
        {12, "Add Remove Programs ", HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false, false,
         {{ScanUninstall}}, R::ValueNamedByValueName, Key, Quiet},
        {13, "Empty Keys", HKEY_USERS, "", true, true,
         {{ScanEmptyKeys}}, R::WholeKey, Key, Quiet},
        {14, "Scan Malignant ActiveX", HKEY_LOCAL_MACHINE, "", false, false,
         {{ScanMalignantActiveX}}, R::ValueNamedByValueName, Key, Quiet, RepairMalignantActiveX},
    }};
    // clang-format on
    return table;
}

void RunSectionCalls(ScanContext& context, const SectionInfo& section)
{
    TRegistryContents& contents =
        context.session().SectionContents[static_cast<size_t>(section.number)];
    for (const SectionCall& call : section.calls)
        call.routine(context, contents, section.keyPath,
                     call.otherRoot ? call.otherRoot : section.root);
}

void RunSectionRow(ScanContext& context, const SectionInfo& section)
{
    const auto start = std::chrono::steady_clock::now();
    if (section.driverStartsRow)
        context.rowStart();
    RunSectionCalls(context, section);
    if (section.driverFinishesRow)
        context.rowFinish();
    context.ranFor(std::chrono::steady_clock::now() - start);
}

void RepairSection(Session& session, RepairView& view, int number)
{
    RemovedEntries removed;
    RepairSection(session, view, number, removed);
}

void RepairSection(Session& session, RepairView& view, int number, RemovedEntries& removed)
{
    if (number < 0 || number >= kSectionCountTotal)
        return;
    const SectionInfo& section = Sections()[static_cast<size_t>(number)];
    const TRegistryContents& contents = session.SectionContents[static_cast<size_t>(number)];
    if (section.specialRepair)
        section.specialRepair(session, view, contents);
    else
        RunStandardRepair(session, view, contents, section.removes, section.shows,
                          section.repairEndsQuietly, removed);
}

} // namespace tw
