// Which file a path names and in what state, to notice when someone else rewrote it.
#pragma once

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace tw::wine {

struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    bool exists = false;

    bool operator==(const FileIdentity&) const = default;

    static FileIdentity of(const std::string& path)
    {
        FileIdentity id;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            return id;
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.size = st.st_size;
        id.modifiedNs =
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        return id;
    }
};

} // namespace tw::wine
