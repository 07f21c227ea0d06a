// Section 8 "Shared Dll": reference counts of shared files whose file is gone.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanSharedDlls(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                    win::HKEY root);

} // namespace tw
