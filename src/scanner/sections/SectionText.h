// Text tests the section scans share.
#pragma once

#include "platform/WinTypes.h"
#include "registry/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw::sections {

std::string upperCase(std::string_view text);
bool containsNoCase(std::string_view text, std::string_view part);
std::string trimmed(std::string_view text);
/// Two backslashes in a row (a network name), "A:" in any case, or an excluded drive.
bool isUncheckablePath(std::string_view path);

/// Opens `keyPath` under `root` without creating it and lists its value names.
bool openValueList(TRegistry& reg, win::HKEY root, std::string_view keyPath,
                   std::vector<std::string>& names);

} // namespace tw::sections
