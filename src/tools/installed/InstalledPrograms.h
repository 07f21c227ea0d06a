// The programs registered for uninstallation on the machine: listing them, starting their
// uninstallers, and removing an entry (with a backup that brings it back).
#pragma once

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
    /// Under HKEY_LOCAL_MACHINE, with the leading backslash:
    /// "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<subkey>".
    std::string keyPath;
};

/// FillInstalledList: the subkeys of the machine's uninstall key that have both a
/// "DisplayName" and an "UninstallString" value, in registry order. Empty when the key
/// cannot be opened.
std::vector<InstalledProgram> ListInstalledPrograms(const Session& session);

/// Checks that the entry's uninstall string would start, writes a full backup of the
/// registry, then starts it unchanged as a command line, shown, without waiting. Returns why
/// it did not start (nothing starts without the backup, no backup is written for a program
/// that would not start); empty when it did.
std::string StartUninstaller(const Session& session, const InstalledProgram& program);

struct RemoveOutcome
{
    /// The backup that brings the entry back; empty when nothing was removed.
    std::string backupPath;
    /// Why nothing was removed; empty on success.
    std::string error;
};

/// Removes the entry's key with its whole subtree and saves the registry, after writing a
/// backup of the backup folder that restores it. Refused whole (nothing changes, no backup
/// is left) when the registry is read-only, the backup cannot be written or the change
/// cannot be saved. An entry that is gone already changes nothing.
RemoveOutcome RemoveInstalledEntry(const Session& session, const InstalledProgram& program);

} // namespace tw
