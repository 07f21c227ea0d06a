#include "Win32Processes.h"

#include "UniqueHandle.h"
#include "WideText.h"

// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
// clang-format on

namespace tw::win32 {

namespace {

platform::SystemError errorOf(DWORD code)
{
    return {code, errorText(code)};
}

platform::SystemError lastError()
{
    return errorOf(GetLastError());
}

/// The creation time of a process as a FILETIME count; 0 when it cannot be read.
std::uint64_t creationTime(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

std::uint64_t startTimeOf(DWORD processId)
{
    const KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process ? creationTime(process.get()) : 0;
}

} // namespace

platform::ProcessSnapshot Win32Processes::snapshotProcesses()
{
    platform::ProcessSnapshot snapshot;
    const KernelHandle handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!handle) {
        snapshot.error = lastError();
        return snapshot;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(handle.get(), &entry); more;
         more = Process32NextW(handle.get(), &entry)) {
        platform::ProcessEntry process;
        process.usage = entry.cntUsage;
        process.processId = entry.th32ProcessID;
        process.moduleId = entry.th32ModuleID;
        process.threads = entry.cntThreads;
        process.parentProcessId = entry.th32ParentProcessID;
        process.basePriority = entry.pcPriClassBase;
        process.exeFile = fromWide(entry.szExeFile);
        process.startTime = startTimeOf(entry.th32ProcessID);
        snapshot.processes.push_back(std::move(process));
    }
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
        snapshot.processes.clear();
        snapshot.error = errorOf(error);
    }
    return snapshot;
}

platform::ModuleSnapshot Win32Processes::snapshotModules(win::DWORD processId)
{
    platform::ModuleSnapshot snapshot;
    KernelHandle handle(
        CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
    if (!handle) {
        const DWORD error = GetLastError();
        // A process that still runs but keeps its modules to itself gives an empty list.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_PARTIAL_COPY) {
            const KernelHandle process(
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
            DWORD code = 0;
            if (process && GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE)
                return snapshot;
        }
        snapshot.error = errorOf(error);
        return snapshot;
    }
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(handle.get(), &entry); more;
         more = Module32NextW(handle.get(), &entry)) {
        platform::ModuleEntry module;
        module.moduleId = entry.th32ModuleID;
        module.processId = entry.th32ProcessID;
        module.globalUsage = entry.GlblcntUsage;
        module.baseSize = entry.modBaseSize;
        module.module = fromWide(entry.szModule);
        module.exePath = fromWide(entry.szExePath);
        snapshot.modules.push_back(std::move(module));
    }
    return snapshot;
}

platform::WorkingSet Win32Processes::workingSetSize(win::DWORD processId)
{
    platform::WorkingSet result;
    const KernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        result.error = lastError();
        return result;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
        result.error = lastError();
        return result;
    }
    result.bytes = counters.WorkingSetSize;
    return result;
}

platform::SystemError Win32Processes::terminateProcess(win::DWORD processId,
                                                       std::uint64_t startTime)
{
    const KernelHandle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return lastError();
    if (startTime != 0 && creationTime(process.get()) != startTime)
        return errorOf(ERROR_INVALID_PARAMETER);
    // A handle kept elsewhere keeps an ended process openable; it counts as gone.
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.get(), &exitCode) && exitCode != STILL_ACTIVE)
        return errorOf(ERROR_INVALID_PARAMETER);
    if (!TerminateProcess(process.get(), 1))
        return lastError();
    return {};
}

win::DWORD Win32Processes::currentProcessId()
{
    return GetCurrentProcessId();
}

} // namespace tw::win32
