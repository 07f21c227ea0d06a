// Section 6 "Help Files": registered help files that are missing (or input-method help).
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanHelpFiles(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root);

/// The folder and the name joined by exactly one backslash.
std::string JoinFolderAndName(std::string_view folder, std::string_view name);

} // namespace tw
