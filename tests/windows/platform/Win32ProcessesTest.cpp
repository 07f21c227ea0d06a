#include "platform/win32/Win32Processes.h"

#include "LiveStore.h"
#include "SelfProcess.h"
#include "platform/win32/Win32Programs.h"

#include <algorithm>
#include <cwctype>
#include <gtest/gtest.h>
#include <optional>
#include <windows.h>

namespace tw::win32 {
namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<platform::ProcessEntry> childOfOurs(Win32Processes& processes)
{
    const platform::ProcessSnapshot snapshot = processes.snapshotProcesses();
    for (const platform::ProcessEntry& entry : snapshot.processes) {
        if (entry.parentProcessId == GetCurrentProcessId() &&
            lower(entry.exeFile) == lower(test::selfFileName()))
            return entry;
    }
    return std::nullopt;
}

/// Ends a sleeping child that a failed check left behind.
struct ChildGuard
{
    DWORD processId = 0;
    ~ChildGuard()
    {
        if (const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
};

TEST(Win32ProcessesTest, seesThisProcessWithItsModulesAndMemory)
{
    Win32Processes processes;
    EXPECT_EQ(processes.currentProcessId(), GetCurrentProcessId());

    const platform::ProcessSnapshot snapshot = processes.snapshotProcesses();
    ASSERT_FALSE(snapshot.error) << snapshot.error.text;
    const auto self = std::find_if(
        snapshot.processes.begin(), snapshot.processes.end(),
        [](const platform::ProcessEntry& e) { return e.processId == GetCurrentProcessId(); });
    ASSERT_NE(self, snapshot.processes.end());
    EXPECT_EQ(lower(self->exeFile), lower(test::selfFileName()));
    EXPECT_GT(self->threads, 0u);
    EXPECT_NE(self->startTime, 0u);

    const platform::ModuleSnapshot modules = processes.snapshotModules(GetCurrentProcessId());
    ASSERT_FALSE(modules.error) << modules.error.text;
    ASSERT_GT(modules.modules.size(), 1u);
    EXPECT_EQ(lower(modules.modules.front().module), lower(test::selfFileName()));
    EXPECT_EQ(lower(modules.modules.front().exePath), lower(test::selfPath()));
    EXPECT_GT(modules.modules.front().baseSize, 0u);
    const bool hasKernel32 = std::any_of(
        modules.modules.begin(), modules.modules.end(),
        [](const platform::ModuleEntry& m) { return lower(m.module) == "kernel32.dll"; });
    EXPECT_TRUE(hasKernel32);

    const platform::WorkingSet workingSet = processes.workingSetSize(GetCurrentProcessId());
    ASSERT_FALSE(workingSet.error) << workingSet.error.text;
    EXPECT_GT(workingSet.bytes, 0u);
}

TEST(Win32ProcessesTest, endsOnlyTheProcessThatStartedAtTheGivenTime)
{
    test::LiveStore store;
    Win32Programs programs(store.storage);
    Win32Processes processes;
    const platform::ProgramRun run = programs.start({test::selfSleepCommandLine()});
    ASSERT_TRUE(run.started()) << run.error;
    ASSERT_TRUE(run.process);

    const std::optional<platform::ProcessEntry> child = childOfOurs(processes);
    ASSERT_TRUE(child.has_value());
    const ChildGuard guard{child->processId};
    ASSERT_NE(child->startTime, 0u);

    const platform::SystemError wrongTime =
        processes.terminateProcess(child->processId, child->startTime + 1);
    EXPECT_EQ(wrongTime.code, static_cast<win::DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(wrongTime.text.empty());
    EXPECT_FALSE(run.process->hasEnded());
    EXPECT_EQ(run.process->exitCode(), platform::kStillActive);
    EXPECT_TRUE(programs.busy());

    const platform::SystemError ended =
        processes.terminateProcess(child->processId, child->startTime);
    EXPECT_FALSE(ended) << ended.text;
    run.process->wait();
    EXPECT_TRUE(run.process->hasEnded());
    EXPECT_EQ(run.process->exitCode(), 1u);
    EXPECT_FALSE(programs.busy());

    // An ended process is not ended again, and has no modules.
    EXPECT_EQ(processes.terminateProcess(child->processId, 0).code,
              static_cast<win::DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(processes.snapshotModules(child->processId).error);
}

} // namespace
} // namespace tw::win32
