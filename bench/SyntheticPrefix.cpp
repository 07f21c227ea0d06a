#include "SyntheticPrefix.h"

#include "platform/TextCodec.h"
#include "platform/wine/AtomicFile.h"
#include "platform/wine/HiveFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace tw::bench {

namespace fs = std::filesystem;
using namespace tw::win;
using wine::HiveKey;

namespace {

constexpr FILETIME kTime = 0x1dd8799d9cec3d4ULL;

const char* const kWords[] = {"Acme",    "Contoso",   "Fabrikam",  "Northwind", "Tailspin",
                              "Litware", "Proseware", "Adventure", "Wingtip",   "Humongous",
                              "Lucerne", "Margie",    "Coho",      "Fourth",    "Blue",
                              "Trey",    "Graphic",   "Alpine",    "Wide",      "City"};
const char* const kExtensions[] = {"exe", "dll", "ocx", "txt", "doc", "png", "mp3", "zip"};

class Generator
{
public:
    Generator(const std::string& dir, std::uint32_t seed) : m_dir(dir), m_random(seed) {}

    HiveKey* path(HiveKey* base, std::initializer_list<std::string> parts)
    {
        HiveKey* key = base;
        for (const std::string& part : parts) {
            bool created = false;
            key = key->addSubkey(platform::utf8ToUtf16(part), &created);
            if (created) {
                key->setModified(kTime + m_stats.keys);
                ++m_stats.keys;
            }
        }
        return key;
    }

    void text(HiveKey* key, const std::string& name, const std::string& value, DWORD type = REG_SZ)
    {
        key->setValue(platform::utf8ToUtf16(name), type,
                      platform::utf16ToBytes(platform::utf8ToUtf16(value) + u'\0'));
        ++m_stats.values;
    }
    void number(HiveKey* key, const std::string& name, DWORD value)
    {
        key->setValue(platform::utf8ToUtf16(name), REG_DWORD,
                      std::string(reinterpret_cast<const char*>(&value), 4));
        ++m_stats.values;
    }
    void bytes(HiveKey* key, const std::string& name, size_t size)
    {
        std::string data(size, '\0');
        for (char& c : data)
            c = static_cast<char>(m_random() & 0xFF);
        key->setValue(platform::utf8ToUtf16(name), REG_BINARY, std::move(data));
        ++m_stats.values;
    }

    std::string guid()
    {
        char buf[48];
        std::snprintf(
            buf, sizeof buf, "{%08X-%04X-%04X-%04X-%04X%08X}", static_cast<unsigned>(m_random()),
            static_cast<unsigned>(m_random() & 0xFFFF), static_cast<unsigned>(m_random() & 0xFFFF),
            static_cast<unsigned>(m_random() & 0xFFFF), static_cast<unsigned>(m_random() & 0xFFFF),
            static_cast<unsigned>(m_random()));
        return buf;
    }
    std::string word() { return kWords[m_random() % std::size(kWords)]; }

    /// A program file path; one in three is created under drive_c.
    std::string file(const std::string& vendor, const std::string& name)
    {
        const std::string folder = "Program Files/" + vendor;
        const std::string windows = "C:\\Program Files\\" + vendor + "\\" + name;
        if (m_random() % 3 == 0) {
            const fs::path host = fs::path(m_dir) / "drive_c" / folder / name;
            fs::create_directories(host.parent_path());
            std::ofstream(host).put('x');
            ++m_stats.files;
        }
        return windows;
    }

    std::mt19937& random() { return m_random; }
    SyntheticPrefixStats& stats() { return m_stats; }

private:
    std::string m_dir;
    std::mt19937 m_random;
    SyntheticPrefixStats m_stats;
};

void writeHiveFile(const std::string& path, const HiveKey& base, const std::string& relativeTo)
{
    wine::writeFileAtomically(path, [&](const std::function<void(std::string_view)>& sink) {
        wine::writeHive(base, wine::standardPrologue(platform::utf8ToUtf16(relativeTo), "win64"),
                        sink);
    });
}

} // namespace

