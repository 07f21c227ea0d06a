#include "JunkDrives.h"

#include "registry/Session.h"

namespace tw {

std::vector<JunkDrive> ListJunkDrives(const Session& session)
{
    constexpr std::uint64_t kMiB = 1048576;
    platform::Files& files = session.files();
    std::vector<JunkDrive> drives;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (files.driveType(root) != win::DRIVE_FIXED)
            continue;
        const std::optional<platform::DiskSpace> space = files.diskFreeSpace(root);
        if (!space || space->freeToCaller / kMiB == 0 || space->total / kMiB == 0)
            continue;
        drives.push_back({std::string(1, letter) + ":", files.driveDisplayName(root),
                          space->freeToCaller / kMiB, space->total / kMiB});
    }
    return drives;
}

} // namespace tw
