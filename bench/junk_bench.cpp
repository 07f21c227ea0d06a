// tidewell-junk-bench DIR [FILES]: writes a prefix whose drive C holds FILES files (200,000
// by default) in a tenth as many folders, then times the junk scan of drive C against
// find(1) with the 47 built-in patterns on the same tree, and checks both found the same.
#include "BenchSupport.h"
#include "cleaner/JunkFileTypes.h"
#include "cleaner/JunkScan.h"
#include "platform/MemoryPages.h"
#include "platform/wine/WineFiles.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// Ordinary names, and junk names of the built-in types (some only differ in case).
const char* const kOrdinary[] = {"track.ogg", "cover.png",   "data.bin",  "Thumbs.db",
                                 "setup.exe", "library.dll", "notes.txt", "FILE.TMP",
                                 "page.htm",  "config.ini",  "a.tmp.txt", "README"};
const char* const kJunk[] = {"x.tmp",      "~$doc.docx", "thumbs.db",    "old.bak",
                             "setup.log",  "crash.dmp",  "file0001._dd", "twain001.mtx",
                             "chklist.ms", "b.do~",      "c.~1",         "readme.txt"};

void writeHive(const fs::path& path, const std::string& relativeTo)
{
    std::ofstream(path) << "WINE REGISTRY Version 2\n;; All keys relative to " << relativeTo
                        << "\n\n#arch=win64\n";
}

void touch(const fs::path& path)
{
    std::ofstream(path).put('x');
}

/// 20 top folders of 10 folders, each of those with folders of 10 files; one name in ten
/// is junk, and some ordinary names differ from junk ones only in case.
void writeTree(const fs::path& prefix, long files)
{
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    writeHive(prefix / "system.reg", "REGISTRY\\\\Machine");
    writeHive(prefix / "user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000");
    const fs::path root = prefix / "drive_c" / "data";
    const long leaves = std::max(1L, files / 10 - 200);
    long made = 0;
    long n = 0;
    for (int a = 0; a < 20; ++a) {
        for (int b = 0; b < 10; ++b) {
            const fs::path middle =
                root / ("set" + std::to_string(a)) / ("part" + std::to_string(b));
            fs::create_directories(middle);
            const long below = leaves / 200 + (a * 10 + b < leaves % 200 ? 1 : 0);
            for (long c = 0; c <= below; ++c) {
                const fs::path folder = c == 0 ? middle : middle / ("dir" + std::to_string(c));
                if (c)
                    fs::create_directory(folder);
                for (int f = 0; f < 10 && made < files; ++f, ++made, ++n) {
                    // One junk name a folder, the rest numbered ordinary names.
                    touch(folder / (f == 3 ? std::string(kJunk[(n / 10) % 12])
                                           : std::to_string(f) + "_" + kOrdinary[n % 12]));
                }
            }
        }
    }
}

std::vector<std::string> findPatterns()
{
    tw::FileTypeList types;
    tw::BuildDefaultFileTypes(types);
    std::vector<std::string> patterns;
    for (const tw::TJunkFileType& type : types)
        patterns.push_back(type.Pattern);
    return patterns;
}

/// find ROOT ( -name P1 -o -name P2 ... ) -print; its lines.
std::vector<std::string> runFind(const std::string& root)
{
    std::vector<std::string> argv = {"find", root, "("};
    bool first = true;
    for (const std::string& pattern : findPatterns()) {
        if (!first)
            argv.push_back("-o");
        argv.insert(argv.end(), {"-name", pattern});
        first = false;
    }
    argv.insert(argv.end(), {")", "-print"});
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::execvp("find", args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(out.substr(at, end - at));
    return lines;
}

class Collect : public tw::JunkScanView
{
public:
    void clearFound() override { rows.clear(); }
    void addFound(const tw::FoundJunkRow& row) override { rows.push_back(row.path); }
    std::vector<std::string> rows;
};

} // namespace

int main(int argc, char** argv)
{
    tw::platform::preferLargeMemoryPages();
    if (argc < 2) {
        std::cerr << "usage: tidewell-junk-bench DIR [FILES]\n";
        return 2;
    }
    const fs::path prefixDir = argv[1];
    const long files = argc > 2 ? std::stol(argv[2]) : 200000;
    auto start = std::chrono::steady_clock::now();
    writeTree(prefixDir, files);
    long folders = 0;
    long entries = 0;
    for (const auto& entry : fs::recursive_directory_iterator(prefixDir / "drive_c")) {
        ++entries;
        folders += entry.is_directory() ? 1 : 0;
    }
    std::printf("tree:          %ld files in %ld folders (written in %.1f s)\n", entries - folders,
                folders, tw::bench::secondsSince(start));

    tw::wine::WinePrefix prefix(prefixDir.string());
    tw::Session session(prefix.platform());
    const std::string driveC = fs::canonical(prefixDir / "drive_c").string();

    // Best of three each, the two taking turns on a warm cache.
    double ours = 1e9;
    double theirs = 1e9;
    Collect view;
    std::vector<std::string> found;
    runFind(driveC);
    for (int round = 0; round < 3; ++round) {
        start = std::chrono::steady_clock::now();
        tw::JunkScan scan(session, view);
        scan.BeginScan();
        scan.ScanSelectedDrives({"C:"});
        ours = std::min(ours, tw::bench::secondsSince(start));
        start = std::chrono::steady_clock::now();
        found = runFind(driveC);
        theirs = std::min(theirs, tw::bench::secondsSince(start));
    }

    std::set<std::string> ourSet;
    for (const std::string& path : view.rows)
        ourSet.insert(prefix.files().paths().toHost(path).value_or(path));
    const std::set<std::string> findSet(found.begin(), found.end());
    std::printf("junk scan:     %.3f s, %zu found\n", ours, view.rows.size());
    std::printf("find:          %.3f s, %zu found\n", theirs, found.size());
    std::printf("ratio:         %.2f (scan / find)\n", ours / theirs);
    std::printf("peak memory:   %.1f MB\n",
                static_cast<double>(tw::bench::peakKilobytes()) / 1024.0);
    if (ourSet != findSet) {
        std::printf("the two found different entries\n");
        return 1;
    }
    return 0;
}
