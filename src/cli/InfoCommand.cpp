#include "Command.h"
#include "app/SessionStart.h"
#include "platform/Files.h"
#include "platform/Storage.h"
#include "platform/System.h"

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

int runInfo(CommandContext& context)
{
    Session& session = context.session;
    std::ostream& out = context.out;
    platform::System& system = session.system();
    platform::Files& files = session.files();
    const platform::OsVersionInfo version = system.versionEx();
    if (context.started.prefixSource() == "system")
        out << "System:          this Windows (" << context.started.prefixPath() << ")\n";
    else
        out << "Prefix:          " << context.started.prefixPath() << " ("
            << context.started.prefixSource() << ")\n";
    const std::string readOnly = session.storage().readOnlyReason();
    out << "State:           " << (readOnly.empty() ? "writable" : "read-only: " + readOnly)
        << "\n";
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
    return 0;
}

} // namespace

std::vector<Command> infoCommands()
{
    return {{"info", "", "the prefix, its Windows version and drives", {}, 0, 0, runInfo}};
}

} // namespace tw::cli
