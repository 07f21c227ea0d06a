// The programs registered for uninstallation on the machine: listing them, starting their
// uninstallers, and removing an entry (with a backup that brings it back).
#pragma once

#include "platform/WinTypes.h"
#include "registry/RegistryView.h"
#include "repair/BackedUpChange.h"

#include <string>
#include <vector>

namespace tw {

class Session;

/// One uninstall entry.
struct InstalledProgram
{
    /// "DisplayName" (empty unless a string).
    std::string name;
    /// "UninstallString" (empty unless a string), not expanded.
    std::string uninstallString;
    /// Below `root`, with the leading backslash:
    /// "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<subkey>" (or the
    /// Wow6432Node one of the 32-bit view).
    std::string keyPath;
    win::HKEY root = win::HKEY_LOCAL_MACHINE;
    RegistryView view = RegistryView::Native;
};

/// The uninstall keys, read in this order: HKEY_LOCAL_MACHINE's (native, then 32-bit view;
/// a key linked between them once), then HKEY_CURRENT_USER's.
inline constexpr win::HKEY kUninstallRoots[] = {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER};

/// FillInstalledList: the subkeys of the uninstall keys that have both a "DisplayName" and
/// an "UninstallString" value, key by key in registry order. Empty when no key opens.
std::vector<InstalledProgram> ListInstalledPrograms(const Session& session);

/// Checks that the entry's uninstall string would start, writes a full backup of the
/// registry, then starts it unchanged as a command line, shown, without waiting. The outcome
/// names the full backup, or says why the uninstaller did not start (nothing starts without
/// the backup, no backup is written for a program that would not start).
ChangeOutcome StartUninstaller(const Session& session, const InstalledProgram& program);

/// The backup that brings the entry back (empty when nothing was removed), or why nothing was
/// removed.
using RemoveOutcome = ChangeOutcome;

/// Removes the entry's key with its whole subtree and saves the registry, after writing a
/// backup of the backup folder that restores it. Refused whole (nothing changes, no backup
/// is left) when the registry is read-only, the backup cannot be written or the change
/// cannot be saved. An entry that is gone already changes nothing.
RemoveOutcome RemoveInstalledEntry(const Session& session, const InstalledProgram& program);

} // namespace tw
