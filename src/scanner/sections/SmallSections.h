// Sections 11 "System Services", 13 "Empty Keys" and 14 "Scan Malignant ActiveX".
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

#include <string>
#include <vector>

namespace tw {

/// Reads the session's add-on list (MemoActiveX) from a file of lines of a name followed by
/// an identifier ("Name{CLSID}"); false when it cannot be read.
bool LoadAddonList(Session& session, const std::string& hostPath);

void ScanServices(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root);

void ScanEmptyKeys(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root);

/// True when the empty keys section reports the key `path` (no leading backslash) of
/// `root` once it has neither values nor subkeys.
bool IsReportedWhenEmpty(win::HKEY root, std::string_view path);

void ScanMalignantActiveX(ScanContext& context, TRegistryContents& contents,
                          std::string_view keyPath, win::HKEY root);
/// Sets the kill bit (Compatibility Flags = 1024) of each checked add-on.
void RepairMalignantActiveX(Session& session, RepairView& view, const TRegistryContents& contents);

} // namespace tw
