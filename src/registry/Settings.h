// The settings store: values under HKEY_CURRENT_USER\Software\Tidewell and AppSettings.
#pragma once

#include <string>

namespace tw {

struct TMyRegistryInfo
{
    std::string HomePage;
    std::string HelpURL;
    bool NotAutoBackup = false;
    bool SelectAll = false;
    bool CheckUpdate = false;
};

/// Filled by LoadSettings (or ReadSettings) at start-up, read by everyone afterwards.
extern TMyRegistryInfo AppSettings;

/// Reads the settings into AppSettings, writes the defaults of missing values, stamps the
/// version and, on the first start, registers the program to start with Windows.
void LoadSettings();

/// Reads the settings into AppSettings as LoadSettings does, without writing anything.
void ReadSettings();

/// Puts AppSettings back to its initial values.
void ResetAppSettings();

} // namespace tw
