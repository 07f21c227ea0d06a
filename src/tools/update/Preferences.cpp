#include "Preferences.h"

#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "registry/Settings.h"
#include "registry/TRegistry.h"

#include <cctype>
#include <stdexcept>

namespace tw {

namespace {

bool sameName(const std::string& a, const char* b)
{
    const std::string_view other(b);
    if (a.size() != other.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(other[i])))
            return false;
    }
    return true;
}

std::string trimmedBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

const char* flagText(bool on)
{
    return on ? "1" : "0";
}

} // namespace

PreferencesState LoadPreferences(Session& session)
{
    PreferencesState state;
    if (session.platform().installation)
        state.runAtStartup = session.installation().autostartEnabled();

    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kSettingsKey, false)) {
        PreferenceBoxes boxes;
        boxes.notAutoBackup = ReadSetting(reg, "NotAutoBackup") == "1";
        boxes.selectAll = ReadSetting(reg, "SelectAll") == "1";
        boxes.scanSetting = ReadSetting(reg, "ScanSetting") == "1";
        boxes.checkUpdate = ReadSetting(reg, "CheckUpdate") == "1";
        state.settings = boxes;
        state.version = ReadSetting(reg, "Version");
        if (trimmedBlanks(state.version).empty())
            state.version = kProgramVersion;
    }
    if (session.platform().installation) {
        if (const std::optional<win::FILETIME> time = session.installation().programFileTime())
            state.programTime = FileTimeToLocalDateTime(session, *time);
    }
    return state;
}

void SetAutostart(Session& session, bool enabled)
{
    // The entry starts Tidewell on the prefix: not changed beside a running Wine either.
    session.requireChangeable();
    session.installation().setAutostart(enabled);
}

std::string SavePreferences(Session& session, const PreferenceBoxes& boxes)
{
    session.requireChangeable();
    std::string autostartError;
    try {
        // Ticked writes the entry anew (replacing an edited one); unticked removes it.
        session.installation().setAutostart(boxes.runAtStartup);
    } catch (const std::exception& e) {
        autostartError = e.what();
    }
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kSettingsKey, true)) {
        reg.WriteText("NotAutoBackup", flagText(boxes.notAutoBackup));
        reg.WriteText("SelectAll", flagText(boxes.selectAll));
        reg.WriteText("ScanSetting", flagText(boxes.scanSetting));
        reg.WriteText("CheckUpdate", flagText(boxes.checkUpdate));
    }
    return autostartError;
}

std::vector<std::pair<std::string, std::optional<std::string>>> StoredSettings(Session& session)
{
    std::vector<std::pair<std::string, std::optional<std::string>>> rows;
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    const bool opened = reg.OpenPath(kSettingsKey, false);
    for (const SettingName& row : SettingNames()) {
        // A value that is not text shows as not set, as it reads.
        std::optional<std::string> value;
        if (opened)
            value = reg.ReadTextValue(row.name);
        rows.emplace_back(row.name, value);
    }
    return rows;
}

std::string WriteSetting(Session& session, const std::string& name, const std::string& value)
{
    const SettingName* found = nullptr;
    std::string names;
    for (const SettingName& row : SettingNames()) {
        if (sameName(name, row.name))
            found = &row;
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    }
    if (!found)
        throw std::invalid_argument("There is no setting \"" + name + "\" (" + names + ")");
    if (found->flag && value != "1" && value != "0")
        throw std::invalid_argument(std::string(found->name) + " is 1 (on) or 0 (off), not \"" +
                                    value + "\"");
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(kSettingsKey, true))
        throw std::runtime_error("Cannot open HKEY_CURRENT_USER\\Software\\Tidewell");
    reg.WriteText(found->name, value);
    return found->name;
}

} // namespace tw
