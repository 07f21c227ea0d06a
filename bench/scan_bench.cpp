// tidewell-scan-bench PREFIX: a full scan of every built section, its time and peak memory.
#include "BenchSupport.h"
#include "platform/wine/WinePrefix.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "registry/Settings.h"
#include "scanner/ScanDriver.h"
#include "scanner/sections/SmallSections.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

using tw::bench::peakKilobytes;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: tidewell-scan-bench PREFIX\n";
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    tw::wine::WinePrefix prefix(argv[1]);
    const double load = tw::bench::secondsSince(start);

    tw::Session session(prefix.platform());
    tw::ReadSettings(session);
    tw::LoadAddonList(session, std::string(TIDEWELL_DATA_DIR) + "/addons/addon-list.txt");
    tw::BuildExcludedDrives(session, session.ExcludedDrives);
    tw::SectionSelection all;
    all.fill(true);
    tw::OutcomeGrid grid;
    tw::ScanView view;
    start = std::chrono::steady_clock::now();
    const tw::ScanResult result = tw::ScanSections(session, all, grid, view);
    const double scan = tw::bench::secondsSince(start);

    std::printf("load:          %.2f s\n", load);
    std::printf("scan:          %.2f s (%s)\n", scan, result.message.c_str());
    for (const tw::OutcomeRow& row : grid.rows) {
        if (row.problems)
            std::printf("  %-36s %8d %s\n", row.caption.c_str(), *row.problems,
                        row.statusText().c_str());
    }
    std::printf("peak memory:   %.1f MB\n", static_cast<double>(peakKilobytes()) / 1024.0);
    return 0;
}
