// The Wine prefixes of the user, for the front ends: found from the environment.
#pragma once

#include "platform/PrefixList.h"

namespace tw::app {

/// The prefixes the managers' files below $HOME and the XDG folders name ($WINEPREFIX too).
platform::PrefixList findPrefixes();

} // namespace tw::app
