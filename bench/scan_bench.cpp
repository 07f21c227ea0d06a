// tidewell-scan-bench PREFIX [--one-thread]: a full scan of every built section against the
// time of opening the prefix (the floor), each section's time on the thread that ran it, and
// peak memory against the hives' size; beside them the time of reading every folder of
// drive_c once, which the scan's drive walk cannot undercut. --one-thread runs every section
// on the scan's own thread.
#include "BenchSupport.h"
#include "platform/MemoryPages.h"
#include "platform/wine/WinePrefix.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "registry/Settings.h"
#include "scanner/ScanDriver.h"
#include "scanner/sections/SmallSections.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using tw::bench::peakKilobytes;

int main(int argc, char** argv)
{
    tw::platform::preferLargeMemoryPages();
    if (argc < 2 || (argc > 2 && std::string(argv[2]) != "--one-thread")) {
        std::cerr << "usage: tidewell-scan-bench PREFIX [--one-thread]\n";
        return 2;
    }
    const std::string dir = argv[1];
    const bool oneThread = argc > 2;
    const double hiveBytes = tw::bench::hiveBytes(dir);

    auto start = std::chrono::steady_clock::now();
    double cpuStart = tw::bench::cpuSeconds();
    tw::wine::WinePrefix prefix(dir);
    const double open = tw::bench::secondsSince(start);
    const double openCpu = tw::bench::cpuSeconds() - cpuStart;
    const long openResident = tw::bench::residentKilobytes();

    tw::platform::Platform platform = prefix.platform();
    if (oneThread)
        platform.sideReader = nullptr;
    tw::Session session(platform);
    tw::ReadSettings(session);
    tw::LoadAddonList(session, std::string(TIDEWELL_DATA_DIR) + "/addons/addon-list.txt");
    tw::BuildExcludedDrives(session, session.ExcludedDrives);
    tw::SectionSelection all;
    all.fill(true);
    tw::OutcomeGrid grid;
    tw::ScanView view;
    start = std::chrono::steady_clock::now();
    cpuStart = tw::bench::cpuSeconds();
    const tw::ScanResult result = tw::ScanSections(session, all, grid, view);
    const auto end = std::chrono::steady_clock::now();
    const double cpuEnd = tw::bench::cpuSeconds();
    const double scan = std::chrono::duration<double>(end - start).count();
    const double scanCpu = cpuEnd - cpuStart;

    std::printf("hives:         %.1f MB\n", hiveBytes / 1e6);
    // Processor times too: the machine may be shared while the benchmark runs.
    std::printf("open (floor):  %.2f s  (cpu %.2f s), %.0f MB after\n", open, openCpu,
                static_cast<double>(openResident) * 1024.0 / 1e6);
    std::printf("scan:          %.2f s = %.2f x open  (cpu %.2f s = %.2f x open) (%s)\n", scan,
                scan / open, scanCpu, scanCpu / openCpu, result.message.c_str());
    std::printf("  %2s %-33s %8s %9s  %s\n", "", "section", "problems", "time", "thread");
    for (const tw::OutcomeRow& row : grid.rows) {
        if (row.isTotal) {
            std::printf("  %-36s %8d\n", row.caption.c_str(), row.problems.value_or(0));
            continue;
        }
        std::printf("  %2d %-33s %8d %7.2f s  %s\n", row.section, row.caption.c_str(),
                    row.problems.value_or(0), row.ran.count(), row.ranBeside ? "second" : "scan");
    }
    const double peak = static_cast<double>(peakKilobytes()) * 1024.0;
    start = std::chrono::steady_clock::now();
    const long folders = tw::bench::readEveryFolder(AT_FDCWD, (dir + "/drive_c").c_str());
    const double reading = tw::bench::secondsSince(start);
    std::printf("folders:       %.2f s to read the %ld folders of drive_c once (%.2f x open)\n",
                reading, folders, reading / open);
    std::printf("peak memory:   %.1f MB = %.2f x hives\n", peak / 1e6, peak / hiveBytes);
    return 0;
}
