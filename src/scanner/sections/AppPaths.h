// Section 0 "Applications Paths": App Paths entries whose program is missing.
#pragma once

#include "platform/WinTypes.h"
#include "scanner/ScanContext.h"

namespace tw {

void ScanAppPaths(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root);

/// The program path to test for an entry's default text and its "Path" folder, with
/// %ProgramFiles% standing for `programFiles`.
std::string ResolveAppPath(const Session& session, const std::string& defaultText,
                           const std::string& folder, std::string_view programFiles);
/// The Windows folder with a trailing backslash, such as C:\windows\.
std::string WindowsFolderGuess(const Session& session);
/// True when the text has a file name and an extension.
bool HasFileNameAndExt(std::string_view text);

} // namespace tw
