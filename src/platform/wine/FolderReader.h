// Reading a host folder's entries straight from its descriptor, a buffer at a time.
#pragma once

#include "WinePlatformOnly.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::wine {

/// The entries of a host folder ("." and ".." among them), with their d_type, read with
/// getdents64 into a buffer of its own: no stat of the folder as opendir() makes.
class FolderReader
{
public:
    explicit FolderReader(const std::string& path);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    /// False when the folder could not be opened; error() tells why.
    bool isOpen() const { return m_fd >= 0; }
    int error() const { return m_error; }
    int fd() const { return m_fd; }
    /// The next entry; false at the end or on a read error (error() then tells it).
    bool next(std::string_view& name, unsigned char& type);

private:
    int m_fd = -1;
    int m_error = 0;
    size_t m_size = 0;
    size_t m_at = 0;
    alignas(8) char m_buffer[32768];
};

} // namespace tw::wine
