#include "RealWinePrefix.h"

#include "TestSupport.h"
#include "platform/wine/WineLoader.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

namespace tw::test {

namespace {

void setWineEnvironment()
{
    ::setenv("WINEDEBUG", "-all", 1);
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
}

std::string sanitized(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-')
            out.push_back(c);
        else if (!out.empty() && out.back() != '_')
            out.push_back('_');
    }
    return out;
}

/// The booted prefix, shared by the test programs of this user and Wine version (booting
/// takes half a minute): made in a temporary folder and renamed into place when complete.
struct BootedPrefix
{
    fs::path path;
    std::string error;

    BootedPrefix()
    {
        setWineEnvironment();
        const ProcessResult version = runProcess({"wine", "--version"});
        std::string first = version.out.substr(0, version.out.find('\n'));
        path = fs::temp_directory_path() /
               ("tidewell-test-wineprefix-" + std::to_string(::getuid()) + "-" + sanitized(first) +
                "-menubuilder" + (wineRuns32Bit() ? "-wine32" : ""));
        if (fs::exists(path / "system.reg"))
            return;
        TempDir boot;
        const fs::path made = boot.path() / "prefix";
        // Booted as users boot theirs: winemenubuilder on. What it writes for the desktop goes
        // to a home of the boot's own.
        const fs::path home = boot.path() / "home";
        fs::create_directories(home);
        const std::map<std::string, std::string> env = wineEnvironment(made, home);
        const ProcessResult booted = runProcess({"wineboot", "-i"}, env);
        runProcess({"wineserver", "-w"}, env);
        if (booted.exitCode != 0 || !fs::exists(made / "system.reg")) {
            error = "wineboot failed (" + std::to_string(booted.exitCode) + "): " + booted.err;
            return;
        }
        std::error_code ec;
        fs::rename(made, path, ec);
        if (ec && !fs::exists(path / "system.reg"))
            error = "cannot keep the booted prefix at " + path.string() + ": " + ec.message();
    }
};

} // namespace

std::string wineLoader64()
{
    return wine::wineLoader(wine::Machine::X64);
}

bool wineRuns32Bit()
{
    // Debian's 32-bit loader, from wine32.
    return ::access("/usr/lib/wine/wine", X_OK) == 0;
}

bool wineInstalled()
{
    return runProcess({"sh", "-c", "command -v wine"}).exitCode == 0;
}

std::map<std::string, std::string> wineEnvironment(const fs::path& prefix, const fs::path& home)
{
    return {{"WINEPREFIX", prefix.string()},
            {"WINEDLLOVERRIDES", "mscoree,mshtml="},
            {"HOME", home.string()},
            {"XDG_DATA_HOME", (home / ".local/share").string()},
            {"XDG_CONFIG_HOME", (home / ".config").string()}};
}

std::string copyBootedPrefix(const fs::path& dir)
{
    static std::unique_ptr<BootedPrefix> booted;
    if (!booted)
        booted = std::make_unique<BootedPrefix>();
    setWineEnvironment();
    if (!booted->error.empty())
        return booted->error;
    // Linked files (the programs and libraries, which Wine does not change); the files Wine
    // rewrites in place (hives, .ini files) copied.
    const ProcessResult copy = runProcess({"cp", "-al", booted->path.string(), dir.string()});
    if (copy.exitCode != 0)
        return "cannot copy the prefix: " + copy.err;
    for (const fs::path& folder : {dir, dir / "drive_c" / "windows"}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.is_symlink())
                continue;
            const fs::path source = booted->path / fs::relative(entry.path(), dir);
            fs::remove(entry.path());
            fs::copy_file(source, entry.path());
        }
    }
    // Wine linked the user folders to the home of whoever booted the prefix: they lead to
    // the home beside the copy instead, as a boot with that HOME makes them, so that no test
    // reaches a real home through them.
    const fs::path home = dir.parent_path() / "home";
    fs::create_directories(home);
    std::vector<fs::path> links;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "drive_c" / "users")) {
        if (entry.is_symlink() && fs::read_symlink(entry.path()).is_absolute())
            links.push_back(entry.path());
    }
    for (const fs::path& link : links) {
        fs::remove(link);
        fs::create_directory_symlink(home, link);
    }
    return std::string();
}

void stopWine(const fs::path& prefix)
{
    const std::map<std::string, std::string> env{{"WINEPREFIX", prefix.string()}};
    runProcess({"wineserver", "-k"}, env);
    runProcess({"wineserver", "-w"}, env);
}

} // namespace tw::test
