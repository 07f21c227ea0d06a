#include "Settings.h"

#include "ProgramInfo.h"
#include "TRegistry.h"
#include "Session.h"

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

/// A value as start-up leaves it: its default when it is missing or empty.
std::string storedOrDefault(TRegistry* reg, const char* name)
{
    const std::string text = reg ? reg->ReadText(name) : std::string();
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
    const std::string homePage = reg ? reg->ReadText("HomePage") : std::string();
    settings.HomePage = homePage.empty() ? kHomePageAddress : homePage;
    const std::string helpUrl = reg ? reg->ReadText("HelpURL") : std::string();
    settings.HelpURL = helpUrl.empty() ? kHelpPageAddress : helpUrl;
    settings.NotAutoBackup = storedOrDefault(reg, "NotAutoBackup") == "1";
    settings.SelectAll = storedOrDefault(reg, "SelectAll") == "1";
    settings.CheckUpdate = storedOrDefault(reg, "CheckUpdate") == "1";
}

} // namespace

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
                if (!reg.ReadText(entry.name).empty())
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
