#include "HostFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace tw::platform {

win::DWORD currentHostProcessId()
{
    return static_cast<win::DWORD>(::getpid());
}

bool hostProcessMayRun(win::DWORD processId)
{
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

std::FILE* createNewHostFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    if (std::FILE* file = ::fdopen(fd, "wb"))
        return file;
    const int error = errno;
    ::close(fd);
    ::unlink(path.c_str());
    errno = error;
    return nullptr;
}

std::tm localCalendarTime(std::time_t time)
{
    std::tm local{};
    ::localtime_r(&time, &local);
    return local;
}

} // namespace tw::platform
