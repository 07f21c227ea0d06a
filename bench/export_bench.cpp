// tidewell-export-bench PREFIX: the whole registry exported as reg export and as a full backup
// writes it, with the time and the memory each takes beyond the loaded registry.
#include "BenchSupport.h"
#include "platform/MemoryPages.h"
#include "platform/wine/WineFiles.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistryEditor.h"
#include "registry/Session.h"
#include "repair/BackupList.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

using tw::bench::peakKilobytes;

int main(int argc, char** argv)
{
    tw::platform::preferLargeMemoryPages();
    if (argc < 2) {
        std::cerr << "usage: tidewell-export-bench PREFIX\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const std::string dir = argv[1];
    const double hiveBytes = tw::bench::hiveBytes(dir);
    auto start = std::chrono::steady_clock::now();
    tw::wine::WinePrefix prefix(dir);
    const double open = tw::bench::secondsSince(start);
    const double loaded = static_cast<double>(peakKilobytes()) * 1024.0;

    const std::string file = dir + "/export-bench.reg";
    start = std::chrono::steady_clock::now();
    prefix.registryEditor().exportToHostFile(file, "", tw::platform::RegFileFormat::Unicode);
    const double exportTime = tw::bench::secondsSince(start);
    const double exported = static_cast<double>(fs::file_size(file));
    fs::remove(file);
    const double afterExport = static_cast<double>(peakKilobytes()) * 1024.0;

    tw::Session session(prefix.platform());
    start = std::chrono::steady_clock::now();
    std::string backup = tw::ExportWholeRegistry(session);
    const double backupTime = tw::bench::secondsSince(start);
    const double afterBackup = static_cast<double>(peakKilobytes()) * 1024.0;
    backup = backup.substr(1, backup.size() - 2);
    if (const auto host = prefix.files().unixFileName(backup))
        fs::remove(*host);

    std::printf("hives:            %.1f MB\n", hiveBytes / 1e6);
    std::printf("open:             %.2f s, peak %.1f MB = %.2f x hives\n", open, loaded / 1e6,
                loaded / hiveBytes);
    std::printf("reg export:       %.2f s, %.1f MB written (%.0f MB/s), peak +%.1f MB = %.2f x "
                "hives beyond the loaded registry\n",
                exportTime, exported / 1e6, exported / 1e6 / exportTime,
                (afterExport - loaded) / 1e6, (afterExport - loaded) / hiveBytes);
    std::printf("full backup:      %.2f s, peak +%.1f MB = %.2f x hives beyond the loaded "
                "registry\n",
                backupTime, (afterBackup - loaded) / 1e6, (afterBackup - loaded) / hiveBytes);
    std::printf("peak memory:      %.1f MB = %.2f x hives\n", afterBackup / 1e6,
                afterBackup / hiveBytes);
    return 0;
}
