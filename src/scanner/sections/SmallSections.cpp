#include "SmallSections.h"

#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/TextCodec.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

#include <fstream>

namespace tw {

namespace {

constexpr const char* kCompatibilityKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
constexpr const char* kFlagsValue = "Compatibility Flags";
constexpr std::int32_t kKillBit = 1024;

/// Keys of HKEY_USERS that Windows keeps empty on purpose.
constexpr const char* kEmptyOnPurpose[] = {"S-1-5-19_Classes", "S-1-5-19\\Software\\Classes",
                                           "S-1-5-20_Classes", "S-1-5-20\\Software\\Classes"};

/// Keys of a user's hive that Wine (and Windows) create empty and fill later: Wine's own
/// settings and the places programs and the system write into.
constexpr const char* kUserKeysKeptEmpty[] = {
    "Software\\Wine\\DllOverrides",
    "Software\\Wine\\AppDefaults",
    // Where winemenubuilder records the menu entries and file associations it made.
    "Software\\Wine\\FileOpenAssociations",
    "Software\\Wine\\MenuFiles",
    // Volatile keys Wine keeps while it runs (never saved in the hive): a program that reads
    // the live registry under Wine sees them empty.
    "Software\\Wine\\Fonts\\Cache",
    "Software\\Wine\\Temporary System Parameters\\Control Panel\\Colors",
    "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop\\WindowMetrics",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl",
    "Software\\Microsoft\\Protected Storage System Provider",
};

bool isKeptInUserHive(std::string_view inHive)
{
    for (const char* kept : kUserKeysKeptEmpty) {
        if (platform::equalNoCase(inHive, kept))
            return true;
    }
    return false;
}

bool isKeptEmpty(const std::string& path)
{
    for (const char* kept : kEmptyOnPurpose) {
        if (path == kept)
            return true;
    }
    const size_t sid = path.find('\\');
    return sid != std::string::npos && isKeptInUserHive(std::string_view(path).substr(sid + 1));
}

} // namespace

bool LoadAddonList(Session& session, const std::string& hostPath)
{
    std::ifstream in(hostPath);
    if (!in)
        return false;
    session.MemoActiveX.clear();
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        session.MemoActiveX.push_back(line);
    }
    return true;
}

void ScanServices(ScanContext& context, TRegistryContents&, std::string_view keyPath,
                  win::HKEY root)
{
    const auto names = sections::subkeyNames(context.session(), root, keyPath);
    if (!names)
        return;
    context.rowStart();
    const std::string prefix = RootKeyName(root) + "\\" + std::string(keyPath) + "\\";
    sections::forEachItem(
        context, *names, sections::kEachItem,
        [&](const std::string& name) { return prefix + name; },
        [](const std::string&) { return sections::Next::Go; });
    context.rowFinish();
}

void ScanEmptyKeys(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root)
{
    sections::KeyWalk walk;
    walk.opened = [&](const std::string& path, const platform::KeyInfo& info) {
        // A set default value, even an empty string, counts as a value.
        if (info.subKeys == 0 && info.values == 0 && !isKeptEmpty(path))
            context.addRecord(contents, RootKeyName(root) + "\\" + path, path, "default", "");
    };
    walk.visit = [&](const std::string&, const std::string& path, win::HKEY) {
        context.status(path);
        // The default profile is left alone (Wine spells it .Default).
        const bool defaultProfile =
            path.find('\\') == std::string::npos && platform::equalNoCase(path, ".DEFAULT");
        return defaultProfile ? sections::Descent::Past : sections::Descent::Into;
    };
    sections::walkKeyTree(context, root, keyPath, walk);
}

bool IsReportedWhenEmpty(win::HKEY root, std::string_view path)
{
    if (path.empty())
        return false;
    if (root == win::HKEY_CURRENT_USER)
        return !isKeptInUserHive(path);
    if (root != win::HKEY_USERS)
        return false;
    // A profile's own key, and anything in the default profile, is never reported.
    const size_t sid = path.find('\\');
    return sid != std::string_view::npos &&
           !platform::equalNoCase(path.substr(0, sid), ".DEFAULT") &&
           !isKeptEmpty(std::string(path));
}

void ScanMalignantActiveX(ScanContext& context, TRegistryContents& contents, std::string_view,
                          win::HKEY)
{
    Session& session = context.session();
    context.rowStart();
    // 32-bit browsers read the flags of the Wow6432Node twin.
    const std::vector<std::string> views =
        keyViews(session, win::HKEY_LOCAL_MACHINE, kCompatibilityKey);
    for (const std::string& raw : session.MemoActiveX) {
        const std::string line(sections::trimmed(raw));
        if (line.empty())
            continue;
        const size_t brace = line.find('{');
        const std::string id = brace == std::string::npos ? line : line.substr(brace);
        for (const std::string& view : views) {
            const std::string path = view + "\\" + id;
            TRegistry reg(session);
            reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
            if (!reg.OpenPath(path, false) || !reg.HasValue(kFlagsValue))
                continue;
            const std::int32_t flags =
                reg.ValueType(kFlagsValue) == rdInteger ? reg.ReadNumber(kFlagsValue) : 0;
            if (flags == kKillBit)
                continue;
            const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + path;
            context.status(keyPath);
            context.addRecord(contents, keyPath, id, kFlagsValue, std::to_string(flags));
        }
    }
    context.rowFinish();
}

void RepairMalignantActiveX(Session& session, RepairView& view, const TRegistryContents& contents)
{
    // The kill bit blocks the add-on; removing the flags would leave it free to load.
    RunSectionRepair(session, view, contents,
                     {[&](const TContent& r) { return r.KeyPath; },
                      [&](const TContent& r) {
                          const RecordKeyPath key = SplitRecordKeyPath(r.KeyPath);
                          TRegistry reg(session);
                          reg.SelectRoot(RootKeyFromName(key.rootName));
                          if (!reg.OpenPath(key.path, false))
                              return false;
                          try {
                              reg.WriteNumber(r.ValueName, kKillBit);
                          } catch (const ERegistryException&) {
                              return false;
                          }
                          return true;
                      },
                      true});
}

} // namespace tw
