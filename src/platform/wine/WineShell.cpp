#include "WineShell.h"

#include "WineFiles.h"
#include "WinePrefix.h"

#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
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

WineShell::WineShell(WinePrefix& prefix) : m_prefix(prefix) {}

bool WineShell::openUrl(std::string_view url)
{
    return startDetached({"xdg-open", std::string(url)}, "");
}

bool WineShell::execute(std::string_view file, std::string_view directory, bool /*elevate*/)
{
    const std::optional<std::string> host = m_prefix.files().paths().toHost(file);
    if (!host)
        return false;
    std::string hostDirectory;
    if (!directory.empty())
        hostDirectory = m_prefix.files().paths().toHost(directory).value_or("");
    return startDetached({"wine", *host}, hostDirectory,
                         {{"WINEPREFIX", m_prefix.hostPath()}, {"WINEDEBUG", "-all"}});
}

} // namespace tw::wine
