// Windows programs started with `wine` in the prefix; the registry is Wine's while they run.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/Programs.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw::wine {

class HiveStore;
class WinePathMapper;
class WineProcess;

class WinePrograms final : public platform::Programs
{
public:
    WinePrograms(HiveStore& store, const WinePathMapper& paths);
    ~WinePrograms() override;

    /// Saves the pending changes, then runs `wine` with the program and its arguments
    /// (WINEPREFIX set) in the program's folder; from then on the store is read-only until
    /// Wine has ended. Hidden: no output reaches the terminal. Shown: the program's output
    /// goes where ours goes.
    platform::ProgramRun start(const platform::ProgramStart& start) override;
    std::string startRefusal(const std::string& commandLine) const override;
    bool busy() override;
    /// Waits for the started programs, then polls until the wineserver has ended.
    void waitUntilIdle() override;

    /// From now on every start fails (a preview of the prefix).
    void refuseStarts() { m_startsRefused = true; }

    /// Set by the storage: reads the registry again after Wine (Storage::refresh()).
    void setRefresh(std::function<void()> refresh) { m_refresh = std::move(refresh); }

private:
    /// The Windows path of the program a command line names and the rest of the line;
    /// empty when no reading names an existing program.
    std::optional<std::pair<std::string, std::string>> findProgram(const std::string& line) const;
    /// The Windows path of `name` when it names an existing file (".exe" added to a name
    /// without extension); bare names are looked for in the system folders.
    std::optional<std::string> existingProgram(const std::string& name) const;

    HiveStore& m_store;
    const WinePathMapper& m_paths;
    std::vector<std::shared_ptr<WineProcess>> m_running;
    std::function<void()> m_refresh;
    bool m_startsRefused = false;
};

/// The host path of `program` found on the PATH; empty when there is none.
std::string findOnPath(const std::string& program);

} // namespace tw::wine
