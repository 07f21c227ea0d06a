// The Wine prefix under a started session, for the tests of the Linux build.
#pragma once

#include "SessionStart.h"
#include "platform/wine/WinePlatformOnly.h"

namespace tw::wine {
class WinePrefix;
}

namespace tw::app {

wine::WinePrefix& winePrefix(StartedSession& started);

} // namespace tw::app
