#include "FolderReader.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace tw::wine {

FolderReader::FolderReader(const std::string& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (m_fd < 0)
        m_error = errno;
}

FolderReader::~FolderReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderReader::next(std::string_view& name, unsigned char& type)
{
    if (m_fd < 0)
        return false;
    if (m_at >= m_size) {
        ssize_t filled;
        do {
            filled = ::getdents64(m_fd, m_buffer, sizeof m_buffer);
        } while (filled < 0 && errno == EINTR);
        if (filled <= 0) {
            m_error = filled < 0 ? errno : 0;
            return false;
        }
        m_size = static_cast<size_t>(filled);
        m_at = 0;
    }
    const auto* entry = reinterpret_cast<const dirent64*>(m_buffer + m_at);
    m_at += entry->d_reclen;
    name = std::string_view(entry->d_name, std::strlen(entry->d_name));
    type = entry->d_type;
    return true;
}

} // namespace tw::wine
