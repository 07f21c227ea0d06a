// Running one of our small Windows programs in a prefix through the program starter.
#pragma once

#include "WinePlatformOnly.h"

#include "WineUrlCache.h"

namespace tw::platform {
class Programs;
}

namespace tw::wine {

class WinePathMapper;

/// Runs the helper (a host path, reached through the drive that maps it, such as Z:) with
/// `arguments`, hidden, and returns what it printed. When no Wine ran in the prefix before,
/// it waits until the Wine it started has ended and the registry has been read again, so
/// that the next change can be made; a Wine that was running already is joined, not waited
/// for. Throws platform::UrlCacheError when it cannot run.
HelperOutput runHelper(platform::Programs& programs, const WinePathMapper& paths,
                       const std::string& helper, const std::vector<std::string>& arguments);

/// An argument as CommandLineToArgvW reads it back: quoted where it has blanks or quotes,
/// backslashes doubled only before a quote.
std::string quotedArgument(const std::string& argument);

} // namespace tw::wine
