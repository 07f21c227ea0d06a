#include "Files.h"

namespace tw::platform {

std::string driveKindName(char letter, win::UINT driveType)
{
    const std::string suffix = std::string(" (") + letter + ":)";
    switch (driveType) {
    case win::DRIVE_REMOVABLE:
        return "Removable Disk" + suffix;
    case win::DRIVE_REMOTE:
        return "Network Drive" + suffix;
    case win::DRIVE_CDROM:
        return "CD Drive" + suffix;
    case win::DRIVE_RAMDISK:
        return "RAM Disk" + suffix;
    default:
        return "Local Disk" + suffix;
    }
}

} // namespace tw::platform
