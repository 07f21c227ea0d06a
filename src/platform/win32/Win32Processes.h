// Running processes through Tool Help, OpenProcess/TerminateProcess and PSAPI.
#pragma once

#include "platform/Processes.h"

namespace tw::win32 {

class Win32Processes final : public platform::Processes
{
public:
    platform::ProcessSnapshot snapshotProcesses() override;
    platform::ModuleSnapshot snapshotModules(win::DWORD processId) override;
    platform::WorkingSet workingSetSize(win::DWORD processId) override;
    platform::SystemError terminateProcess(win::DWORD processId, std::uint64_t startTime) override;
    win::DWORD currentProcessId() override;
};

} // namespace tw::win32
