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

#include "scanner/ScanDriver.h"

namespace tw::cli {

/// The sections of "--sections LIST" among `args` (all when it is not given).
SectionSelection parseSectionList(const std::vector<std::string>& args);
/// Reads the settings (without writing them) and builds the excluded drives, as start-up does.
void prepareScan();

} // namespace tw::cli
