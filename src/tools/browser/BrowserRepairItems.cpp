#include "BrowserRepairItems.h"

namespace tw {

namespace {

using enum BrowserStepKind;
using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;
using win::HKEY_USERS;

constexpr bool kCreate = true;
constexpr bool kExisting = false;

constexpr std::string_view kIeMain = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr std::string_view kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kExplorerPolicies =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr std::string_view kSystemPolicies =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr std::string_view kIeRestrictions =
    "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";

// Restore HomePage
constexpr BrowserStepValue kStartPageName[] = {{"start page"}};
constexpr BrowserStepValue kStartPage[] = {{"start page", "about:blank"},
                                           {"Window Title", "Microsoft Internet Explorer"}};
constexpr BrowserStepValue kEmptyPages[] = {
    {"Default_Page_URL", ""}, {"Default_Search_URL", ""}, {"Search Page", ""}};
constexpr BrowserStepValue kRegistryExe[] = {{"registry.exe", "Program Files\\registry.exe"}};
constexpr BrowserStepValue kRegeditImports[] = {{"", "REGEDIT -S"}, {"", "REGEDIT /S"}};
constexpr BrowserRepairStep kRestoreHomePage[] = {
    {DeleteStartPageEntry, HKEY_LOCAL_MACHINE, kRun, kExisting, kStartPageName, kIeMain},
    {SetText, HKEY_LOCAL_MACHINE, kIeMain, kCreate, kStartPage},
    {SetText, HKEY_CURRENT_USER, kIeMain, kCreate, kStartPage},
    {SetText, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Main", kCreate,
     kEmptyPages},
    {DeleteValueAndFile, HKEY_LOCAL_MACHINE, kRun, kExisting, kRegistryExe},
    {DeleteDataMatches, HKEY_LOCAL_MACHINE, kRun, kCreate, kRegeditImports},
};

// Fix Explorer
constexpr BrowserStepValue kNoFolderOptions[] = {{"NoFolderOptions"}};
constexpr BrowserStepValue kHomepage[] = {{"homepage"}};
constexpr BrowserRepairStep kFixExplorer[] = {
    {SetZeroBytes, HKEY_LOCAL_MACHINE, kExplorerPolicies, kCreate, kNoFolderOptions},
    {SetZero, HKEY_USERS, ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Pan",
     kCreate, kHomepage},
};

// Restore Regedit
constexpr BrowserStepValue kRegistryTools[] = {{"DisableRegistryTools"}};
constexpr BrowserRepairStep kRestoreRegedit[] = {
    {SetZero, HKEY_CURRENT_USER, kSystemPolicies, kCreate, kRegistryTools},
};

// Fix Explorer Search Engine
constexpr BrowserStepValue kSearchPages[] = {{"CustomizeSearch", kDefaultSearchAssistant},
                                             {"SearchAssistant", kDefaultSearchAssistant}};
constexpr BrowserRepairStep kFixSearch[] = {
    {SetText, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Search", kCreate,
     kSearchPages},
};

// Enable Explorer Control
constexpr BrowserStepValue kUserRestrictions[] = {
    {"NoViewSource"},    {"NoBrowserContextMenu"}, {"NoBrowserClose"}, {"NoBrowserOptions"},
    {"NoBrowserSaveAs"}, {"NoFavorites"},          {"NoFileNew"},      {"NoFileOpen"},
    {"NoFindFiles"},     {"NoSelectDownloadDir"},  {"NoTheaterMode"},  {"NoAddressBar"},
    {"NoToolBar"},       {"NoLinksBar"},
};
constexpr BrowserStepValue kDefaultRestrictions[] = {{"NoViewSource"}, {"NoBrowserContextMenu"}};
constexpr BrowserRepairStep kEnableControl[] = {
    {SetZero, HKEY_CURRENT_USER, kIeRestrictions, kCreate, kUserRestrictions},
    {SetZero, HKEY_USERS,
     ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", kCreate,
     kDefaultRestrictions},
};

// Explorer Right Menu
constexpr BrowserStepValue kContextMenu[] = {{"NoBrowserContextMenu"}};
constexpr BrowserRepairStep kRightMenu[] = {
    {SetZero, HKEY_CURRENT_USER, kIeRestrictions, kCreate, kContextMenu},
};

// Enable Desktop Icon
constexpr BrowserStepValue kNoDesktop[] = {{"NoDesktop"}};
constexpr BrowserRepairStep kDesktopIcon[] = {
    {SetZero, HKEY_CURRENT_USER, kExplorerPolicies, kCreate, kNoDesktop},
};

// Restore IE Option
constexpr BrowserStepValue kRestrictRun[] = {{"RestrictRun"}};
constexpr BrowserRepairStep kRestoreOption[] = {
    {SetZeroBytes, HKEY_CURRENT_USER, kExplorerPolicies, kCreate, kNoFolderOptions},
    {SetZero, HKEY_CURRENT_USER, kExplorerPolicies, kCreate, kRestrictRun},
};

// Restore Program's Menu
constexpr BrowserStepValue kStartMenu[] = {
    {"NoRun"},        {"NoLogOff"},        {"NoFind"},        {"NoClose"},
    {"NoSetFolders"}, {"NoFavoritesMenu"}, {"NoStartBanner"},
};
constexpr BrowserRepairStep kProgramsMenu[] = {
    {SetZero, HKEY_USERS,
     ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", kCreate,
     kStartMenu},
};

// Restore Control Panel
constexpr BrowserStepValue kControlPanel[] = {
    {"NoSecCPL"},
    {"NoDispCPL"},
    {"NoDispBackgroundPage"},
    {"NoDispScrSavPage"},
    {"NoDispAppearancePage"},
    {"NoDispSettingsPage"},
    {"NoDevMgrPage"},
    {"NoConfigPage"},
    {"NoVirtMemPage"},
    {"NoFileSysPage"},
    {"NoNetSetup"},
    {"NoNetSetupIDPage"},
    {"NoNetSetupSecurityPage"},
    {"NoWorkgroupContents"},
    {"NoEntireNetwork"},
    {"NoFileSharingControl"},
};
constexpr BrowserRepairStep kRestoreControlPanel[] = {
    {SetZero, HKEY_CURRENT_USER, kSystemPolicies, kCreate, kControlPanel},
};

// Delete Explorer Context Menu, Delete Explorer Address's URL, Fix Explorer Button
constexpr BrowserRepairStep kMenuExt[] = {
    {DeleteAllValues, HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt",
     kCreate},
};
constexpr BrowserRepairStep kTypedUrls[] = {
    {DeleteAllValues, HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\TypedUrls",
     kCreate},
};
constexpr BrowserRepairStep kExtensions[] = {
    {DeleteAllSubkeys, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions",
     kCreate},
};

constexpr BrowserRepairItem kItems[] = {
    {"Restore HomePage", kRestoreHomePage},      {"Fix Explorer", kFixExplorer},
    {"Restore Regedit", kRestoreRegedit},        {"Fix Explorer Search Engine", kFixSearch},
    {"Enable Explorer Control", kEnableControl}, {"Explorer Right Menu", kRightMenu},
    {"Enable Desktop Icon", kDesktopIcon},       {"Restore IE Option", kRestoreOption},
    {"Restore Program's Menu", kProgramsMenu},   {"Restore Control Panel", kRestoreControlPanel},
    {"Delete Explorer Context Menu", kMenuExt},  {"Delete Explorer Address's URL", kTypedUrls},
    {"Fix Explorer Button", kExtensions},
};

} // namespace

std::span<const BrowserRepairItem> BrowserRepairItems()
{
    return kItems;
}

} // namespace tw
