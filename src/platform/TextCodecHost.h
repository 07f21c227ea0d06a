// What the text conversions take from the host system: its Unicode lower case and its code
// page converter (TextCodecIconv.cpp on Linux, TextCodecWin32.cpp on Windows).
#pragma once

#include <array>

namespace tw::platform {

/// Sets the lower case of every UTF-16 unit that has one in the host's Unicode tables;
/// `lower` holds each unit itself on entry.
void fillLowerCaseTable(std::array<char16_t, 0x10000>& lower);

} // namespace tw::platform
