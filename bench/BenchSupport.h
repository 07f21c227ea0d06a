// Measuring helpers shared by the benchmarks.
#pragma once

#include <chrono>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tw::bench {

/// A "Vm..." field of /proc/self/status in kilobytes; 0 when it is not there.
inline long statusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

/// The process's peak resident memory (VmHWM) in kilobytes.
inline long peakKilobytes()
{
    return statusKilobytes("VmHWM");
}

/// The process's current resident memory (VmRSS) in kilobytes.
inline long residentKilobytes()
{
    return statusKilobytes("VmRSS");
}

/// The size in bytes of the hives of a prefix folder.
inline double hiveBytes(const std::string& prefixDir)
{
    double bytes = 0;
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
        std::error_code error;
        const auto size = std::filesystem::file_size(prefixDir + "/" + hive, error);
        bytes += error ? 0.0 : static_cast<double>(size);
    }
    return bytes;
}

/// The processor time the process has used, in seconds.
inline double cpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double secondsSince(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

/// Reads the folder `name` (relative to the open folder `parent`) and every folder below it
/// once, with as few system calls as a walk can make: the least any scan of those folders
/// costs. Returns how many folders were read.
inline long readEveryFolder(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    // getdents64 itself: readdir's fdopendir would add an fstat per folder.
    alignas(dirent64) char buffer[32768];
    long folders = 1;
    for (;;) {
        const ssize_t filled = ::getdents64(fd, buffer, sizeof buffer);
        if (filled <= 0)
            break;
        for (ssize_t at = 0; at < filled;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (entry->d_type == DT_DIR && std::strcmp(entry->d_name, ".") != 0 &&
                std::strcmp(entry->d_name, "..") != 0)
                folders += readEveryFolder(fd, entry->d_name);
        }
    }
    ::close(fd);
    return folders;
}

} // namespace tw::bench
