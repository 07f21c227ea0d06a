// Sections 7 "Invalid Shortcuts" and 1 "Startup Programs".
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanShortcuts(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root);
void RepairShortcuts(Session& session, RepairView& view, const TRegistryContents& contents);
void ScanStartMenuFolders(ScanContext& context, TRegistryContents& contents,
                          std::string_view keyPath, win::HKEY root);

/// The target of a shortcut file, or empty when it cannot be read.
std::string ReadShortcutTarget(const Session& session, const std::string& path);
/// The common profile folder as older systems had it (C:\Documents and Settings\All Users).
std::string AllUsersProfileGuess(const Session& session);

} // namespace tw
