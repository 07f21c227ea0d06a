// Which file a path names and in what state, to notice when someone else rewrote it.
#pragma once

#include "WinePlatformOnly.h"

#include <cstdio>
#include <optional>
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

    /// "device:inode:size:modified", as journals and records keep it.
    std::string toText() const
    {
        return std::to_string(device) + ":" + std::to_string(inode) + ":" + std::to_string(size) +
               ":" + std::to_string(modifiedNs);
    }
    static std::optional<FileIdentity> fromText(const std::string& text)
    {
        FileIdentity id;
        unsigned long long dev = 0, ino = 0;
        long long bytes = 0, modified = 0;
        char end = 0;
        if (std::sscanf(text.c_str(), "%llu:%llu:%lld:%lld%c", &dev, &ino, &bytes, &modified,
                        &end) != 4)
            return std::nullopt;
        id.exists = true;
        id.device = static_cast<dev_t>(dev);
        id.inode = static_cast<ino_t>(ino);
        id.size = static_cast<off_t>(bytes);
        id.modifiedNs = modified;
        return id;
    }
};

} // namespace tw::wine
