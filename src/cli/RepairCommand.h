// "tidewell-cli repair" and "tidewell-cli backups ...".
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tw::wine {
class WinePrefix;
}

namespace tw::cli {

/// Returns the exit status (1 when Wine runs in the prefix and nothing could be repaired).
int runRepairCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                     std::ostream& out, std::ostream& err);
void runBackupsCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                       std::ostream& out);

extern const char* const kRepairUsage;

} // namespace tw::cli
