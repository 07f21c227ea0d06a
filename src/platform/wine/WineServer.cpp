#include "WineServer.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tw::wine {

namespace {

bool isServing(const std::string& serverDir)
{
    struct stat st;
    if (::stat((serverDir + "/socket").c_str(), &st) != 0)
        return false;
    const int fd = ::open((serverDir + "/lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

std::string quoteForShell(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

} // namespace

std::string wineRunningMessage(const std::string& prefixDir)
{
    return "Wine is running in the prefix " + prefixDir +
           " (its wineserver keeps the registry and would overwrite any change), so it is "
           "open read-only. Close the Windows programs or stop Wine with: WINEPREFIX=" +
           quoteForShell(prefixDir) + " wineserver -k";
}

std::optional<std::string> runningWineserver(const std::string& prefixDir)
{
    struct stat st;
    if (::stat(prefixDir.c_str(), &st) != 0)
        return std::nullopt;
    char serverName[64];
    std::snprintf(serverName, sizeof serverName, "server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));

    std::vector<std::string> tmpDirs;
    std::ifstream recorded(prefixDir + "/wineserver");
    std::string name;
    if (recorded && std::getline(recorded, name) && !name.empty() &&
        name.find('/') == std::string::npos && name != "." && name != "..")
        tmpDirs.push_back("/tmp/" + name);
    tmpDirs.push_back("/tmp/.wine-" + std::to_string(::getuid()));

    for (const std::string& dir : tmpDirs) {
        const std::string serverDir = dir + "/" + serverName;
        if (isServing(serverDir))
            return serverDir;
    }
    return std::nullopt;
}

} // namespace tw::wine
