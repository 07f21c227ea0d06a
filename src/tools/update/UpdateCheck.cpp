#include "UpdateCheck.h"

#include "platform/FileText.h"
#include "platform/IniFile.h"
#include "registry/ProgramInfo.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"

#ifndef TIDEWELL_UPDATE_URL
#define TIDEWELL_UPDATE_URL "https://tidewell.example.org"
#endif

namespace tw {

platform::HttpLimits UpdateLimits()
{
    return {};
}

std::string UpdateIniPath()
{
    return std::string(kProgramFolder) + "\\Update.ini";
}

std::string UpdaterPath()
{
    return std::string(kProgramFolder) + "\\Gantry.exe";
}

std::string InstalledVersion(Session& session)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    return reg.OpenPath(kSettingsKey, false) ? reg.ReadText("Version") : std::string();
}

std::string UpdateDescriptorUrl(Session& session, const std::string& host)
{
    std::string base = host;
    if (base.empty()) {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kSettingsKey, false) && reg.HasValue("UpdateURL"))
            base = reg.ReadText("UpdateURL");
    }
    if (base.empty())
        base = TIDEWELL_UPDATE_URL;
    const std::string path = kUpdateDescriptorPath;
    if (base.size() >= path.size() &&
        base.compare(base.size() - path.size(), path.size(), path) == 0)
        return base;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + path;
}

bool IsNewerVersion(const std::string& offered, const std::string& installed)
{
    if (installed.empty())
        return true;
    // std::string compares char_traits<char>, which orders bytes as unsigned char.
    return offered.compare(installed) > 0;
}

platform::HttpResponse DownloadDescriptor(platform::Http& http, const std::string& url,
                                          const platform::HttpLimits& limits)
{
    return http.get(url, limits);
}

namespace {
/// The program folder, made when the prefix has none yet.
bool ensureProgramFolder(platform::Files& files)
{
    const std::string folder = kProgramFolder;
    if (files.directoryExists(folder))
        return true;
    files.createDirectory(folder.substr(0, folder.rfind('\\')));
    return files.createDirectory(folder);
}
} // namespace

UpdateOutcome FinishUpdateCheck(Session& session, const platform::HttpResponse& response)
{
    UpdateOutcome outcome;
    if (!response.ok) {
        outcome.reason = response.error;
        outcome.downloadFailed = true;
        return outcome;
    }
    if (std::string refusal = session.changeRefusal(); !refusal.empty()) {
        outcome.reason = "Update.ini was not written. " + refusal;
        outcome.refused = true;
        return outcome;
    }
    platform::Files& files = session.files();
    const std::string path = UpdateIniPath();
    if (!ensureProgramFolder(files)) {
        outcome.reason = std::string("Cannot create the folder ") + kProgramFolder;
        return outcome;
    }
    if (std::string error = platform::replaceFile(files, session.processes(), path, response.body);
        !error.empty()) {
        outcome.reason = std::move(error);
        return outcome;
    }
    const std::optional<std::string> text =
        platform::readWholeFile(files, path, response.body.size());
    if (!text) {
        outcome.reason = "Cannot read " + path;
        return outcome;
    }
    outcome.offered = platform::IniFile(*text).value("Version", "Ver", "");
    outcome.installed = InstalledVersion(session);
    outcome.result = IsNewerVersion(outcome.offered, outcome.installed) ? UpdateResult::Newer
                                                                        : UpdateResult::Current;
    return outcome;
}

UpdateOutcome CheckForUpdate(Session& session, const std::string& url,
                             const platform::HttpLimits& limits)
{
    if (!session.platform().http) {
        UpdateOutcome outcome;
        outcome.reason = "The network is not used here";
        outcome.downloadFailed = true;
        return outcome;
    }
    // Nothing is downloaded that could not be kept.
    if (std::string refusal = session.changeRefusal(); !refusal.empty()) {
        UpdateOutcome outcome;
        outcome.reason = "Update.ini was not written. " + refusal;
        outcome.refused = true;
        return outcome;
    }
    return FinishUpdateCheck(session, DownloadDescriptor(session.http(), url, limits));
}

std::string StartUpdater(Session& session)
{
    const std::string path = UpdaterPath();
    if (!session.files().fileExists(path))
        return "The updater " + path + " is missing; Tidewell goes on.";
    if (!session.shell().execute(path, "", false))
        return "The updater " + path + " could not be started; Tidewell goes on.";
    return {};
}

} // namespace tw
