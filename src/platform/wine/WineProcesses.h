// The processes of the host, read from /proc, with module paths on the prefix's drives.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/Processes.h"

#include <string>

namespace tw::wine {

class WinePathMapper;

/// Process names: a Wine program's Windows file name (Wine puts the Windows command line in
/// argv), else the kernel's name of the task, completed from argv[0] where the kernel cut it.
/// Base priority from the scheduling class and nice value (see basePriorityOf). Modules: one
/// per file mapped into the process (/proc/PID/maps), its size the sum of its mappings.
/// Working set: the resident size. Termination: SIGKILL, as TerminateProcess gives the
/// process no say.
class WineProcesses final : public platform::Processes
{
public:
    /// `paths` names module files by the prefix's drives; it must outlive this object.
    explicit WineProcesses(const WinePathMapper& paths) : m_paths(paths) {}

    platform::ProcessSnapshot snapshotProcesses() override;
    platform::ModuleSnapshot snapshotModules(win::DWORD processId) override;
    platform::WorkingSet workingSetSize(win::DWORD processId) override;
    platform::SystemError terminateProcess(win::DWORD processId, std::uint64_t startTime) override;
    win::DWORD currentProcessId() override;

    /// The Windows path of a host file: on a drive of the prefix ("Z:\usr\lib\libc.so.6"),
    /// else in Wine's form for files outside every drive ("\\?\unix\usr\lib\libc.so.6").
    std::string windowsPath(const std::string& hostPath) const;

private:
    const WinePathMapper& m_paths;
};

/// pcPriClassBase for a scheduling policy (SCHED_*) and nice value: real-time policies 24;
/// SCHED_IDLE 4; else by nice: up to -15 high (13), -14 to -5 above normal (10), -4 to 4
/// normal (8), 5 to 14 below normal (6), 15 and more idle (4).
win::LONG basePriorityOf(int policy, int nice);

/// The whole of a /proc file, read with plain reads (a stream throws when the process ends
/// under it); errno tells why when it is empty and `ok` is false.
std::string readProcFile(const std::string& path, bool& ok);
std::string readProcFile(const std::string& path);

} // namespace tw::wine
