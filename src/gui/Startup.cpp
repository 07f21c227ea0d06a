#include "Startup.h"

#include "platform/Platform.h"
#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Registry.h"

namespace tw::gui {

namespace {
constexpr const char* kElevationKey = "Software\\Kestrin";
constexpr const char* kElevationValue = "vista";
} // namespace

bool ConsumeElevationFlag()
{
    bool flagged = false;
    {
        TRegistry reg;
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kElevationKey, false))
            flagged = reg.ReadText(kElevationValue) == "1";
    }
    TRegistry reg;
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kElevationKey, true))
        reg.RemoveValue(kElevationValue);
    return flagged;
}

bool RunElevationStep()
{
    if (platform::system().versionEx().majorVersion < 6)
        return true;
    if (ConsumeElevationFlag() || !IsLuaEnabled())
        return true;
    TRegistry reg;
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(kElevationKey, true))
        return true;
    if (reg.ReadText(kElevationValue) != "1") {
        reg.WriteText(kElevationValue, "1");
        ShellRun(kProgramPath, "");
        return false;
    }
    reg.WriteText(kElevationValue, "");
    return true;
}

} // namespace tw::gui
