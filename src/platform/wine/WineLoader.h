// Which Wine loader starts a program: the 64-bit one for 64-bit programs, `wine` otherwise.
#pragma once

#include "WinePlatformOnly.h"

#include <string>

namespace tw::wine {

/// The processor a Windows program is built for, read from its PE header.
enum class Machine
{
    Unknown, ///< not a PE file, or unreadable
    X86,
    X64,
};

/// The machine of the PE file at the host path `hostFile`.
Machine peMachine(const std::string& hostFile);

/// The host path of the loader that starts programs built for `machine`; empty when Wine is
/// not installed. A 64-bit program gets the 64-bit loader wherever one is found (`wine` may
/// be the 32-bit loader, which would start the 32-bit twin of a system program); every other
/// program gets `wine`.
std::string wineLoader(Machine machine);

/// The loader for the program file at `hostFile`.
std::string wineLoaderFor(const std::string& hostFile);

} // namespace tw::wine
