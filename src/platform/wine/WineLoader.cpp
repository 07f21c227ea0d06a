#include "WineLoader.h"

#include "PathKinds.h"
#include "WinePrograms.h"

#include <array>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tw::wine {

namespace {

constexpr std::uint16_t kMachineI386 = 0x014c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

/// Where distributions keep the 64-bit loader when it is not on the PATH.
constexpr std::array kWine64Folders{
    "/usr/lib/wine",
    "/usr/lib/x86_64-linux-gnu/wine",
    "/usr/lib64/wine",
};

bool readAt(int fd, off_t offset, void* buffer, std::size_t size)
{
    return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

std::string findWine64()
{
    if (std::string onPath = findOnPath("wine64"); !onPath.empty())
        return onPath;
    // Beside the real `wine` (a /opt build), then the distributions' own folders.
    if (const std::string wine = findOnPath("wine"); !wine.empty()) {
        std::error_code ec;
        const auto real = std::filesystem::canonical(wine, ec);
        if (!ec) {
            const std::string beside = (real.parent_path() / "wine64").string();
            if (isExecutableFile(beside))
                return beside;
        }
    }
    for (const char* folder : kWine64Folders) {
        const std::string candidate = std::string(folder) + "/wine64";
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::string();
}

} // namespace

Machine peMachine(const std::string& hostFile)
{
    const int fd = ::open(hostFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return Machine::Unknown;
    Machine machine = Machine::Unknown;
    unsigned char dos[2];
    std::uint32_t peOffset = 0;
    unsigned char header[6];
    if (readAt(fd, 0, dos, sizeof dos) && dos[0] == 'M' && dos[1] == 'Z' &&
        readAt(fd, 0x3c, &peOffset, sizeof peOffset) && peOffset < (1u << 24) &&
        readAt(fd, static_cast<off_t>(peOffset), header, sizeof header) && header[0] == 'P' &&
        header[1] == 'E' && header[2] == 0 && header[3] == 0) {
        const std::uint16_t value =
            static_cast<std::uint16_t>(header[4] | (static_cast<unsigned>(header[5]) << 8));
        if (value == kMachineI386)
            machine = Machine::X86;
        else if (value == kMachineAmd64)
            machine = Machine::X64;
    }
    ::close(fd);
    return machine;
}

std::string wineLoader(Machine machine)
{
    if (machine == Machine::X64) {
        if (std::string wine64 = findWine64(); !wine64.empty())
            return wine64;
    }
    return findOnPath("wine");
}

std::string wineLoaderFor(const std::string& hostFile)
{
    return wineLoader(peMachine(hostFile));
}

} // namespace tw::wine
