// Writes a synthetic Wine prefix of a chosen number of registry keys, for benchmarks.
#pragma once

#include <cstdint>
#include <string>

namespace tw::bench {

struct SyntheticPrefixStats
{
    std::uint64_t keys = 0;
    std::uint64_t values = 0;
    std::uint64_t files = 0;
    std::uint64_t hiveBytes = 0;
};

/// Lays out `dir` as a prefix whose hives hold about `keyCount` keys: COM classes, file
/// extensions and their programs, application paths, uninstall entries, shared DLL
/// counters, services and per-user program settings, at realistic depths and with a mix
/// of value types. About one in three referenced files exists under drive_c.
SyntheticPrefixStats writeSyntheticPrefix(const std::string& dir, std::uint64_t keyCount,
                                          std::uint32_t seed = 1);

} // namespace tw::bench
