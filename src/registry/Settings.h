// The settings store: values under HKEY_CURRENT_USER\Software\Tidewell and AppSettings.
#pragma once

#include <string>

namespace tw {

class Session;

struct TMyRegistryInfo
{
    std::string HomePage;
    std::string HelpURL;
    bool NotAutoBackup = false;
    bool SelectAll = false;
    bool CheckUpdate = false;
};

/// Reads the settings into the session's AppSettings, writes the defaults of missing values, stamps
/// the version and, on the first start, registers the program to start with Windows.
void LoadSettings(Session& session);

/// Reads the settings into AppSettings as LoadSettings does, without writing anything.
void ReadSettings(Session& session);

} // namespace tw
