#include "AtomicFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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

} // namespace

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash ? slash : 1);
}

bool removeTemporaryFilesOf(const std::string& folder, const std::vector<std::string>& names)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return false;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        for (const std::string& target : names) {
            const std::string prefix = target + ".tidewell-";
            if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) {
                stale.emplace_back(name);
                break;
            }
        }
    }
    for (const std::string& name : stale)
        ::unlink((folder + "/" + name).c_str());
    return !stale.empty();
}

void syncFolder(const std::string& folder)
{
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

TemporaryFile::TemporaryFile(const std::string& target)
{
    std::string pattern = target + ".tidewell-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        throwErrno("cannot create a temporary file beside " + target);
    m_path = name.data();
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) {
        ::fchmod(m_fd, 0644);
        return;
    }
    // The owner first: a change of owner may clear mode bits.
    struct stat mine;
    if (::fstat(m_fd, &mine) == 0 && (mine.st_uid != st.st_uid || mine.st_gid != st.st_gid) &&
        ::fchown(m_fd, st.st_uid, st.st_gid) != 0) {
        const int error = errno;
        ::close(m_fd);
        ::unlink(m_path.c_str());
        m_fd = -1;
        throw std::system_error(error, std::generic_category(),
                                "cannot give the new " + target +
                                    " the owner and group of the old");
    }
    ::fchmod(m_fd, st.st_mode & 07777);
}

TemporaryFile::~TemporaryFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_kept)
        ::unlink(m_path.c_str());
}

void TemporaryFile::write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(m_fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno("cannot write " + m_path);
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

void TemporaryFile::finish()
{
    if (::fsync(m_fd) != 0)
        throwErrno("cannot flush " + m_path);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        throwErrno("cannot write " + m_path);
}

void writeFileAtomically(
    const std::string& path,
    const std::function<void(const std::function<void(std::string_view)>&)>& produce)
{
    TemporaryFile temp(path);
    produce([&](std::string_view piece) { temp.write(piece); });
    temp.finish();
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        throwErrno("cannot replace " + path);
    temp.keep();
    syncFolder(folderOf(path));
}

void writeFileAtomically(const std::string& path, std::string_view text)
{
    writeFileAtomically(path,
                        [&](const std::function<void(std::string_view)>& sink) { sink(text); });
}

} // namespace tw::wine
