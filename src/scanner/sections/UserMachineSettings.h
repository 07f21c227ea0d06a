// Sections 3 "Current User Settings" and 4 "Local Machine Setting": values naming files or
// folders that are gone, and the per-user history lists.
#pragma once

#include "Uninstall.h"
#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanUserKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);
void ScanMuiCache(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root);
void ScanStartMenuOrder(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root);
void ScanDialogHistory(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                       win::HKEY root);
void ScanMachineKeyTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root);
/// The machine walk over the hives of HKEY_USERS but the current user's.
void ScanOtherUsersKeyTree(ScanContext& context, TRegistryContents& contents,
                           std::string_view keyPath, win::HKEY root);

/// %SystemRoot%, %windir% and %ProgramFiles% (standing for `programFiles`) replaced; the
/// whole text in upper case once something was replaced.
std::string ExpandPathVariables(const Session& session, const std::string& text,
                                std::string_view programFiles);
bool IsPlainPathText(std::string_view text);
/// The program a command line starts, after "@", quotes and %SystemRoot%\ are dealt with.
std::string ExtractCommandPath(const Session& session, const FileExists& fileExists,
                               const std::string& text);
bool IsPlausibleFilePath(const std::string& text);
bool HasSingleColon(std::string_view text);

} // namespace tw
