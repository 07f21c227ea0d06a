// Section 2 "Activex or Classes Section": broken COM registrations.
#pragma once

#include "scanner/ScanContext.h"

#include "platform/WinTypes.h"

namespace tw {

void WalkClassesTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);
void ScanTypeLibRefs(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);
void RepairActiveX(RepairView& view, const TRegistryContents& contents);

} // namespace tw
