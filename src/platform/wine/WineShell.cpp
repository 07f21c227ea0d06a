#include "WineShell.h"

#include "DesktopTrash.h"
#include "FolderMove.h"
#include "WineLoader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <liblnk.h>
#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::wine {

bool startDetached(const std::vector<std::string>& argv, const std::string& directory,
                   const std::vector<std::pair<std::string, std::string>>& env)
{
    // The exec result comes back through a pipe closed on exec.
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(status[0]);
        ::close(status[1]);
        return false;
    }
    if (pid == 0) {
        // A grandchild runs the program, so that nobody has to wait for it.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, 0);
        ::dup2(devNull, 1);
        ::dup2(devNull, 2);
        if (!directory.empty() && ::chdir(directory.c_str()) != 0) {
            const char failed = 1;
            (void)!::write(status[1], &failed, 1);
            ::_exit(127);
        }
        for (const auto& [name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        const char failed = 1;
        (void)!::write(status[1], &failed, 1);
        ::_exit(127);
    }
    ::close(status[1]);
    int childStatus = 0;
    ::waitpid(pid, &childStatus, 0);
    char failed = 0;
    const ssize_t n = ::read(status[0], &failed, 1);
    ::close(status[0]);
    return WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0 && n == 0;
}

WineShell::WineShell(const WinePathMapper& paths) : m_paths(paths) {}

bool WineShell::openUrl(std::string_view url)
{
    return startDetached({"xdg-open", std::string(url)}, "");
}

bool WineShell::openFolder(std::string_view folder)
{
    const std::optional<std::string> host = m_paths.toHost(folder);
    struct stat st;
    if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return startDetached({"xdg-open", *host}, "");
}

bool WineShell::execute(std::string_view file, std::string_view directory, bool /*elevate*/)
{
    const std::optional<std::string> host = m_paths.toHost(file);
    if (!host)
        return false;
    std::string hostDirectory;
    if (!directory.empty())
        hostDirectory = m_paths.toHost(directory).value_or("");
    return startDetached({wineLoaderFor(*host), *host}, hostDirectory,
                         {{"WINEPREFIX", m_paths.prefixDir()}, {"WINEDEBUG", "-all"}});
}

} // namespace tw::wine

namespace tw::wine {

std::string WineShell::shortcutTarget(std::string_view shortcut)
{
    const std::optional<std::string> host = m_paths.toHost(shortcut);
    if (!host)
        return std::string();
    liblnk_file_t* file = nullptr;
    if (liblnk_file_initialize(&file, nullptr) != 1)
        return std::string();
    std::unique_ptr<liblnk_file_t*, void (*)(liblnk_file_t**)> owner(
        &file, [](liblnk_file_t** f) { liblnk_file_free(f, nullptr); });
    if (liblnk_file_open(file, host->c_str(), LIBLNK_OPEN_READ, nullptr) != 1)
        return std::string();
    std::string target;
    size_t size = 0;
    if (liblnk_file_get_utf8_local_path_size(file, &size, nullptr) == 1 && size > 1) {
        std::string buffer(size, '\0');
        if (liblnk_file_get_utf8_local_path(file, reinterpret_cast<uint8_t*>(buffer.data()), size,
                                            nullptr) == 1)
            target = buffer.substr(0, buffer.find('\0'));
    }
    liblnk_file_close(file, nullptr);
    // The shell hands out at most MAX_PATH characters.
    if (target.size() > 259)
        target.resize(259);
    return target;
}

} // namespace tw::wine

namespace tw::wine {

bool WineShell::noteFailure(bool ok)
{
    if (ok)
        return true;
    // Some refusals (a move into the folder the file is in) come with no error number.
    const int error = errno;
    if (error == 0)
        m_lastError.clear();
    else if (error == ENAMETOOLONG)
        m_lastError = "The name is too long for the desktop's trash: the trash keeps it with "
                      "\".trashinfo\" added, past the 255 bytes a file name may have";
    else
        m_lastError = std::strerror(error);
    return false;
}

bool WineShell::noteFailure(const HeldFolder::Failure& failure)
{
    if (failure.leavesDrive) {
        m_lastError = "A folder on the way is a link that leads out of its drive";
        return false;
    }
    errno = failure.error;
    return noteFailure(false);
}

bool WineShell::recycle(std::string_view path)
{
    m_lastError.clear();
    if (m_writesRefused) {
        errno = EROFS;
        return noteFailure(false);
    }
    HeldFolder::Failure failure;
    const std::optional<HeldFolder> held = m_paths.holdFolderOf(path, failure);
    if (!held)
        return noteFailure(failure);
    errno = 0;
    return noteFailure(moveToDesktopTrash(held->fd(), held->name()));
}

bool WineShell::moveToFolder(std::string_view path, std::string_view folder)
{
    m_lastError.clear();
    if (m_writesRefused) {
        errno = EROFS;
        return noteFailure(false);
    }
    HeldFolder::Failure failure;
    const std::optional<HeldFolder> held = m_paths.holdFolderOf(path, failure);
    if (!held)
        return noteFailure(failure);
    const std::optional<std::string> hostFolder = m_paths.toHost(folder);
    if (!hostFolder) {
        errno = ENOENT;
        return noteFailure(false);
    }
    errno = 0;
    // The source is named through its held folder, so a swapped folder cannot redirect it.
    return noteFailure(moveIntoFolder(held->pinnedPath(), *hostFolder));
}

std::vector<std::string> WineShell::recycleBinFolders()
{
    std::vector<std::string> roots;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        if (std::optional<std::string> root = m_paths.driveRoot(letter))
            roots.push_back(std::move(*root));
    }
    std::vector<std::string> folders;
    for (const std::string& trash : trashFoldersWithin(roots)) {
        if (std::optional<std::string> path = m_paths.toWindows(trash))
            folders.push_back(std::move(*path));
    }
    return folders;
}

platform::RecycleBinEmptied WineShell::emptyRecycleBin()
{
    platform::RecycleBinEmptied outcome;
    if (m_writesRefused)
        return outcome;
    for (const TrashedItem& item : trashedItemsFrom({m_paths.prefixDir()})) {
        const std::string shown = m_paths.toWindows(item.originalPath).value_or(item.originalPath);
        (removeTrashedItem(item) ? outcome.removed : outcome.failed).push_back(shown);
    }
    return outcome;
}

} // namespace tw::wine
