// Section 2 "Activex or Classes Section": broken COM registrations.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void WalkClassesTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);
void ScanTypeLibRefs(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);

} // namespace tw
