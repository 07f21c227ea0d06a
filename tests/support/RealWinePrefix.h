// Real Wine prefixes for tests: booted once per test program, copied for each test.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace tw::test {

/// True when `wine` is on the PATH.
bool wineInstalled();

/// The loader that starts Wine's own programs (reg, regedit, cmd) of a 64-bit prefix as the
/// 64-bit programs they are: with wine32 installed, `wine` starts their 32-bit twins.
std::string wineLoader64();

/// True when the booted prefix runs 32-bit programs (wine32 is installed).
bool wineRuns32Bit();

/// Copies a prefix that `wineboot -i` made with winemenubuilder on, as users make theirs (once
/// per machine and Wine version, kept in the temporary folder)
/// to `dir`; the user folders Wine links to a home lead to `dir`/../home (made if missing).
/// Also sets the environment every Wine of the test inherits: no display, no downloads of
/// Wine's add-ons, no debug output. Returns an error text, empty on success.
std::string copyBootedPrefix(const std::filesystem::path& dir);

/// The environment Windows programs run with in `prefix` as users run them: winemenubuilder
/// on, what it writes for the desktop going to `home`; no dialogs offering Mono or Gecko.
std::map<std::string, std::string> wineEnvironment(const std::filesystem::path& prefix,
                                                   const std::filesystem::path& home);

/// Stops Wine in the prefix and waits until its wineserver has written the registry.
void stopWine(const std::filesystem::path& prefix);

/// Stops Wine in a prefix when it goes out of scope.
struct WineStopper
{
    std::filesystem::path prefix;
    ~WineStopper() { stopWine(prefix); }
};

} // namespace tw::test
