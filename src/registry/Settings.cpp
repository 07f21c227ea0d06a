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

void readInto(TRegistry& reg, TMyRegistryInfo& settings)
{
    const std::string homePage = reg.ReadText("HomePage");
    settings.HomePage = homePage.empty() ? kHomePageAddress : homePage;
    const std::string helpUrl = reg.ReadText("HelpURL");
    settings.HelpURL = helpUrl.empty() ? kHelpPageAddress : helpUrl;
    settings.NotAutoBackup = reg.ReadText("NotAutoBackup") == "1";
    settings.SelectAll = reg.ReadText("SelectAll") == "1";
    settings.CheckUpdate = reg.ReadText("CheckUpdate") == "1";
}

} // namespace

void ReadSettings(Session& session)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kSettingsKey, false))
        readInto(reg, session.AppSettings);
}

void LoadSettings(Session& session)
{
    bool firstStart = false;
    {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kSettingsKey, true)) {
            readInto(reg, session.AppSettings);
            for (const DefaultValue& entry : kDefaults) {
                if (!reg.ReadText(entry.name).empty())
                    continue;
                reg.WriteText(entry.name, entry.value);
                if (std::string_view(entry.name) == "RunFirst")
                    firstStart = true;
            }
            reg.WriteText("Version", kProgramVersion);
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
