// libFuzzer target: host names made into Windows paths and back, and Windows paths held for a
// change. A listed name maps back to exactly the file it came from, and no path, whatever its
// `..`, separators or short names, leads a change out of its drive.
//
// The input is a name and a Windows path below C:, split at the first NUL byte.
#include "platform/wine/HeldFolder.h"
#include "platform/wine/WinePaths.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using tw::wine::HeldFolder;
using tw::wine::WinePathMapper;

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

/// A prefix with a folder full of names, a link out of the drive (as Wine's user folders are)
/// and one inside it; made once per run.
struct Sandbox
{
    Sandbox()
    {
        char pattern[] = "/tmp/tidewell-path-fuzz-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        root = pattern;
        const fs::path prefix = root / "prefix";
        fs::create_directories(prefix / "dosdevices");
        fs::create_directories(prefix / "drive_c/users/me/Temp");
        fs::create_directories(prefix / "drive_c/Program Files/App");
        fs::create_directories(root / "outside");
        std::ofstream(root / "outside/victim.txt") << "victim";
        std::ofstream(prefix / "drive_c/Program Files/App/app.exe") << "app";
        fs::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
        fs::create_directory_symlink(root / "outside", prefix / "drive_c/users/me/Desktop");
        fs::create_directory_symlink("../../Program Files", prefix / "drive_c/users/me/Inside");
        mapper = std::make_unique<WinePathMapper>(prefix.string());
        driveRoot = *mapper->driveRoot('c');
        temp = driveRoot + "/users/me/Temp";
    }
    ~Sandbox() { fs::remove_all(root); }

    fs::path root;
    std::unique_ptr<WinePathMapper> mapper;
    std::string driveRoot;
    std::string temp;
};

Sandbox& sandbox()
{
    static Sandbox box;
    return box;
}

/// A listed name: as a path it names exactly that file, and maps back to the same path.
void checkName(Sandbox& box, const std::string& name)
{
    if (!tw::wine::isWindowsFileName(name) || name.size() > 255)
        return;
    const std::string host = box.temp + "/" + name;
    if (name.find('/') != std::string::npos)
        fail("a listed name holds a slash", name);
    std::ofstream(host) << "x";
    if (!fs::exists(host))
        return;
    const std::string windows = "C:\\users\\me\\Temp\\" + name;
    const std::optional<std::string> mapped = box.mapper->toHost(windows);
    if (!mapped || *mapped != host)
        fail("a listed name maps to another file", windows + " -> " + mapped.value_or("nothing"));
    const std::optional<std::string> back = box.mapper->toWindows(host);
    if (!back || *back != windows)
        fail("a listed name does not map back", host + " -> " + back.value_or("nothing"));
    HeldFolder::Failure failure;
    const std::optional<HeldFolder> held = box.mapper->holdFolderOf(windows, failure);
    if (!held || held->currentPath() != host)
        fail("a listed name is held elsewhere", windows);
    fs::remove(host);
}

/// Any path: a held folder always lies inside the drive.
void checkPath(Sandbox& box, const std::string& tail)
{
    const std::string windows = "C:\\" + tail;
    if (const std::optional<std::string> mapped = box.mapper->toHost(windows)) {
        if (!WinePathMapper::isInside(*mapped, box.driveRoot))
            fail("a path maps out of its drive", windows + " -> " + *mapped);
    }
    HeldFolder::Failure failure;
    const std::optional<HeldFolder> held = box.mapper->holdFolderOf(windows, failure);
    if (!held)
        return;
    const std::string place = held->currentPath();
    if (!WinePathMapper::isInside(place, box.driveRoot) || place == box.driveRoot)
        fail("a change would land out of its drive", windows + " -> " + place);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    Sandbox& box = sandbox();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    checkName(box, input.substr(0, split));
    if (split != std::string::npos)
        checkPath(box, input.substr(split + 1));
    return 0;
}
