// Sections 11 "System Services", 13 "Empty Keys" and 14 "Scan Malignant ActiveX".
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

#include <string>
#include <vector>

namespace tw {

/// The add-on list: lines of a name followed by an identifier ("Name{CLSID}").
extern std::vector<std::string> MemoActiveX;
/// Reads the add-on list from a file of such lines; false when it cannot be read.
bool LoadAddonList(const std::string& hostPath);

void ScanServices(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root);
void RepairServices(RepairView& view, const TRegistryContents& contents);

void ScanEmptyKeys(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root);
void RepairEmptyKeys(RepairView& view, const TRegistryContents& contents);

void ScanMalignantActiveX(ScanContext& context, TRegistryContents& contents,
                          std::string_view keyPath, win::HKEY root);
/// Sets the kill bit (Compatibility Flags = 1024) of each checked add-on.
void RepairMalignantActiveX(RepairView& view, const TRegistryContents& contents);

} // namespace tw
