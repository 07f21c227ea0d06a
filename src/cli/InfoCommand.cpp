#include "InfoCommand.h"

#include "platform/wine/WineFiles.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineSystem.h"

namespace tw::cli {

using namespace tw::win;

namespace {
const char* driveTypeName(UINT type)
{
    switch (type) {
    case DRIVE_REMOVABLE:
        return "removable";
    case DRIVE_FIXED:
        return "fixed";
    case DRIVE_REMOTE:
        return "network";
    case DRIVE_CDROM:
        return "CD-ROM";
    case DRIVE_RAMDISK:
        return "RAM disk";
    default:
        return "unknown";
    }
}
} // namespace

void runInfoCommand(wine::WinePrefix& prefix, const std::string& source, std::ostream& out)
{
    platform::System& system = prefix.system();
    platform::Files& files = prefix.files();
    const platform::OsVersionInfo version = system.versionEx();
    out << "Prefix:          " << prefix.hostPath() << " (" << source << ")\n";
    out << "State:           "
        << (prefix.isReadOnly() ? "read-only: " + prefix.readOnlyReason() : "writable") << "\n";
    out << "Windows version: " << version.majorVersion << "." << version.minorVersion << " build "
        << version.buildNumber << " (platform " << version.platformId << ")\n";
    out << "Windows folder:  " << system.windowsDirectory() << "\n";
    out << "System folder:   " << system.systemDirectory() << "\n";
    out << "Temp folder:     " << system.tempPath() << "\n";
    out << "Drives:\n";
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        const UINT type = files.driveType(root);
        if (type == DRIVE_NO_ROOT_DIR)
            continue;
        out << "  " << files.driveDisplayName(root) << "  " << driveTypeName(type) << "\n";
    }
}

} // namespace tw::cli
