// Choosing the Wine prefix to work on, and laying out the built-in demo prefix.
#pragma once

#include "WinePlatformOnly.h"

#include <optional>
#include <string>

namespace tw::wine {

struct PrefixChoice
{
    std::string path;
    /// Where the choice came from: "--prefix", "WINEPREFIX", "~/.wine", "demo", or the
    /// manager and name of a listed prefix given by name.
    std::string source;
};

/// --prefix DIR (or, when no such folder exists, the name or Steam app id of a prefix the
/// managers list: ambiguous and unknown names throw std::runtime_error), else $WINEPREFIX, else
/// ~/.wine when it holds a prefix, else the demo prefix (laid out on first use).
PrefixChoice choosePrefix(const std::optional<std::string>& commandLinePrefix);

/// The folder of the program's shipped data (the demo prefix template and the like).
std::string dataDirectory();

/// Lays out the demo prefix from the template under `target` unless it is there already;
/// returns `target`. Throws std::runtime_error when that fails.
std::string layOutDemoPrefix(const std::string& target);

/// $XDG_DATA_HOME/tidewell/demo-prefix (~/.local/share/... by default).
std::string defaultDemoPrefixPath();

} // namespace tw::wine
