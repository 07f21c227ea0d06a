#include "WineServer.h"

#include "WineProcesses.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
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

/// The temporary folders Wine may have used: $TMPDIR (when set and absolute) and /tmp.
std::vector<std::string> tempRoots()
{
    std::vector<std::string> roots;
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') {
        std::string root = tmp;
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
        if (root != "/tmp")
            roots.push_back(root);
    }
    roots.push_back("/tmp");
    return roots;
}

std::string readLink(const std::string& path)
{
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size())
        return {};
    target.resize(static_cast<size_t>(n));
    return target;
}

/// The folders a process holds open, by device and inode.
std::vector<std::pair<dev_t, ino_t>> heldFolders(const std::string& procDir)
{
    std::vector<std::pair<dev_t, ino_t>> folders;
    DIR* fds = ::opendir((procDir + "/fd").c_str());
    if (!fds)
        return folders;
    while (const dirent* entry = ::readdir(fds)) {
        struct stat st;
        if (entry->d_name[0] != '.' &&
            ::stat((procDir + "/fd/" + entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            folders.emplace_back(st.st_dev, st.st_ino);
    }
    ::closedir(fds);
    return folders;
}

/// "server-<dev>-<inode>" of a prefix folder, as Wine names its server folder.
std::string serverNameOf(const struct stat& prefix)
{
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx",
                  static_cast<unsigned long long>(prefix.st_dev),
                  static_cast<unsigned long long>(prefix.st_ino));
    return name;
}

/// The server folder of a prefix found without looking at processes: under .wine-<uid> or
/// the folder its "wineserver" file names, in $TMPDIR or /tmp.
std::optional<std::string> serverInTempFolders(const std::string& prefixDir,
                                               const std::string& serverName)
{
    std::vector<std::string> tmpDirs;
    std::ifstream recorded(prefixDir + "/wineserver");
    std::string name;
    const bool named = recorded && std::getline(recorded, name) && !name.empty() &&
                       name.find('/') == std::string::npos && name != "." && name != "..";
    for (const std::string& root : tempRoots()) {
        if (named)
            tmpDirs.push_back(root + "/" + name);
        tmpDirs.push_back(root + "/.wine-" + std::to_string(::getuid()));
    }
    for (const std::string& dir : tmpDirs) {
        const std::string serverDir = dir + "/" + serverName;
        if (isServing(serverDir))
            return serverDir;
    }
    return std::nullopt;
}

} // namespace

struct WineserverProcesses::Server
{
    /// The working folder: the server folder.
    std::string folder;
    std::vector<std::pair<dev_t, ino_t>> heldFolders;
};

WineserverProcesses::WineserverProcesses() = default;

const std::vector<WineserverProcesses::Server>& WineserverProcesses::servers() const
{
    if (m_servers)
        return *m_servers;
    m_servers.emplace();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return *m_servers;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string procDir = "/proc/" + pid;
        // The process may end while it is looked at: read without a stream.
        if (readProcFile(procDir + "/comm").rfind("wineserver", 0) != 0)
            continue;
        std::string cwd = readLink(procDir + "/cwd");
        if (cwd.empty())
            continue; // another user's process, or it just ended
        const std::string deleted = " (deleted)";
        const bool folderGone =
            cwd.size() > deleted.size() &&
            cwd.compare(cwd.size() - deleted.size(), deleted.size(), deleted) == 0;
        if (folderGone)
            cwd.resize(cwd.size() - deleted.size());
        // A server on its way out has let go of its lock (`wineserver -w` returns then): it
        // serves no more. One whose folder was removed under it still holds the registry.
        if (!folderGone && !isServing(procDir + "/cwd"))
            continue;
        m_servers->push_back({cwd, heldFolders(procDir)});
    }
    ::closedir(proc);
    return *m_servers;
}

WineserverProcesses::~WineserverProcesses() = default;

std::optional<std::string> WineserverProcesses::serving(const std::string& prefixDir) const
{
    struct stat st;
    if (::stat(prefixDir.c_str(), &st) != 0)
        return std::nullopt;
    const std::string serverName = serverNameOf(st);
    if (auto serverDir = serverInTempFolders(prefixDir, serverName))
        return serverDir;
    // The processes are looked at only when the server folders say nothing.
    for (const Server& server : servers()) {
        const std::string& cwd = server.folder;
        const bool named =
            cwd.size() > serverName.size() && cwd.compare(cwd.size() - serverName.size() - 1,
                                                          std::string::npos, "/" + serverName) == 0;
        const bool holds =
            std::find(server.heldFolders.begin(), server.heldFolders.end(),
                      std::make_pair(st.st_dev, st.st_ino)) != server.heldFolders.end();
        if (named || holds)
            return cwd;
    }
    return std::nullopt;
}

std::string wineRunningMessage(const std::string& prefixDir)
{
    // Debian's Wine looks for its server under $TMPDIR: `wineserver -k` needs the same one.
    std::string tmpDir;
    if (const auto serverDir = runningWineserver(prefixDir)) {
        const std::string parent = serverDir->substr(0, serverDir->rfind('/'));
        const std::string root = parent.substr(0, parent.rfind('/'));
        if (!root.empty() && root != "/tmp" && parent.find("/wine-", root.size()) == root.size())
            tmpDir = "TMPDIR=" + quoteForShell(root) + " ";
    }
    return "Wine is running in the prefix " + prefixDir +
           " (its wineserver keeps the registry and would overwrite any change), so it is "
           "open read-only. Close the Windows programs or stop Wine with: " +
           tmpDir + "WINEPREFIX=" + quoteForShell(prefixDir) + " wineserver -k";
}

std::optional<std::string> runningWineserver(const std::string& prefixDir)
{
    return WineserverProcesses().serving(prefixDir);
}

} // namespace tw::wine
