// Section 12 "Add Remove Programs": uninstall entries whose uninstaller is missing.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

#include <functional>

namespace tw {

void ScanUninstall(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root);

/// Tells whether a file exists.
using FileExists = std::function<bool(const std::string& path)>;

/// The program file a command line starts.
std::string ExtractProgramPath(const FileExists& fileExists, const std::string& commandLine);
/// The same, with `prepare` applied to the text first and again at each recursive step.
std::string ExtractProgramPathWith(const FileExists& fileExists, const std::string& commandLine,
                                   const std::function<std::string(const std::string&)>& prepare);

} // namespace tw
