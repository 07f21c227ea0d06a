// From the words of tidewell-cli's command line to a command row and its arguments.
#pragma once

#include "Command.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tw::cli {

struct ParsedCommandLine
{
    /// Null when only help was asked for.
    const Command* command = nullptr;
    Arguments args;
    std::optional<std::string> prefix;
    /// The rows whose help to print (all for "--help" alone).
    std::vector<const Command*> help;
};

/// Parses the words after the program name. Throws UsageError.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& words);

/// The usage of `rows` (the whole table when empty), as --help prints it.
void printUsage(std::ostream& out, const std::vector<const Command*>& rows);

} // namespace tw::cli
