// "tidewell-cli scan": runs the registry scan as the window does and prints its findings.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tw::wine {
class WinePrefix;
}

namespace tw::cli {

void runScanCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                    std::ostream& out);

extern const char* const kScanUsage;

} // namespace tw::cli
