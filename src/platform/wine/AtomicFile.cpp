#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tw::wine {

namespace {

[[noreturn]] void throwErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash ? slash : 1);
}

/// The temporary file; removed unless it was renamed into place.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string& target)
    {
        std::string pattern = target + ".tidewell-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_fd < 0)
            throwErrno("cannot create a temporary file beside " + target);
        m_path = name.data();
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed)
            ::unlink(m_path.c_str());
    }
    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    void closeFile()
    {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            throwErrno("cannot write " + m_path);
    }
    void committed() { m_committed = true; }

private:
    int m_fd = -1;
    std::string m_path;
    bool m_committed = false;
};

void writeAll(int fd, std::string_view text, const std::string& path)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno("cannot write " + path);
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

} // namespace

void writeFileAtomically(
    const std::string& path,
    const std::function<void(const std::function<void(std::string_view)>&)>& produce)
{
    TemporaryFile temp(path);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        ::fchmod(temp.fd(), st.st_mode & 07777);
    else
        ::fchmod(temp.fd(), 0644);
    produce([&](std::string_view piece) { writeAll(temp.fd(), piece, path); });
    if (::fsync(temp.fd()) != 0)
        throwErrno("cannot flush " + path);
    temp.closeFile();
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        throwErrno("cannot replace " + path);
    temp.committed();
    const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void writeFileAtomically(const std::string& path, std::string_view text)
{
    writeFileAtomically(path,
                        [&](const std::function<void(std::string_view)>& sink) { sink(text); });
}

} // namespace tw::wine
