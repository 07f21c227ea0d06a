// Running one of our small Windows programs with `wine` in a prefix whose hives we hold.
#pragma once

#include "WineUrlCache.h"

namespace tw::wine {

class HiveStore;

/// Runs `wine helper arguments...` in the store's prefix with `input` on its standard input
/// and returns what it printed. When no Wine runs in the prefix, the store's pending changes
/// are saved first, the run waits until the wineserver it started has ended, and the hives
/// are read again. Throws platform::UrlCacheError when it cannot run (a preview, wine
/// missing, the changes cannot be saved, no end within two minutes).
HelperOutput runHelperInPrefix(HiveStore& store, const std::string& helper,
                               const std::vector<std::string>& arguments, const std::string& input);

} // namespace tw::wine
