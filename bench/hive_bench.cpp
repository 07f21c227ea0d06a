// tidewell-hive-bench DIR: hive load and save throughput and peak memory on a prefix, against
// counting the lines of the same hives (wc -l) in the same run.
#include "BenchSupport.h"
#include "platform/MemoryPages.h"
#include "platform/wine/WinePrefix.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

using tw::bench::peakKilobytes;

int main(int argc, char** argv)
{
    tw::platform::preferLargeMemoryPages();
    if (argc < 2) {
        std::cerr << "usage: tidewell-hive-bench PREFIX\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const std::string dir = argv[1];
    std::uintmax_t bytes = 0;
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"})
        bytes += fs::exists(dir + "/" + hive) ? fs::file_size(dir + "/" + hive) : 0;
    const double megabytes = static_cast<double>(bytes) / 1e6;
    const long baseline = peakKilobytes();

    // The floor: reading the same files once, as wc -l does (the page cache warm for both).
    std::string command = "wc -l";
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
        if (fs::exists(dir + "/" + hive))
            command += " '" + dir + "/" + hive + "'";
    }
    command += " > /dev/null";
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::cerr << "wc -l failed\n";
        return 1;
    }
    const double floorTime = tw::bench::secondsSince(start);

    start = std::chrono::steady_clock::now();
    const double cpuStart = tw::bench::cpuSeconds();
    tw::wine::WinePrefix prefix(dir);
    const double load = tw::bench::secondsSince(start);
    const double loadCpu = tw::bench::cpuSeconds() - cpuStart;
    const long afterLoad = peakKilobytes();

    std::uint64_t serialized = 0;
    start = std::chrono::steady_clock::now();
    for (const auto& hive : prefix.hives())
        tw::wine::writeHive(*hive->base(), hive->header().prologue,
                            [&](std::string_view piece) { serialized += piece.size(); });
    const double format = tw::bench::secondsSince(start);

    for (const auto& hive : prefix.hives())
        hive->setDirty(true);
    start = std::chrono::steady_clock::now();
    prefix.save();
    const double save = tw::bench::secondsSince(start);
    const long peak = peakKilobytes();

    std::printf("hives:            %.1f MB in %zu files\n", megabytes, prefix.hives().size());
    std::printf("wc -l (floor):    %.2f s  %.0f MB/s\n", floorTime, megabytes / floorTime);
    std::printf("load:             %.2f s  %.0f MB/s = %.2f x wc -l  (cpu %.2f s, %.0f MB/s)\n",
                load, megabytes / load, load / floorTime, loadCpu, megabytes / loadCpu);
    std::printf("save (format):    %.2f s  %.0f MB/s\n", format,
                static_cast<double>(serialized) / 1e6 / format);
    std::printf("save (to disk):   %.2f s  %.0f MB/s  (atomic, with fsync)\n", save,
                megabytes / save);
    std::printf("memory after load: %.1f MB (%.2f x hive size)\n",
                static_cast<double>(afterLoad - baseline) / 1024.0,
                static_cast<double>(afterLoad - baseline) * 1024.0 / static_cast<double>(bytes));
    std::printf("peak memory:       %.1f MB (%.2f x hive size)\n",
                static_cast<double>(peak) / 1024.0,
                static_cast<double>(peak) * 1024.0 / static_cast<double>(bytes));
    return 0;
}
