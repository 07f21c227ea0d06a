// Section 9 "Windows Fonts": registered fonts whose file is not in the Fonts folder.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanWindowsFonts(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                      win::HKEY root);

} // namespace tw
