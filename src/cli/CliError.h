// Errors the command line reports as one line on standard error.
#pragma once

#include <stdexcept>

namespace tw::cli {

/// A command that failed; exit status 1.
class CliError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// A command line that is not understood; exit status 2.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace tw::cli
