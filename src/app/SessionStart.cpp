#include "SessionStart.h"

#include "Startup.h"
#include "platform/curl/CurlHttp.h"
#include "platform/wine/PrefixLocator.h"
#include "platform/wine/WinePrefix.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "scanner/sections/SmallSections.h"

namespace tw::app {

namespace {
platform::Platform withHttp(platform::Platform platform, platform::Http* http)
{
    platform.http = http;
    return platform;
}
} // namespace

StartedSession::StartedSession(const wine::PrefixChoice& choice,
                               std::unique_ptr<wine::WinePrefix> prefix,
                               std::unique_ptr<platform::Http> http)
    : m_prefixPath(prefix->hostPath()), m_prefixSource(choice.source), m_prefix(std::move(prefix)),
      m_http(std::move(http)),
      m_session(withHttp(m_prefix->platform(), m_http.get()))
{
}

StartedSession::~StartedSession() = default;

std::string addonListPath()
{
    return wine::dataDirectory() + "/addons/addon-list.txt";
}

namespace {
/// Saves what start-up wrote; a failure is told, not fatal: the settings are in memory.
void saveStartupWrites(StartedSession& started)
{
    try {
        started.prefix().save();
    } catch (const std::exception& e) {
        started.warnings.push_back(e.what());
    }
}
} // namespace

std::unique_ptr<StartedSession> startSession(const StartOptions& options)
{
    wine::PrefixChoice choice = wine::choosePrefix(options.prefix);
    const wine::OpenMode mode = options.preview           ? wine::OpenMode::Preview
                                : options.changesRegistry ? wine::OpenMode::Writer
                                                          : wine::OpenMode::Normal;
    auto prefix = std::make_unique<wine::WinePrefix>(choice.path, mode);
    std::unique_ptr<platform::Http> http;
    if (!options.preview)
        http = std::make_unique<platform::CurlHttp>();
    auto started =
        std::make_unique<StartedSession>(std::move(choice), std::move(prefix), std::move(http));
    Session& session = started->session();

    if (options.settings == SettingsMode::Load && !started->prefix().isReadOnly()) {
        if (!RunElevationStep(session)) {
            saveStartupWrites(*started);
            started->restarted = true;
            return started;
        }
        LoadSettings(session);
        saveStartupWrites(*started);
    } else {
        ReadSettings(session);
    }

    started->settingsProblems = SettingsTypeProblems(session);

    started->addonListLoaded = LoadAddonList(session, addonListPath());
    if (!started->addonListLoaded)
        started->warnings.push_back("Cannot read the add-on list " + addonListPath());
    DetectPlatform(session);
    BuildExcludedDrives(session, session.ExcludedDrives);
    return started;
}

} // namespace tw::app
