// The online update check: the version descriptor downloaded into the program folder,
// compared with the installed version, and the hand-over to the updater.
#pragma once

#include "platform/Http.h"

#include <optional>
#include <string>
#include <string_view>

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
    /// No update address is set; nothing was downloaded.
    bool noAddress = false;
};

/// The limits of the download: a few seconds and a small body.
platform::HttpLimits UpdateLimits();

/// The descriptor address: the update host ("UpdateURL" under the settings key when it is
/// set, else the one built in) followed by /update/Update.ini. A `host` given here wins; one
/// that already ends with the path is taken as it is. Empty when there is no host at all.
std::string UpdateDescriptorUrl(Session& session, const std::string& host = {});

/// C:\Program Files\Tidewell\Update.ini and ...\Gantry.exe.
std::string UpdateIniPath();
std::string UpdaterPath();

/// Orders two versions of dotted whole numbers ("2.0", "10.0.1") part by part as numbers; a
/// part one lacks counts as 0 ("2" is "2.0"). Negative, zero or positive as `a` is older,
/// the same or newer; empty when either is not such a version (blanks around it allowed).
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

/// The installed version: "Version" under the settings key, or the program's own when it is
/// missing, blank or not text.
std::string InstalledVersion(Session& session);

/// Why the check cannot run: no update host is set ("UpdateURL") and none is built in.
inline constexpr const char* kNoUpdateAddress =
    "No update address is set: set the update host with \"tidewell-cli settings set UpdateURL "
    "https://HOST\" (the descriptor is then HOST/update/Update.ini)";

/// The text of a descriptor: UTF-8 with or without a byte order mark, or UTF-16 (little or
/// big endian) after its byte order mark, as UTF-8.
std::string DescriptorText(std::string_view bytes);

/// The download alone; touches nothing of the session, so it may run on another thread.
platform::HttpResponse DownloadDescriptor(platform::Http& http, const std::string& url,
                                          const platform::HttpLimits& limits);

/// Reads the version a downloaded body offers, compares it with the installed one and writes
/// the body to Update.ini (replaced whole, or left as it was). A failed download writes
/// nothing, nor does one while the prefix may not be changed (Session::changeRefusal), nor
/// one whose offer is empty or not a version, nor one beside an installed version that is not
/// one: each is a failed check.
UpdateOutcome FinishUpdateCheck(Session& session, const platform::HttpResponse& response);

/// CheckForUpdate: the download and the comparison, one after the other. An empty `url`
/// fails at once with kNoUpdateAddress (nothing is downloaded).
UpdateOutcome CheckForUpdate(Session& session, const std::string& url,
                             const platform::HttpLimits& limits = UpdateLimits());

/// Starts the updater in the program folder; returns why it could not, empty when it started.
std::string StartUpdater(Session& session);

} // namespace tw
