// The drives the junk cleaner offers: fixed drives with room, by their display names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

class Session;

struct JunkDrive
{
    /// The letter and ":" without a backslash, as DriveRoots holds it ("C:").
    std::string root;
    /// The shell's display name of the root ("Local Disk (C:)").
    std::string name;
    std::uint64_t freeMiB = 0;
    std::uint64_t sizeMiB = 0;
};

/// A to Z: every fixed drive with at least 1 MiB free to the user and 1 MiB in size.
std::vector<JunkDrive> ListJunkDrives(const Session& session);

} // namespace tw
