#include "WineInstallation.h"

#include "AtomicFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>

#ifndef TIDEWELL_GUI_BUILD_PATH
#define TIDEWELL_GUI_BUILD_PATH "tidewell"
#endif

namespace tw::wine {

namespace fs = std::filesystem;

namespace {

std::string configHome()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/") + "/.config";
}

/// FNV-1a of the text, as 8 hex digits: the same prefix path always gives the same name.
std::string shortHash(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    char out[9];
    std::snprintf(out, sizeof out, "%08x", hash);
    return out;
}

std::string absolutePrefix(const std::string& dir)
{
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(dir), ec);
    return ec ? dir : canonical.string();
}

} // namespace

std::string windowProgramPath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        if (self.filename() == "tidewell")
            return self.string();
        const fs::path sibling = self.parent_path() / "tidewell";
        if (fs::is_regular_file(sibling, ec))
            return sibling.string();
    }
    return TIDEWELL_GUI_BUILD_PATH;
}

std::string desktopExecWord(const std::string& word)
{
    const bool plain =
        !word.empty() && word.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos;
    std::string out;
    if (plain)
        return word;
    // Quoted: ", `, $ and \ take a backslash; then the value's own escaping doubles every
    // backslash, and % is written %%.
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

WineInstallation::WineInstallation(std::string prefixDir, bool refuseWrites)
    : m_prefixDir(absolutePrefix(prefixDir)), m_refuseWrites(refuseWrites)
{
}

std::optional<win::FILETIME> WineInstallation::programFileTime()
{
    struct stat st;
    if (::stat("/proc/self/exe", &st) != 0)
        return std::nullopt;
    return win::TICKS_1601_TO_1970 + static_cast<win::FILETIME>(st.st_mtim.tv_sec) * 10000000ULL +
           static_cast<win::FILETIME>(st.st_mtim.tv_nsec / 100);
}

std::string WineInstallation::desktopFilePath() const
{
    return configHome() + "/autostart/tidewell-" + shortHash(m_prefixDir) + ".desktop";
}

bool WineInstallation::autostartEnabled()
{
    std::ifstream file(desktopFilePath());
    if (!file)
        return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

void WineInstallation::setAutostart(bool enabled)
{
    if (m_refuseWrites)
        throw std::runtime_error("The autostart entry is not changed in a preview");
    const std::string path = desktopFilePath();
    if (!enabled) {
        std::error_code ec;
        if (!fs::remove(path, ec) && ec)
            throw std::runtime_error("Cannot remove " + path + ": " + ec.message());
        return;
    }
    std::ostringstream text;
    text << "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Tidewell\n"
            "Comment=Registry cleaner and system tools for the Wine prefix "
         << m_prefixDir
         << "\n"
            "Exec="
         << desktopExecWord(windowProgramPath()) << " --prefix " << desktopExecWord(m_prefixDir)
         << "\n"
            "Icon=tidewell\n"
            "Terminal=false\n"
            "X-Tidewell-Prefix="
         << m_prefixDir << "\n";
    try {
        fs::create_directories(folderOf(path));
        writeFileAtomically(path, text.str());
    } catch (const std::exception& e) {
        throw std::runtime_error("Cannot write " + path + ": " + e.what());
    }
}

} // namespace tw::wine
