// Section 12 "Add Remove Programs": uninstall entries whose uninstaller is missing.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanUninstall(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root);
void RepairUninstall(RepairView& view, const TRegistryContents& contents);

/// The program file a command line starts.
std::string ExtractProgramPath(const std::string& commandLine);

} // namespace tw
