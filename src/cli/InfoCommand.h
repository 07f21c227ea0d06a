// "tidewell-cli info": what Tidewell sees of the prefix.
#pragma once

#include <ostream>
#include <string>

namespace tw::wine {
class WinePrefix;
}

namespace tw::cli {

void runInfoCommand(wine::WinePrefix& prefix, const std::string& source, std::ostream& out);

} // namespace tw::cli
