#include "HeldFolder.h"

#include "WinePaths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tw::wine {

namespace {

/// Links met on one walk before it gives up (ELOOP), as the kernel does.
constexpr int kMaxLinks = 40;

/// The names of a path below `root`, in order; empty names are left out.
std::vector<std::string> namesBelow(const std::string& path, const std::string& root)
{
    std::vector<std::string> names;
    size_t start = root == "/" ? 1 : root.size() + 1;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

int openRoot(const std::string& root)
{
    return ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

std::optional<HeldFolder> HeldFolder::open(const std::string& hostPath,
                                           const std::string& driveRoot, Failure& failure)
{
    failure = {};
    if (hostPath == driveRoot || !WinePathMapper::isInside(hostPath, driveRoot)) {
        failure = {EXDEV, true};
        return std::nullopt;
    }
    std::vector<std::string> names = namesBelow(hostPath, driveRoot);
    if (names.empty() || names.back() == "." || names.back() == ".." ||
        hostPath.find('\0') != std::string::npos) {
        failure = {EINVAL, false};
        return std::nullopt;
    }
    std::string name = std::move(names.back());
    names.pop_back();

    int fd = openRoot(driveRoot);
    if (fd < 0) {
        failure = {errno, false};
        return std::nullopt;
    }
    std::string at = driveRoot;
    int links = 0;
    size_t i = 0;
    while (i < names.size()) {
        const std::string& part = names[i];
        if (part == "." || part == "..") {
            ::close(fd);
            failure = {EINVAL, false};
            return std::nullopt;
        }
        const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next >= 0) {
            ::close(fd);
            fd = next;
            at = (at == "/" ? std::string() : at) + "/" + part;
            ++i;
            continue;
        }
        const int error = errno;
        struct stat st;
        if (::fstatat(fd, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
            ::close(fd);
            failure = {error, false};
            return std::nullopt;
        }
        ::close(fd);
        // A link: it counts only when where it leads lies inside the drive, and that place is
        // then reached by names from the root, never by the kernel following the link.
        const std::optional<std::string> target =
            ++links > kMaxLinks ? std::nullopt
                                : resolvedPath((at == "/" ? std::string() : at) + "/" + part);
        if (!target || !WinePathMapper::isInside(*target, driveRoot)) {
            failure = target || links <= kMaxLinks ? Failure{EXDEV, true} : Failure{ELOOP, false};
            return std::nullopt;
        }
        std::vector<std::string> rest = namesBelow(*target, driveRoot);
        rest.insert(rest.end(), names.begin() + static_cast<std::ptrdiff_t>(i) + 1, names.end());
        names = std::move(rest);
        i = 0;
        at = driveRoot;
        fd = openRoot(driveRoot);
        if (fd < 0) {
            failure = {errno, false};
            return std::nullopt;
        }
    }
    return HeldFolder(fd, std::move(name));
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : m_fd(other.m_fd), m_name(std::move(other.m_name))
{
    other.m_fd = -1;
}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_name = std::move(other.m_name);
        other.m_fd = -1;
    }
    return *this;
}

HeldFolder::~HeldFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string HeldFolder::pinnedPath() const
{
    return "/proc/self/fd/" + std::to_string(m_fd) + "/" + m_name;
}

std::string HeldFolder::currentPath() const
{
    const std::optional<std::string> folder = resolvedPath("/proc/self/fd/" + std::to_string(m_fd));
    if (!folder)
        return std::string();
    return (*folder == "/" ? std::string() : *folder) + "/" + m_name;
}

} // namespace tw::wine
