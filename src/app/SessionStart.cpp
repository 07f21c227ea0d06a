#include "SessionStart.h"

#include "OpenSystem.h"
#include "Startup.h"
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

StartedSession::StartedSession(std::string path, std::string source,
                               std::unique_ptr<OpenedSystem> system,
                               std::unique_ptr<platform::Http> http)
    : m_prefixPath(std::move(path)), m_prefixSource(std::move(source)), m_system(std::move(system)),
      m_http(std::move(http)), m_session(withHttp(m_system->platform(), m_http.get()))
{
}

StartedSession::~StartedSession() = default;

std::string addonListPath()
{
    return dataDirectory() + "/addons/addon-list.txt";
}

namespace {
/// Saves what start-up wrote; a failure is told, not fatal: the settings are in memory.
void saveStartupWrites(StartedSession& started)
{
    try {
        started.session().storage().commit();
    } catch (const std::exception& e) {
        started.warnings.push_back(e.what());
    }
}
} // namespace

std::unique_ptr<StartedSession> startSession(const StartOptions& options)
{
    OpenedStart opened = openSystem(options);
    std::unique_ptr<platform::Http> http;
    if (!options.preview)
        http = makeHttp();
    auto started =
        std::make_unique<StartedSession>(std::move(opened.path), std::move(opened.source),
                                         std::move(opened.system), std::move(http));
    Session& session = started->session();

    if (options.settings == SettingsMode::Load && session.storage().readOnlyReason().empty()) {
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
