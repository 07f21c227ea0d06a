// Running processes as the Tool Help, OpenProcess/TerminateProcess and PSAPI calls show them.
#pragma once

#include "WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tw::platform {

/// A failed call: its Win32 error code and the system's text for it.
struct SystemError
{
    win::DWORD code = 0;
    std::string text;

    explicit operator bool() const { return code != 0; }
};

/// One PROCESSENTRY32 record.
struct ProcessEntry
{
    win::DWORD usage = 0;
    win::DWORD processId = 0;
    win::DWORD moduleId = 0;
    win::DWORD threads = 0;
    win::DWORD parentProcessId = 0;
    /// pcPriClassBase: 4 idle, 6 below normal, 8 normal, 10 above normal, 13 high, 24 real time.
    win::LONG basePriority = 0;
    /// szExeFile: the file name of the program, without its folder.
    std::string exeFile;
    /// When the process started, in the system's own units; tells this process apart from a
    /// later one that was given the same identifier.
    std::uint64_t startTime = 0;
};

/// One MODULEENTRY32 record.
struct ModuleEntry
{
    win::DWORD moduleId = 0;
    win::DWORD processId = 0;
    win::DWORD globalUsage = 0;
    /// modBaseSize: the bytes the module occupies in the process.
    std::uint64_t baseSize = 0;
    /// szModule: the file name.
    std::string module;
    /// szExePath: the full Windows path of the file.
    std::string exePath;
};

struct ProcessSnapshot
{
    std::vector<ProcessEntry> processes;
    SystemError error;
};

struct ModuleSnapshot
{
    std::vector<ModuleEntry> modules;
    SystemError error;
};

struct WorkingSet
{
    std::uint64_t bytes = 0;
    SystemError error;
};

class Processes
{
public:
    virtual ~Processes() = default;

    /// CreateToolhelp32Snapshot(TH32CS_SNAPALL) walked with Process32First/Next: every
    /// process the user can see, in the system's order. An error leaves the list empty.
    virtual ProcessSnapshot snapshotProcesses() = 0;
    /// CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId) walked with Module32First/Next,
    /// the program's own file first. A process that has ended is an error; one whose modules
    /// may not be read gives an empty list.
    virtual ModuleSnapshot snapshotModules(win::DWORD processId) = 0;
    /// GetProcessMemoryInfo: the working-set size of a process in bytes.
    virtual WorkingSet workingSetSize(win::DWORD processId) = 0;
    /// OpenProcess(PROCESS_TERMINATE) and TerminateProcess: ends a process at once. With a
    /// `startTime` other than 0 only the process that started then is ended; when the
    /// identifier now belongs to another one, nothing happens and the error is
    /// ERROR_INVALID_PARAMETER, as for a process that has ended.
    virtual SystemError terminateProcess(win::DWORD processId, std::uint64_t startTime) = 0;
    /// GetCurrentProcessId.
    virtual win::DWORD currentProcessId() = 0;
};

} // namespace tw::platform
