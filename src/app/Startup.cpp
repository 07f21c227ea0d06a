#include "Startup.h"

#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"

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
    if (reg.OpenPath(kElevationKey, false)) {
        reg.RemoveValue(kElevationValue);
        // A key that held only the flag goes with it, so that no scan finds it empty.
        std::vector<std::string> left;
        reg.ListValues(left);
        if (left.empty())
            reg.ListSubkeys(left);
        reg.ClosePath();
        if (left.empty())
            reg.RemoveKeyTree(std::string("\\") + kElevationKey);
    }
    return flagged;
}

bool RunElevationStep(const Session& session)
{
    if (session.system().versionEx().majorVersion < 6)
        return true;
    // Without user account control a restart would only start the same program again (on
    // Wine, a Windows program that is not there): go on as this copy.
    if (!session.shell().canElevate()) {
        ConsumeElevationFlag(session);
        return true;
    }
    if (ConsumeElevationFlag(session) || !IsLuaEnabled(session))
        return true;
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(kElevationKey, true))
        return true;
    if (reg.ReadText(kElevationValue) != "1") {
        reg.WriteText(kElevationValue, "1");
        if (session.shell().execute(kProgramPath, "", true))
            return false;
        // The elevated copy did not start: this copy goes on.
        reg.ClosePath();
        ConsumeElevationFlag(session);
        return true;
    }
    reg.WriteText(kElevationValue, "");
    return true;
}

} // namespace tw::app
