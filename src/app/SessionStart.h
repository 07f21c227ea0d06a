// Start-up shared by the window and the command line: the prefix, the session over it, the
// settings and the add-on list.
#pragma once

#include "registry/Session.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw::app {

enum class SettingsMode
{
    /// Reads the settings and writes nothing (the command line, a read-only prefix).
    Read,
    /// The window's start: the elevation step, then LoadSettings with its first-start writes.
    Load,
};

struct StartOptions
{
    /// --prefix DIR; otherwise $WINEPREFIX, ~/.wine or the demo prefix.
    std::optional<std::string> prefix;
    SettingsMode settings = SettingsMode::Read;
    /// Changes stay in memory, no file of the prefix changes and the network is not used
    /// (pictures of the windows).
    bool preview = false;
    /// For one command that changes the registry: other Tidewell writers of the prefix wait
    /// until this session ends (see wine::OpenMode::Writer).
    bool changesRegistry = false;
};

/// What a session runs on (a Wine prefix, or the Windows system itself): owns the
/// platform's parts.
class OpenedSystem
{
public:
    virtual ~OpenedSystem() = default;
    virtual platform::Platform platform() = 0;
};

/// The system in use and the session over it; the session lives as long as this does.
class StartedSession
{
public:
    /// `http` may be null: the session then uses no network.
    StartedSession(std::string path, std::string source, std::unique_ptr<OpenedSystem> system,
                   std::unique_ptr<platform::Http> http);
    ~StartedSession();
    StartedSession(const StartedSession&) = delete;
    StartedSession& operator=(const StartedSession&) = delete;

    Session& session() { return m_session; }
    OpenedSystem& system() { return *m_system; }
    /// The prefix's host folder, and where the choice came from: "--prefix", "WINEPREFIX",
    /// "~/.wine" or "demo"; on Windows the Windows folder and "system".
    const std::string& prefixPath() const { return m_prefixPath; }
    const std::string& prefixSource() const { return m_prefixSource; }

    /// Set when the elevation step restarted the program: this copy is to end.
    bool restarted = false;
    /// What went wrong without stopping the start (such as an unreadable add-on list).
    std::vector<std::string> warnings;
    /// Settings that are not text and read as their defaults (SettingsTypeProblems); the
    /// start goes on.
    std::vector<std::string> settingsProblems;
    bool addonListLoaded = false;

private:
    std::string m_prefixPath;
    std::string m_prefixSource;
    std::unique_ptr<OpenedSystem> m_system;
    std::unique_ptr<platform::Http> m_http;
    Session m_session;
};

/// Chooses and opens the prefix (PrefixError and std::runtime_error say why it cannot be),
/// builds the session, reads or loads the settings, reads the add-on list, detects the
/// platform kind and builds the excluded drives. Settings are only loaded (written) where
/// the prefix is writable; the first-start writes are saved at once.
std::unique_ptr<StartedSession> startSession(const StartOptions& options);

/// The add-on list shipped with the program.
std::string addonListPath();

} // namespace tw::app
