#include "SessionStart.h"

#include "Startup.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "scanner/sections/SmallSections.h"

namespace tw::app {

StartedSession::StartedSession(wine::PrefixChoice choice, std::unique_ptr<wine::WinePrefix> prefix)
    : m_choice(std::move(choice)), m_prefix(std::move(prefix)), m_session(m_prefix->platform())
{
}

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
    auto prefix = std::make_unique<wine::WinePrefix>(
        choice.path, options.preview ? wine::OpenMode::Preview : wine::OpenMode::Normal);
    auto started = std::make_unique<StartedSession>(std::move(choice), std::move(prefix));
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

    started->addonListLoaded = LoadAddonList(session, addonListPath());
    if (!started->addonListLoaded)
        started->warnings.push_back("Cannot read the add-on list " + addonListPath());
    DetectPlatform(session);
    BuildExcludedDrives(session, session.ExcludedDrives);
    return started;
}

} // namespace tw::app
