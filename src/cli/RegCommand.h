// "tidewell-cli reg ...": query, change, export and import the prefix's registry.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tw::wine {
class WinePrefix;
}

namespace tw::cli {

/// Runs `reg` with its arguments (after the word "reg"). Throws CliError or UsageError.
void runRegCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                   std::ostream& out);

extern const char* const kRegUsage;

} // namespace tw::cli
