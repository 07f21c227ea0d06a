#include "Startup.h"

#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "registry/Session.h"

namespace tw::app {

namespace {
constexpr const char* kElevationKey = "Software\\Kestrin";
constexpr const char* kElevationValue = "vista";
} // namespace

bool ConsumeElevationFlag(const Session& session)
{
    bool flagged = false;
    {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kElevationKey, false))
            flagged = reg.ReadText(kElevationValue) == "1";
    }
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kElevationKey, true))
        reg.RemoveValue(kElevationValue);
    return flagged;
}

bool RunElevationStep(const Session& session)
{
    if (session.system().versionEx().majorVersion < 6)
        return true;
    if (ConsumeElevationFlag(session) || !IsLuaEnabled(session))
        return true;
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(kElevationKey, true))
        return true;
    if (reg.ReadText(kElevationValue) != "1") {
        reg.WriteText(kElevationValue, "1");
        ShellRun(session, kProgramPath, "");
        return false;
    }
    reg.WriteText(kElevationValue, "");
    return true;
}

} // namespace tw::app
