// Starting Windows programs, as WinExec and CreateProcess do.
#pragma once

#include "WinTypes.h"

#include <memory>
#include <string>

namespace tw::platform {

/// The show commands a start knows (SW_HIDE, SW_SHOW).
enum class ShowCommand : int
{
    Hide = 0,
    Show = 5,
};

/// GetExitCodeProcess reports this while the program runs.
inline constexpr win::DWORD kStillActive = 259;

/// A program that was started (a process handle).
class Process
{
public:
    virtual ~Process() = default;
    /// True once the program has ended (WaitForSingleObject with a zero timeout).
    virtual bool hasEnded() = 0;
    /// Waits until the program has ended (WaitForSingleObject, INFINITE).
    virtual void wait() = 0;
    /// GetExitCodeProcess: kStillActive while it runs.
    virtual win::DWORD exitCode() = 0;
};

struct ProgramStart
{
    /// A Windows command line, split as Windows splits it: "C:\Dir\x.exe" /a "b c", a quoted
    /// program path with spaces, an unquoted one ("C:\Program Files\x.exe" /S) or a bare
    /// name searched in the system folders ("regsvr32.exe").
    std::string commandLine;
    ShowCommand show = ShowCommand::Show;
    /// Returns only when the program has ended.
    bool wait = false;
    /// With `wait`: what the program writes to its standard output.
    bool captureOutput = false;
};

/// The outcome of a start. `error` says why the program did not start (empty when it did).
struct ProgramRun
{
    std::string error;
    /// When started without waiting: the running program (dropping it does not stop it).
    std::shared_ptr<Process> process;
    /// When waited for: the program's exit code.
    win::DWORD exitCode = 0;
    /// When waited for with `captureOutput`.
    std::string output;

    bool started() const { return error.empty(); }
};

class Programs
{
public:
    virtual ~Programs() = default;
    /// Starts a command line. Every pending registry change is saved first; when that fails
    /// nothing starts and `error` says why. While the program (or the system it brought up)
    /// runs, the registry is read-only; Storage::refresh() reads it again once it has ended.
    virtual ProgramRun start(const ProgramStart& start) = 0;
    /// Why start() would not start this command line (no such program, no way to run it),
    /// as the `error` start() would return; empty when it would start.
    virtual std::string startRefusal(const std::string& commandLine) const = 0;
    /// True while a program started here, or the system it runs in, still runs.
    virtual bool busy() = 0;
    /// Waits until busy() is false, then reads the registry again (Storage::refresh()).
    /// Throws StorageError when the registry cannot be read again.
    virtual void waitUntilIdle() = 0;
};

} // namespace tw::platform
