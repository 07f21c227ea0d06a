// Section 2 "Activex or Classes Section": broken COM registrations.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void WalkClassesTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);
void ScanTypeLibRefs(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root);

/// True when the classes walk reports the key `path` (no leading backslash) of `root` once it
/// has no values: a HELPDIR or server key of HKEY_CLASSES_ROOT, also when named through
/// HKEY_LOCAL_MACHINE\Software\Classes.
bool IsClassKeyReportedWhenEmpty(win::HKEY root, std::string_view path);

} // namespace tw