SyntheticPrefixStats writeSyntheticPrefix(const std::string& dir, std::uint64_t keyCount,
                                          std::uint32_t seed)
{
    fs::create_directories(fs::path(dir) / "drive_c" / "windows" / "system32");
    fs::create_directories(fs::path(dir) / "dosdevices");
    std::error_code ec;
    fs::create_directory_symlink("../drive_c", fs::path(dir) / "dosdevices" / "c:", ec);

    Generator g(dir, seed);
    const auto machine = HiveKey::create(u"Machine");
    const auto user = HiveKey::create(u"S-1-5-21-0-0-0-1000");
    HiveKey* classes = g.path(machine.get(), {"Software", "Classes"});
    HiveKey* current =
        g.path(machine.get(), {"Software", "Microsoft", "Windows", "CurrentVersion"});
    HiveKey* services = g.path(machine.get(), {"System", "CurrentControlSet", "Services"});
    g.text(current, "ProgramFilesDir", "C:\\Program Files");
    g.text(current, "CommonFilesDir", "C:\\Program Files\\Common Files");

    for (std::uint64_t i = 0; g.stats().keys < keyCount; ++i) {
        const std::string vendor = g.word() + std::to_string(i % 997);
        const std::string n = std::to_string(i);
        switch (i % 8) {
        case 0:
        case 1: { // a COM class with its server
            const std::string id = g.guid();
            HiveKey* clsid = g.path(classes, {"CLSID", id});
            g.text(clsid, "", vendor + " Object " + n);
            HiveKey* server = g.path(clsid, {"InprocServer32"});
            g.text(server, "", g.file(vendor, "obj" + n + ".dll"));
            g.text(server, "ThreadingModel", "Apartment");
            if (i % 4 == 0)
                g.text(g.path(clsid, {"ProgID"}), "", vendor + ".Object." + n);
            break;
        }
        case 2: { // a file extension and the program that opens it
            const std::string progId = vendor + ".Document." + n;
            g.text(g.path(classes, {"." + vendor.substr(0, 3) + n}), "", progId);
            HiveKey* prog = g.path(classes, {progId});
            g.text(prog, "", vendor + " Document");
            g.text(g.path(prog, {"DefaultIcon"}), "", g.file(vendor, "app" + n + ".exe") + ",0");
            g.text(g.path(prog, {"shell", "open", "command"}), "",
                   "\"" + g.file(vendor, "app" + n + ".exe") + "\" \"%1\"");
            break;
        }
        case 3: { // application path and uninstall entry
            const std::string exe = "tool" + n + ".exe";
            HiveKey* appPath = g.path(current, {"App Paths", exe});
            const std::string target = g.file(vendor, exe);
            g.text(appPath, "", target);
            g.text(appPath, "Path", "C:\\Program Files\\" + vendor);
            HiveKey* uninstall = g.path(current, {"Uninstall", vendor + " Tool " + n});
            g.text(uninstall, "DisplayName", vendor + " Tool " + n);
            g.text(uninstall, "UninstallString",
                   "\"" + g.file(vendor, "uninst" + n + ".exe") + "\"");
            g.text(uninstall, "InstallLocation", "C:\\Program Files\\" + vendor);
            g.number(uninstall, "EstimatedSize", static_cast<DWORD>(g.random()() % 100000));
            break;
        }
        case 4: { // shared DLL counters and a service
            g.number(g.path(current, {"SharedDLLs"}), g.file(vendor, "shared" + n + ".dll"),
                     1 + static_cast<DWORD>(g.random()() % 4));
            HiveKey* service = g.path(services, {vendor + "Svc" + n});
            g.text(service, "ImagePath", "C:\\Program Files\\" + vendor + "\\svc" + n + ".exe",
                   REG_EXPAND_SZ);
            g.number(service, "Start", 3);
            g.number(service, "Type", 16);
            g.path(service, {"Parameters"});
            break;
        }
        default: { // per-user program settings, several levels deep
            HiveKey* settings = g.path(user.get(), {"Software", vendor, "Product" + n, "Settings"});
            g.text(settings, "InstallDir", "C:\\Program Files\\" + vendor);
            g.text(settings, "LastFile", g.file(vendor, "data" + n + ".dat"));
            g.number(settings, "Flags", static_cast<DWORD>(g.random()()));
            if (i % 5 == 0)
                g.bytes(settings, "Window", 44);
            g.path(settings, {"Recent", "Files"});
            break;
        }
        }
    }

    const auto defaultUser = HiveKey::create(u".Default");
    g.text(g.path(defaultUser.get(), {"Control Panel", "Desktop"}), "Wallpaper", "");
    writeHiveFile(dir + "/system.reg", *machine, "REGISTRY\\Machine");
    writeHiveFile(dir + "/user.reg", *user, "REGISTRY\\User\\S-1-5-21-0-0-0-1000");
    writeHiveFile(dir + "/userdef.reg", *defaultUser, "REGISTRY\\User\\.Default");
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"})
        g.stats().hiveBytes += fs::file_size(fs::path(dir) / hive);
    return g.stats();
}

} // namespace tw::bench
