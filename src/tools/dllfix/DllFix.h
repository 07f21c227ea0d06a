// The system DLL fixer: the system folder's COM libraries, each registered again with
// regsvr32, a few at a time.
#pragma once

#include "platform/Programs.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tw {

class Session;

/// What the fix shows while it collects.
class DllFixView
{
public:
    virtual ~DllFixView() = default;
    virtual void statusChanged(const std::string& text) = 0;
    /// Lets the window handle its messages ("Cancel").
    virtual void yield() = 0;
    /// The run flag: false once "Cancel" was pressed.
    virtual bool running() = 0;
};

/// The system folder (GetSystemDirectory into 81 characters).
std::string DllFixSystemFolder(const Session& session);

/// The scan: every entry of `folder` whose upper-cased name contains ".DLL" or ".OCX"
/// (folders too), as folder + "\" + name, in the order the folder lists them; shows
/// "Scaning: <path>" for every entry and stops early when the view stops running.
std::vector<std::string> CollectDllFiles(const Session& session, const std::string& folder,
                                         DllFixView& view);

/// The folders whose libraries are registered again: the system folder, then, on a 64-bit
/// system, the 32-bit system folder when it holds its own regsvr32.exe.
std::vector<std::string> DllFixFolders(const Session& session);

/// The libraries of every folder of DllFixFolders, as CollectDllFiles lists them.
std::vector<std::string> CollectAllDllFiles(const Session& session, DllFixView& view);

/// The silent registration of one file: regsvr32.exe /s "<path>". A library of the 32-bit
/// system folder is registered by that folder's own (32-bit) regsvr32.exe.
std::string RegistrationCommand(const std::string& path);

/// At most this many registrations run at once.
inline constexpr std::size_t kMaxRegistrations = 3;

/// A registration that did not succeed, and why.
struct RegistrationFailure
{
    std::string path;
    std::string reason;
};

/// The registrations of one fix, started hidden without waiting, at most `maxRunning` at once:
/// pump() starts the next ones as the running ones end. A registration succeeded only when
/// regsvr32 returned 0. The first pump writes a full backup of the registry; when it cannot,
/// nothing starts and every registration counts as failed.
class RegistrationQueue
{
public:
    RegistrationQueue(const Session& session, std::vector<std::string> paths,
                      std::size_t maxRunning = kMaxRegistrations);

    /// Collects the ended registrations and starts waiting ones while fewer than the limit
    /// run. True while any runs or waits.
    bool pump();
    std::size_t total() const { return m_paths.size(); }
    /// Registrations started so far.
    std::size_t started() const { return m_started; }
    /// Registrations whose regsvr32 returned 0.
    std::size_t registered() const { return m_registered; }
    /// Registrations that could not start or whose regsvr32 returned an error, in the order
    /// they ended.
    std::size_t failed() const { return m_failures.size(); }
    const std::vector<RegistrationFailure>& failures() const { return m_failures; }
    /// Registrations that have ended, well or not.
    std::size_t ended() const { return m_registered + m_failures.size(); }
    /// Why the first registration that could not start did not (empty when all started).
    const std::string& firstError() const { return m_firstError; }
    /// The most that ran at once.
    std::size_t peakRunning() const { return m_peak; }

private:
    struct Running
    {
        std::string path;
        std::shared_ptr<platform::Process> process;
    };

    void fail(const std::string& path, std::string reason);

    const Session& m_session;
    std::vector<std::string> m_paths;
    std::size_t m_maxRunning;
    std::size_t m_next = 0;
    std::size_t m_started = 0;
    std::size_t m_registered = 0;
    std::size_t m_peak = 0;
    std::string m_firstError;
    std::vector<RegistrationFailure> m_failures;
    std::vector<Running> m_running;
};

} // namespace tw
