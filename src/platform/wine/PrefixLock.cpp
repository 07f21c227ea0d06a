#include "PrefixLock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tw::wine {

namespace {

constexpr auto kLongestWait = std::chrono::seconds(60);

} // namespace

PrefixLock::PrefixLock(const std::string& prefixDir, Mode mode, Kind kind)
{
    const std::string path =
        prefixDir + (kind == Kind::Save ? "/.tidewell.lock" : "/.tidewell.writer.lock");
    // flock() needs no write access, so a lock file that root made serves every user.
    // Never through a link planted at the name: it could make a file outside the prefix.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0 && errno == ENOENT && mode == Mode::Create) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        struct stat folder;
        if (m_fd >= 0 && ::geteuid() == 0 && ::stat(prefixDir.c_str(), &folder) == 0)
            (void)!::fchown(m_fd, folder.st_uid, folder.st_gid);
        if (m_fd < 0 && errno == EEXIST)
            m_fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (m_fd < 0) {
        // Reading goes on without the lock when it cannot be had; writing does not.
        if (mode == Mode::IfPresent)
            return;
        throw std::system_error(errno, std::generic_category(), "cannot open " + path);
    }
    const auto giveUp = std::chrono::steady_clock::now() + kLongestWait;
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(m_fd);
            m_fd = -1;
            throw std::system_error(error, std::generic_category(), "cannot lock " + path);
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            ::close(m_fd);
            m_fd = -1;
            throw std::runtime_error(
                kind == Kind::Save
                    ? "another program has held " + path +
                          " for a minute (another Tidewell saving this prefix?)"
                    : "another Tidewell has been changing the registry of " + prefixDir +
                          " for a minute (it holds " + path + "); try again when it has ended");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

PrefixLock::~PrefixLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace tw::wine
