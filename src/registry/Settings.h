// The settings store: values under HKEY_CURRENT_USER\Software\Tidewell and AppSettings.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class Session;
class TRegistry;

struct TMyRegistryInfo
{
    std::string HomePage;
    std::string HelpURL;
    bool NotAutoBackup = false;
    bool SelectAll = false;
    bool CheckUpdate = false;
};

/// One stored setting; every one is text, a flag "1" or "0".
struct SettingName
{
    const char* name;
    bool flag;
};

/// The settings in the order they are listed.
std::span<const SettingName> SettingNames();

/// A setting's text from the open settings key; empty when it is missing or not text
/// (SettingsTypeProblems says which are not), so that it reads as its default.
std::string ReadSetting(TRegistry& reg, std::string_view name);

/// One line for each setting whose value is not text (a REG_DWORD where "1" or "0" belongs),
/// which reads as if it were not set; empty when there is none or no settings key.
std::vector<std::string> SettingsTypeProblems(const Session& session);

/// Reads the settings into the session's AppSettings, writes the defaults of missing values, stamps
/// the version and, on the first start, registers the program to start with Windows. A value
/// that is not text reads as its default and stays as it is.
void LoadSettings(Session& session);

/// Reads the settings into AppSettings as LoadSettings does, without writing anything.
void ReadSettings(Session& session);

} // namespace tw
