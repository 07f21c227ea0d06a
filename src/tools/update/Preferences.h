// The preferences: the settings the preferences window edits, the start with the session,
// the version line, and the settings as the command line shows and sets them.
#pragma once

#include "platform/System.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw {

class Session;

/// The boxes of the preferences window.
struct PreferenceBoxes
{
    bool runAtStartup = false;
    bool notAutoBackup = false;
    bool selectAll = false;
    bool scanSetting = false;
    bool checkUpdate = false;
};

/// What the window shows when it opens. A part that could not be read is empty: its boxes
/// keep their state.
struct PreferencesState
{
    std::optional<bool> runAtStartup;
    /// The four setting boxes; empty when the settings key does not open.
    std::optional<PreferenceBoxes> settings;
    /// The installed version ("2.0" for a blank one); empty when the key does not open.
    std::string version;
    /// The program file's last-write time in local time; empty: "Unknowable Version".
    std::optional<platform::SystemTime> programTime;
};

PreferencesState LoadPreferences(Session& session);

/// OK: the start with the session, then "NotAutoBackup", "SelectAll", "ScanSetting" and
/// "CheckUpdate" as "1" or "0". The settings are written even when the autostart could not
/// be changed; returns why it could not, empty when it was. Refused whole (ChangeRefused)
/// while the prefix may not be changed.
std::string SavePreferences(Session& session, const PreferenceBoxes& boxes);

/// Writes the desktop's autostart entry for the prefix, or removes it. Throws ChangeRefused
/// while the prefix may not be changed, std::runtime_error when the entry cannot be written.
void SetAutostart(Session& session, bool enabled);

/// The settings as stored, in their order: name and value (empty when missing).
std::vector<std::pair<std::string, std::optional<std::string>>> StoredSettings(Session& session);

/// Writes one setting as a string; NAME is matched without regard to case. Flags take "1" or
/// "0"; returns the name as stored. Throws std::invalid_argument for an unknown name or a bad
/// flag value.
std::string WriteSetting(Session& session, const std::string& name, const std::string& value);

} // namespace tw
