// The online update check: the version descriptor downloaded into the program folder,
// compared with the installed version, and the hand-over to the updater.
#pragma once

#include "platform/Http.h"

#include <string>

namespace tw {

class Session;

/// The fixed path of the descriptor on the update host.
inline constexpr const char* kUpdateDescriptorPath = "/update/Update.ini";

enum class UpdateResult
{
    Newer,
    Current,
    Failed
};

struct UpdateOutcome
{
    UpdateResult result = UpdateResult::Failed;
    /// Section "Version", key "Ver" of the descriptor.
    std::string offered;
    /// The value "Version" under HKEY_CURRENT_USER\Software\Tidewell.
    std::string installed;
    /// Why the check failed; empty otherwise.
    std::string reason;
    /// The failure was the download's (not the program folder's).
    bool downloadFailed = false;
    /// Nothing was written: the prefix may not be changed now (Wine runs in it).
    bool refused = false;
};

/// The limits of the download: a few seconds and a small body.
platform::HttpLimits UpdateLimits();

/// The descriptor address: the update host ("UpdateURL" under the settings key when it is
/// set, else the one built in) followed by /update/Update.ini. A `host` given here wins; one
/// that already ends with the path is taken as it is.
std::string UpdateDescriptorUrl(Session& session, const std::string& host = {});

/// C:\Program Files\Tidewell\Update.ini and ...\Gantry.exe.
std::string UpdateIniPath();
std::string UpdaterPath();

/// Plain byte order: the first differing byte decides, a proper prefix is smaller; an empty
/// installed version is always older.
bool IsNewerVersion(const std::string& offered, const std::string& installed);

/// The installed version ("Version" under the settings key; empty when missing).
std::string InstalledVersion(Session& session);

/// The download alone; touches nothing of the session, so it may run on another thread.
platform::HttpResponse DownloadDescriptor(platform::Http& http, const std::string& url,
                                          const platform::HttpLimits& limits);

/// Writes a downloaded body to Update.ini (replaced whole, or left as it was), reads its
/// version and compares it with the installed one. A failed download writes nothing, nor
/// does one while the prefix may not be changed (Session::changeRefusal).
UpdateOutcome FinishUpdateCheck(Session& session, const platform::HttpResponse& response);

/// CheckForUpdate: the download and the comparison, one after the other.
UpdateOutcome CheckForUpdate(Session& session, const std::string& url,
                             const platform::HttpLimits& limits = UpdateLimits());

/// Starts the updater in the program folder; returns why it could not, empty when it started.
std::string StartUpdater(Session& session);

} // namespace tw
