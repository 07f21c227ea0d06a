// The 8.3 short names Wine gives long file names, to find the long name a short one stands for.
#pragma once

#include "WinePlatformOnly.h"

#include <string>
#include <string_view>

namespace tw::wine {

/// True for a name that is a valid 8.3 name: at most eight characters, one dot and three,
/// printable ASCII without spaces and the characters DOS forbids. Wine gives such names no
/// short form and looks up short forms only for such names.
bool isLegal8dot3Name(std::u16string_view name);

/// The short name Wine makes for a name that is not a valid 8.3 name: up to four characters
/// of the name, '~' to fill five, three characters of a hash of the lower-cased name and up
/// to three characters of the extension ("Program Files" -> "PROG~FBU"). Upper case.
std::u16string wineShortName(std::u16string_view longName);

/// True when `name` could be a short name that Wine made (a valid 8.3 name with a '~').
bool looksLikeWineShortName(std::u16string_view name);

} // namespace tw::wine
