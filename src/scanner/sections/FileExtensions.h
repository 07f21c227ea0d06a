// Sections 5 "Invalid File Extensions" and 10 "File Assonciations".
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

#include <string>
#include <vector>

namespace tw {

void ScanFileExtensions(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root);
void ScanFileAssociations(ScanContext& context, TRegistryContents& contents,
                          std::string_view keyPath, win::HKEY root);

/// Drops the names that contain an excluded text (the shell's own keys, such as "*" and
/// "Folder") and moves those starting with "." to `extensions`.
void SplitRootKeyNames(std::vector<std::string>& names, std::vector<std::string>& extensions);

} // namespace tw
