// The test program started again as a child that sleeps until it is ended.
#pragma once

#include <string>

namespace tw::win32::test {

/// The full path of the running test program.
std::string selfPath();
/// Its file name without the folder.
std::string selfFileName();
/// A command line that starts this program again, sleeping until it is ended.
std::string selfSleepCommandLine();

} // namespace tw::win32::test
