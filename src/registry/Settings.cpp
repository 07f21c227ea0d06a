#include "Settings.h"

#include "ProgramInfo.h"
#include "Session.h"
#include "TRegistry.h"
#include "platform/TextCodec.h"
#include "platform/ValueTypes.h"

#include <optional>

namespace tw {

namespace {

struct DefaultValue
{
    const char* name;
    const char* value;
};

/// Written at start-up when missing or empty, in this order.
constexpr DefaultValue kDefaults[] = {
    {"NotAutoBackup", "0"}, {"SelectAll", "1"}, {"CheckUpdate", "1"},
    {"ScanSetting", "1"},   {"RunFirst", "1"},
};

constexpr SettingName kSettingNames[] = {
    {"HomePage", false}, {"HelpURL", false},    {"NotAutoBackup", true},
    {"SelectAll", true}, {"CheckUpdate", true}, {"ScanSetting", true},
    {"RunFirst", true},  {"Version", false},    {"UpdateURL", false},
};

/// A value as start-up leaves it: its default when it is missing, empty or not text.
std::string storedOrDefault(TRegistry* reg, const char* name)
{
    const std::string text = reg ? ReadSetting(*reg, name) : std::string();
    if (!text.empty())
        return text;
    for (const DefaultValue& entry : kDefaults) {
        if (std::string_view(entry.name) == name)
            return entry.value;
    }
    return text;
}

/// `reg` is the open settings key, or null when there is none.
void readInto(TRegistry* reg, TMyRegistryInfo& settings)
{
    const std::string homePage = reg ? ReadSetting(*reg, "HomePage") : std::string();
    settings.HomePage = homePage.empty() ? kHomePageAddress : homePage;
    const std::string helpUrl = reg ? ReadSetting(*reg, "HelpURL") : std::string();
    settings.HelpURL = helpUrl.empty() ? kHelpPageAddress : helpUrl;
    settings.NotAutoBackup = storedOrDefault(reg, "NotAutoBackup") == "1";
    settings.SelectAll = storedOrDefault(reg, "SelectAll") == "1";
    settings.CheckUpdate = storedOrDefault(reg, "CheckUpdate") == "1";
}

} // namespace

std::span<const SettingName> SettingNames()
{
    return kSettingNames;
}

std::string ReadSetting(TRegistry& reg, std::string_view name)
{
    return reg.ReadTextValue(name).value_or(std::string());
}

std::vector<std::string> SettingsTypeProblems(const Session& session)
{
    std::vector<std::string> problems;
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(kSettingsKey, false))
        return problems;
    std::vector<TRegistry::TextValue> values;
    reg.ListTextValues(values);
    for (const SettingName& setting : kSettingNames) {
        for (const TRegistry::TextValue& value : values) {
            if (value.text || !platform::equalNoCase(value.name, setting.name))
                continue;
            problems.push_back(std::string("The setting ") + setting.name +
                               " under HKEY_CURRENT_USER\\Software\\Tidewell is a " +
                               platform::valueTypeName(value.type) +
                               ", not text, and reads as if it were not set; \"tidewell-cli "
                               "settings set " +
                               setting.name + " VALUE\" stores it as text");
        }
    }
    return problems;
}

void ReadSettings(Session& session)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    // Missing values read as the defaults start-up would write, so that the command line
    // sees what the window sees.
    readInto(reg.OpenPath(kSettingsKey, false) ? &reg : nullptr, session.AppSettings);
}

void LoadSettings(Session& session)
{
    bool firstStart = false;
    {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kSettingsKey, true)) {
            for (const DefaultValue& entry : kDefaults) {
                // A value of another type keeps its place, and reads as the default.
                const std::optional<std::string> text = reg.ReadTextValue(entry.name);
                if (text ? !text->empty() : reg.HasValue(entry.name))
                    continue;
                reg.WriteText(entry.name, entry.value);
                if (std::string_view(entry.name) == "RunFirst")
                    firstStart = true;
            }
            reg.WriteText("Version", kProgramVersion);
            // Read after the defaults are in place, so that the first start runs with what
            // is stored (records ticked), not with every flag off.
            readInto(&reg, session.AppSettings);
        }
    }
    // Autostart only a program that is there: in a Wine prefix it is not, and a dangling Run
    // entry would make Wine fail to start it at every boot.
    if (!firstStart || !session.files().fileExists(kProgramPath))
        return;
    TRegistry run(session);
    run.SelectRoot(win::HKEY_LOCAL_MACHINE);
    if (run.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false))
        run.WriteText(kProgramFileName, kProgramPath);
}

} // namespace tw
