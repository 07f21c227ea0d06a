#include "UpdateCheck.h"

#include "platform/FileText.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"
#include "registry/ProgramInfo.h"
#include "registry/Session.h"
#include "registry/Settings.h"
#include "registry/TRegistry.h"

#include <algorithm>
#include <vector>

// The build's update host; none unless the build names a real one.
#ifndef TIDEWELL_UPDATE_URL
#define TIDEWELL_UPDATE_URL ""
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
    const std::string stored =
        reg.OpenPath(kSettingsKey, false) ? ReadSetting(reg, "Version") : std::string();
    return stored.find_first_not_of(" \t") == std::string::npos ? kProgramVersion : stored;
}

std::string UpdateDescriptorUrl(Session& session, const std::string& host)
{
    std::string base = host;
    if (base.empty()) {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (reg.OpenPath(kSettingsKey, false))
            base = ReadSetting(reg, "UpdateURL");
    }
    if (base.empty())
        base = TIDEWELL_UPDATE_URL;
    if (base.empty())
        return base;
    const std::string path = kUpdateDescriptorPath;
    if (base.size() >= path.size() &&
        base.compare(base.size() - path.size(), path.size(), path) == 0)
        return base;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + path;
}

namespace {

/// The dotted parts of a version, each without leading zeros; empty when it is not one.
std::optional<std::vector<std::string_view>> versionParts(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    std::vector<std::string_view> parts;
    while (true) {
        const size_t dot = text.find('.');
        std::string_view part = text.substr(0, dot);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        part.remove_prefix(std::min(part.find_first_not_of('0'), part.size()));
        parts.push_back(part);
        if (dot == std::string_view::npos)
            return parts;
        text.remove_prefix(dot + 1);
    }
}

} // namespace

std::optional<int> CompareVersions(std::string_view a, std::string_view b)
{
    const auto left = versionParts(a);
    const auto right = versionParts(b);
    if (!left || !right)
        return std::nullopt;
    for (size_t i = 0; i < std::max(left->size(), right->size()); ++i) {
        // Digits alone, without leading zeros: the longer is the larger number.
        const std::string_view x = i < left->size() ? (*left)[i] : std::string_view();
        const std::string_view y = i < right->size() ? (*right)[i] : std::string_view();
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        if (const int order = x.compare(y); order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

std::string DescriptorText(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return std::string(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return platform::utf16ToUtf8(platform::bytesToUtf16(bytes.substr(2)));
    if (bytes.starts_with("\xFE\xFF")) {
        std::string swapped(bytes.substr(2));
        for (size_t i = 0; i + 1 < swapped.size(); i += 2)
            std::swap(swapped[i], swapped[i + 1]);
        return platform::utf16ToUtf8(platform::bytesToUtf16(swapped));
    }
    return std::string(bytes);
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
    // The offer is read before anything is written: a descriptor that offers nothing
    // readable leaves the earlier one in place.
    outcome.offered = platform::IniFile(DescriptorText(response.body)).value("Version", "Ver", "");
    outcome.installed = InstalledVersion(session);
    if (outcome.offered.empty()) {
        outcome.reason = "The descriptor offers no version (no \"Ver\" in its [Version] section)";
        return outcome;
    }
    const std::optional<int> order = CompareVersions(outcome.offered, outcome.installed);
    if (!order) {
        const bool offerBad = !versionParts(outcome.offered);
        outcome.reason = offerBad ? "The descriptor offers \"" + outcome.offered +
                                        "\", which is not a version (numbers split by dots)"
                                  : "The installed version \"" + outcome.installed +
                                        "\" (setting Version) is not a version (numbers split "
                                        "by dots)";
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
    outcome.result = *order > 0 ? UpdateResult::Newer : UpdateResult::Current;
    return outcome;
}

UpdateOutcome CheckForUpdate(Session& session, const std::string& url,
                             const platform::HttpLimits& limits)
{
    if (url.empty()) {
        UpdateOutcome outcome;
        outcome.reason = kNoUpdateAddress;
        outcome.noAddress = true;
        return outcome;
    }
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
