// Small helpers shared by the scan sections, the repairs, start-up and the tools.
#pragma once

#include "platform/Files.h"
#include "platform/System.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

using win::HKEY;

class Session;

/// One registry value that names a folder or a program.
struct TFolderData
{
    HKEY RootKey = 0;
    std::string KeyName;
    std::string ValueName;
    std::string ValueData;
};

/// The handle of one of the five root names (exact case); 0 for any other text.
HKEY RootKeyFromName(std::string_view name);
/// The name of one of the five root handles; empty for any other.
std::string RootKeyName(HKEY root);

/// A key path in record form split the way the record routines split it: the root's name is
/// the text before the first backslash, and the path is the whole text with every occurrence
/// of that name removed (so it starts with a backslash).
struct RecordKeyPath
{
    std::string rootName;
    std::string path;
};
RecordKeyPath SplitRecordKeyPath(std::string_view keyPath);

/// Deletes value `valueName` ("default": the unnamed value) of the key `keyPath`, written
/// as root name + "\" + path. Opens the key with may-create, as it always did.
bool DeleteRegistryValue(const Session& session, std::string_view keyPath,
                         std::string_view valueName);
/// Deletes the key `path` (with a leading backslash) and its subtree under `root`.
bool DeleteRegistryKey(const Session& session, HKEY root, std::string_view path);

/// Creates `folder` (a Windows path) and every missing folder above it; true when it exists.
bool CreateFolderChain(platform::Files& files, std::string_view folder);

/// Fills `list` with every drive from C to Z that is removable, remote, CD-ROM or RAM disk.
void BuildExcludedDrives(const Session& session, std::vector<std::string>& list);
/// False when any of `drives` occurs anywhere in `path` (without regard to case).
bool IsCheckablePath(const std::vector<std::string>& drives, std::string_view path);

/// "ProgramFilesDir" (0) or "CommonFilesDir" (1) of the machine.
std::string GetProgramFilesDir(const Session& session, int selector);
/// The all-users and the user's startup folders, as TFolderData records.
void GetStartupFolders(const Session& session, std::vector<TFolderData>& list);

/// A file time (UTC) as local calendar time.
platform::SystemTime FileTimeToLocalDateTime(const Session& session, win::FILETIME time);

/// Sets the session's PlatformKind from the platform id GetVersionEx reports.
void DetectPlatform(Session& session);
/// True when user account control is on (EnableLUA not 0).
bool IsLuaEnabled(const Session& session);

/// Opens the address in a browser window. Throws std::runtime_error when none starts.
void OpenInBrowser(const Session& session, std::string_view url);
/// Starts a program elevated and returns at once; reports nothing. Returns 0.
int ShellRun(const Session& session, std::string_view file, std::string_view directory);

} // namespace tw
