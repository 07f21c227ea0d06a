// Measuring helpers shared by the benchmarks.
#pragma once

#include <chrono>
#include <fstream>
#include <string>

namespace tw::bench {

/// The process's peak resident memory (VmHWM) in kilobytes.
inline long peakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

inline double secondsSince(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

} // namespace tw::bench
