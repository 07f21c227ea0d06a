// tidewell-scan-bench PREFIX [--one-thread]: a full scan of every built section, its time per
// section against the time of opening the prefix (the floor), and peak memory against the
// hives' size. --one-thread runs every section on the scan's own thread.
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

namespace {

/// Notes when each row starts: the driver moves the progress bar as it starts a row.
class TimingView final : public tw::ScanView
{
public:
    void progressChanged(int) override
    {
        starts.push_back(std::chrono::steady_clock::now());
        cpuStarts.push_back(tw::bench::cpuSeconds());
        residentStarts.push_back(tw::bench::residentKilobytes());
    }
    std::vector<std::chrono::steady_clock::time_point> starts;
    std::vector<double> cpuStarts;
    std::vector<long> residentStarts;
};

} // namespace

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
    TimingView view;
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
    const long residentEnd = tw::bench::residentKilobytes();
    std::printf("  %2s %-33s %8s %9s %9s %9s\n", "", "section", "problems", "time", "cpu",
                "memory");
    for (size_t i = 0; i < grid.rows.size(); ++i) {
        const tw::OutcomeRow& row = grid.rows[i];
        if (row.isTotal) {
            std::printf("  %-36s %8d\n", row.caption.c_str(), row.problems.value_or(0));
            continue;
        }
        const auto from = i < view.starts.size() ? view.starts[i] : end;
        const auto to = i + 1 < view.starts.size() ? view.starts[i + 1] : end;
        const double cpuFrom = i < view.cpuStarts.size() ? view.cpuStarts[i] : cpuEnd;
        const double cpuTo = i + 1 < view.cpuStarts.size() ? view.cpuStarts[i + 1] : cpuEnd;
        const long rssTo =
            i + 1 < view.residentStarts.size() ? view.residentStarts[i + 1] : residentEnd;
        std::printf("  %2d %-33s %8d %7.2f s %7.2f s %6.0f MB\n", row.section, row.caption.c_str(),
                    row.problems.value_or(0), std::chrono::duration<double>(to - from).count(),
                    cpuTo - cpuFrom, static_cast<double>(rssTo) * 1024.0 / 1e6);
    }
    const double peak = static_cast<double>(peakKilobytes()) * 1024.0;
    std::printf("peak memory:   %.1f MB = %.2f x hives\n", peak / 1e6, peak / hiveBytes);
    return 0;
}
