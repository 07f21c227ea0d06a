#include "Settings.h"

#include "ProgramInfo.h"
#include "Registry.h"
#include "platform/Platform.h"

namespace tw {

TMyRegistryInfo AppSettings;

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

void readInto(TRegistry& reg)
{
    const std::string homePage = reg.ReadText("HomePage");
    AppSettings.HomePage = homePage.empty() ? kHomePageAddress : homePage;
    const std::string helpUrl = reg.ReadText("HelpURL");
    AppSettings.HelpURL = helpUrl.empty() ? kHelpPageAddress : helpUrl;
    AppSettings.NotAutoBackup = reg.ReadText("NotAutoBackup") == "1";
    AppSettings.SelectAll = reg.ReadText("SelectAll") == "1";
    AppSettings.CheckUpdate = reg.ReadText("CheckUpdate") == "1";
}

} // namespace

void ResetAppSettings()
{
    AppSettings = TMyRegistryInfo();
}

void ReadSettings()
{
    TRegistry reg;
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kSettingsKey, false))
        readInto(reg);
}

void LoadSettings()
{
    bool firstStart = false;
    {
        TRegistry reg;
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kSettingsKey, true)) {
            readInto(reg);
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
    if (!firstStart || !platform::files().fileExists(kProgramPath))
        return;
    TRegistry run;
    run.SelectRoot(win::HKEY_LOCAL_MACHINE);
    if (run.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false))
        run.WriteText(kProgramFileName, kProgramPath);
}

} // namespace tw
