// Text tests the section scans share.
#pragma once

#include <string>
#include <string_view>

namespace tw::sections {

std::string upperCase(std::string_view text);
bool containsNoCase(std::string_view text, std::string_view part);
std::string trimmed(std::string_view text);
/// Two backslashes in a row (a network name), "A:" in any case, or an excluded drive.
bool isUncheckablePath(std::string_view path);

} // namespace tw::sections
