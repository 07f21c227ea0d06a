// The startup manager: what starts with Windows from the startup folders, the Run-type keys
// and win.ini, and the removal of one entry, undoable from its backup.
#pragma once

#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tw {

class Session;

inline constexpr const char* kStartupCaption = "Startup Manager";
inline constexpr const char* kStartupIntro =
    "Startup Programs are application that run each time you start your computer.you can view "
    "details about each item by highlighting an entry below,including the company behind the "
    "application as well as the product Name so you can make an informed decision on what you "
    "wish to remove.";
inline constexpr const char* kStartupNote =
    "Note :Removal of items below will prevent them from running when you restart your "
    "computer but will not remove the actual application from your pc.";
/// The confirmation before a removal; its second line, after a carriage return, says where
/// the backup that brings the entry back goes.
std::string StartupRemoveQuestion();

/// The kinds of rows (not displayed).
inline constexpr const char* kKindStartupFolder = "Startup Folder";
inline constexpr const char* kKindRegistration = "Registration";
inline constexpr const char* kKindWinIni = "Win.ini";

/// The Run-type keys, listed in this order under HKEY_LOCAL_MACHINE (each native key, then its
/// 32-bit twin), then HKEY_CURRENT_USER.
inline constexpr std::array<const char*, 4> kRunKeys = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices",
};
/// The sections of win.ini listed, in this order.
inline constexpr std::array<const char*, 2> kWinIniSections = {"Load", "Run"};

/// One entry of a win.ini section.
struct TWinIniData
{
    std::string Section;
    std::string Entry;
};

/// One row of the list: "Name", "Path", its kind and the record it stands for.
struct StartupEntry
{
    std::string Kind;
    std::string Name;
    std::string Path;
    /// Registration rows: root, key, value name and the data shown.
    TFolderData Registry;
    /// Registration rows: the registry view the key belongs to.
    RegistryView view = RegistryView::Native;
    /// Win.ini rows: the section and the entry.
    TWinIniData WinIni;
};

/// GetStartupFolders; a folder value that is not a string gives no folder.
std::vector<TFolderData> ReadStartupFolders(const Session& session);

/// The whole listing, in the window's order: the all-users startup folder, the user's, the
/// Run-type keys (those of HKLM in both views, a key linked between them once), then win.ini's
/// [Load] and [Run]. `yield` runs once per folder entry.
std::vector<StartupEntry> ListStartupEntries(const Session& session,
                                             const std::vector<TFolderData>& startupFolders,
                                             const std::function<void()>& yield = {});

struct StartupRemoval
{
    /// The entry is gone: its row leaves the list.
    bool removed = false;
    /// Why nothing was changed (read-only prefix, no backup, a removal or save that failed);
    /// empty when the removal was made or there was nothing to remove (a subfolder, a value
    /// that is gone).
    std::string error;
    /// The backup that takes the removal back.
    std::string backupPath;
};

/// "Remove Checked" after the Yes. A registry value or win.ini entry is first written to an
/// undo backup of the backup folder (win.ini as a copy of the file); a file of a startup
/// folder is kept in the backup and then deleted (a folder is not deleted). Refused whole
/// when the prefix is read-only or the backup cannot be written. Saves the registry itself.
StartupRemoval RemoveStartupEntry(const Session& session, const StartupEntry& entry);

/// Open Path's folder: "Path" up to and including its last "\" or ":", without double
/// quotes; empty when it has neither.
std::string OpenPathFolder(const std::string& path);

/// win.ini of the Windows folder, such as C:\windows\win.ini.
std::string WinIniPath(const Session& session);

} // namespace tw
