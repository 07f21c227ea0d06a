// The process manager's service on real processes of the host, and its column sort.
#include "tools/processes/ProcessManager.h"

#include "platform/wine/WineProcesses.h"
#include "support/ChildProcess.h"
#include "support/PrefixFixture.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sched.h>
#include <thread>

namespace tw {
namespace {

using test::ChildProcess;

const std::string kColon = "\xEF\xBC\x9A";

/// Waits (without a limit that a slow machine could hit) until `ready` holds.
template <class Ready> bool eventually(Ready ready)
{
    for (int i = 0; i < 6000; ++i) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string taskName(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

/// Starts a program and waits until it runs as itself (the fork has become the program).
std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv, const std::string& name)
{
    auto child = std::make_unique<ChildProcess>(argv);
    const pid_t pid = child->pid();
    EXPECT_TRUE(eventually([&] { return taskName(pid) == name; })) << argv[0] << " did not start";
    return child;
}

const ListRow* rowOf(const ListRows& listing, pid_t pid)
{
    for (const ListRow& row : listing.rows) {
        if (row.texts[kPidColumn] == std::to_string(pid))
            return &row;
    }
    return nullptr;
}

class ProcessManagerTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.drive('z', "/"); }
};

TEST_F(ProcessManagerTest, ListsAStartedProgramWithItsParentThreadsAndPriority)
{
    // Niceness 19 whatever the test's own is (nice clamps): base priority 4.
    const auto child = start({"nice", "-n", "19", "sleep", "300"}, "sleep");
    const ListRows listing = listProcesses(*session);
    ASSERT_EQ(listing.error, "");
    const ListRow* row = rowOf(listing, child->pid());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->texts,
              (std::vector<std::string>{"sleep", std::to_string(child->pid()),
                                        std::to_string(::getpid()), "0", "0", "1", "4"}));
    EXPECT_NE(row->startTime, 0u);
    // This test program too, with its own name and its threads.
    const ListRow* self = rowOf(listing, ::getpid());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->texts[0], taskName(::getpid()));
    EXPECT_EQ(processTotalText(3), "Process Total" + kColon + "3");
}

TEST_F(ProcessManagerTest, ModulesAreTheMappedFilesWithTheProgramFirst)
{
    const auto child = start({"sleep", "300"}, "sleep");
    // The program's name changes at exec, before the loader has mapped its libraries.
    ListRows modules;
    const auto hasLibc = [&] {
        modules = listModules(*session, static_cast<win::DWORD>(child->pid()));
        return std::any_of(modules.rows.begin(), modules.rows.end(),
                           [](const ListRow& row) { return row.texts[0].starts_with("libc.so"); });
    };
    EXPECT_TRUE(eventually(hasLibc));
    ASSERT_EQ(modules.error, "");
    ASSERT_GE(modules.rows.size(), 2u);
    char target[4096] = {};
    ASSERT_GT(::readlink(("/proc/" + std::to_string(child->pid()) + "/exe").c_str(), target,
                         sizeof target - 1),
              0);
    const std::string exe = target;
    const std::string folder = "Z:" + exe.substr(0, exe.rfind('/') + 1);
    std::string windowsFolder = folder;
    std::replace(windowsFolder.begin(), windowsFolder.end(), '/', '\\');
    const ListRow& first = modules.rows.front();
    EXPECT_EQ(first.texts[0], exe.substr(exe.rfind('/') + 1));
    EXPECT_EQ(first.texts[1], windowsFolder);
    EXPECT_EQ(first.texts[2], "1");
    EXPECT_EQ(first.texts[4], "65535");
    bool libc = false;
    for (const ListRow& row : modules.rows) {
        EXPECT_EQ(row.texts[1].back(), '\\') << row.texts[1];
        EXPECT_GT(std::stod(row.texts[3]), 0.0) << row.texts[0];
        libc |= row.texts[0].starts_with("libc.so");
    }
    EXPECT_TRUE(libc);
    // The size of a file is the sum of its mappings, in KB.
    std::ifstream maps("/proc/" + std::to_string(child->pid()) + "/maps");
    std::uint64_t bytes = 0;
    for (std::string line; std::getline(maps, line);) {
        if (line.ends_with(" " + exe)) {
            const auto dash = line.find('-');
            const auto space = line.find(' ');
            bytes += std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16) -
                     std::stoull(line.substr(0, dash), nullptr, 16);
        }
    }
    EXPECT_EQ(first.texts[3], formatGeneral(static_cast<double>(bytes) / 1024.0));
    EXPECT_EQ(moduleTotalText(modules.rows.size()),
              "the process module total" + kColon + std::to_string(modules.rows.size()));
}

TEST_F(ProcessManagerTest, FilesOffEveryDriveHaveWinesUnixForm)
{
    // A prefix without a drive for the host's root.
    test::TempDir other;
    test::PrefixBuilder builder(other.path() / "prefix");
    wine::WinePrefix bare((other.path() / "prefix").string());
    EXPECT_EQ(bare.processes().windowsPath("/usr/lib/x86_64-linux-gnu/libc.so.6"),
              "\\\\?\\unix\\usr\\lib\\x86_64-linux-gnu\\libc.so.6");
    EXPECT_EQ(prefix->processes().windowsPath(driveC().string() + "/windows"), "C:\\windows");
}

TEST_F(ProcessManagerTest, MemoryIsTheResidentSizeWhileTheProcessRuns)
{
    auto child = start({"sleep", "300"}, "sleep");
    const win::DWORD pid = static_cast<win::DWORD>(child->pid());
    const std::string text = memoryText(*session, pid, "sleep");
    ASSERT_TRUE(text.starts_with("sleep Memory" + kColon)) << text;
    ASSERT_TRUE(text.ends_with(" KB")) << text;
    EXPECT_GT(std::stod(text.substr(12 + kColon.size())), 0.0) << text;

    ::kill(child->pid(), SIGKILL);
    child->wait();
    EXPECT_EQ(memoryText(*session, pid, "sleep"), "Get Memory Errors");
    const ListRows modules = listModules(*session, pid);
    EXPECT_TRUE(modules.rows.empty());
    EXPECT_EQ(modules.error, "Oops...No such process");
}

TEST_F(ProcessManagerTest, ModulesThatMayNotBeReadGiveAnEmptyList)
{
    std::ifstream maps("/proc/1/maps");
    std::string line;
    if (std::getline(maps, line))
        GTEST_SKIP() << "this user may read the modules of process 1";
    const ListRows modules = listModules(*session, 1);
    EXPECT_EQ(modules.error, "");
    EXPECT_TRUE(modules.rows.empty());
}

TEST_F(ProcessManagerTest, TerminateEndsTheListedProcessAtOnce)
{
    auto child = start({"sleep", "300"}, "sleep");
    const ListRows listing = listProcesses(*session);
    const ListRow* row = rowOf(listing, child->pid());
    ASSERT_NE(row, nullptr);
    const TerminateResult result =
        terminateProcess(*session, static_cast<win::DWORD>(child->pid()), row->startTime);
    EXPECT_EQ(result.outcome, TerminateOutcome::Terminated) << result.message;
    const int status = child->wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST_F(ProcessManagerTest, AStaleRowDoesNotEndTheProcessThatNowHasItsPid)
{
    auto child = start({"sleep", "300"}, "sleep");
    const ListRow* row = nullptr;
    const ListRows listing = listProcesses(*session);
    row = rowOf(listing, child->pid());
    ASSERT_NE(row, nullptr);
    // The row's process was another one that started earlier under the same PID.
    const TerminateResult result =
        terminateProcess(*session, static_cast<win::DWORD>(child->pid()), row->startTime - 1);
    EXPECT_EQ(result.outcome, TerminateOutcome::Failed);
    EXPECT_NE(result.message.find("ended"), std::string::npos) << result.message;
    EXPECT_TRUE(child->running());
}

TEST_F(ProcessManagerTest, NeitherItselfNorTheFirstProcessIsEnded)
{
    const TerminateResult self = terminateProcess(*session, static_cast<win::DWORD>(::getpid()), 0);
    EXPECT_EQ(self.outcome, TerminateOutcome::Refused);
    EXPECT_EQ(self.message, "Tidewell does not terminate itself.");
    const TerminateResult init = terminateProcess(*session, 1, 0);
    EXPECT_EQ(init.outcome, TerminateOutcome::Failed);
    EXPECT_FALSE(init.message.empty());
    // A PID no process has.
    auto child = start({"sleep", "300"}, "sleep");
    const win::DWORD pid = static_cast<win::DWORD>(child->pid());
    ::kill(child->pid(), SIGKILL);
    child->wait();
    const TerminateResult gone = terminateProcess(*session, pid, 0);
    EXPECT_EQ(gone.outcome, TerminateOutcome::Failed);
    EXPECT_EQ(gone.message, "No such process");
}

TEST(BasePriority, FollowsTheSchedulingClassAndNiceValue)
{
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, 0), 8);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, 4), 8);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, -4), 8);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, 5), 6);
    EXPECT_EQ(wine::basePriorityOf(SCHED_BATCH, 14), 6);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, 15), 4);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, 19), 4);
    EXPECT_EQ(wine::basePriorityOf(SCHED_IDLE, 0), 4);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, -5), 10);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, -14), 10);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, -15), 13);
    EXPECT_EQ(wine::basePriorityOf(SCHED_OTHER, -20), 13);
    EXPECT_EQ(wine::basePriorityOf(SCHED_FIFO, 0), 24);
    EXPECT_EQ(wine::basePriorityOf(SCHED_RR, 10), 24);
}

TEST(GeneralFormat, HasNoTrailingZerosAndFifteenDigits)
{
    EXPECT_EQ(formatGeneral(64), "64");
    EXPECT_EQ(formatGeneral(12.5), "12.5");
    EXPECT_EQ(formatGeneral(0), "0");
    EXPECT_EQ(formatGeneral(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(formatGeneral(4194304.25), "4194304.25");
}

// The sort: texts of one column, the shared direction flags of the session.

std::vector<ListRow> rowsOf(const std::vector<std::vector<std::string>>& texts)
{
    std::vector<ListRow> rows;
    for (const auto& t : texts)
        rows.push_back({t, 0});
    return rows;
}

std::vector<std::string> column(const std::vector<ListRow>& rows, size_t index)
{
    std::vector<std::string> texts;
    for (const ListRow& row : rows)
        texts.push_back(row.texts[index]);
    return texts;
}

class ProcessSortTest : public test::PrefixTest
{
protected:
    std::vector<ListRow> processes = rowsOf({{"bash", "20", "1", "0", "0", "1", "8"},
                                             {"Xorg", "100", "1", "0", "0", "3", "13"},
                                             {"apache", "3", "1", "0", "0", "12", "6"},
                                             {"Bash", "7", "20", "0", "0", "1", "8"}});
    std::vector<ListRow> modules = rowsOf({{"libc.so.6", "Z:\\usr\\lib\\", "1", "20", "65535"},
                                           {"cmd.exe", "C:\\windows\\", "1", "100", "65535"},
                                           {"Ld.so", "Z:\\lib\\", "1", "4.5", "65535"}});
};

TEST_F(ProcessSortTest, NamesSortAToZFirstAndNumbersLargestFirst)
{
    sortRows(*session, ProcessListKind::Processes, processes, 0);
    EXPECT_EQ(column(processes, 0), (std::vector<std::string>{"apache", "bash", "Bash", "Xorg"}));
    EXPECT_EQ(session->ProcessSortKind, 0);
    sortRows(*session, ProcessListKind::Processes, processes, 1);
    EXPECT_EQ(column(processes, 1), (std::vector<std::string>{"100", "20", "7", "3"}));
    EXPECT_EQ(session->ProcessSortKind, 1);
    // A column sorts as numbers, not as text.
    sortRows(*session, ProcessListKind::Processes, processes, 5);
    EXPECT_EQ(column(processes, 5), (std::vector<std::string>{"12", "3", "1", "1"}));
}

TEST_F(ProcessSortTest, TheSecondClickReversesTheOrder)
{
    sortRows(*session, ProcessListKind::Processes, processes, 1);
    EXPECT_TRUE(session->ProcessSortFlags[1]);
    sortRows(*session, ProcessListKind::Processes, processes, 1);
    EXPECT_FALSE(session->ProcessSortFlags[1]);
    EXPECT_EQ(column(processes, 1), (std::vector<std::string>{"3", "7", "20", "100"}));
    sortRows(*session, ProcessListKind::Processes, processes, 0);
    sortRows(*session, ProcessListKind::Processes, processes, 0);
    EXPECT_EQ(column(processes, 0), (std::vector<std::string>{"Xorg", "Bash", "bash", "apache"}));
}

TEST_F(ProcessSortTest, TheListsShareTheFlagOfAColumnIndex)
{
    sortRows(*session, ProcessListKind::Processes, processes, 1);
    // The module list's column 1 now sorts the other way round: Z to A.
    sortRows(*session, ProcessListKind::Modules, modules, 1);
    EXPECT_EQ(column(modules, 1),
              (std::vector<std::string>{"Z:\\usr\\lib\\", "Z:\\lib\\", "C:\\windows\\"}));
    // ...and turned the flag back, so the PIDs come largest first again.
    sortRows(*session, ProcessListKind::Processes, processes, 1);
    EXPECT_EQ(column(processes, 1), (std::vector<std::string>{"100", "20", "7", "3"}));
}

TEST_F(ProcessSortTest, ModuleSizesSortAsTextAndNamesAsText)
{
    sortRows(*session, ProcessListKind::Modules, modules, 3);
    EXPECT_EQ(column(modules, 3), (std::vector<std::string>{"100", "20", "4.5"}));
    sortRows(*session, ProcessListKind::Modules, modules, 0);
    EXPECT_EQ(column(modules, 0), (std::vector<std::string>{"cmd.exe", "Ld.so", "libc.so.6"}));
}

TEST(WholeNumberComparison, FollowsTheConversionRules)
{
    EXPECT_EQ(compareWholeNumbers("5", "10"), 1);
    EXPECT_EQ(compareWholeNumbers("10", "5"), -1);
    EXPECT_EQ(compareWholeNumbers("-3", "2"), 1);
    EXPECT_EQ(compareWholeNumbers("7", "7"), 0);
    // Neither converts: equal, whatever the texts.
    EXPECT_EQ(compareWholeNumbers("abc", "xyz"), 0);
    EXPECT_EQ(compareWholeNumbers("12x", "3y"), 0);
    EXPECT_EQ(compareWholeNumbers("", ""), 0);
    // One converts: the other counts as its leading digits.
    EXPECT_EQ(compareWholeNumbers("12x", "3"), -1);
    EXPECT_EQ(compareWholeNumbers("abc", "3"), 1);
    EXPECT_EQ(compareWholeNumbers("", "0"), 0);
    // Beyond 32 bits does not convert.
    EXPECT_EQ(compareWholeNumbers("4294967295", "4294967296"), 0);
    EXPECT_EQ(compareWholeNumbers("2147483647", "2147483648"), 0);
    EXPECT_EQ(compareWholeNumbers("2147483647", "1"), -1);
}

TEST(TextComparison, IsCaseSensitiveInLinguisticOrder)
{
    EXPECT_LT(compareText("apple", "Banana"), 0);
    EXPECT_LT(compareText("Banana", "cherry"), 0);
    EXPECT_LT(compareText("abc", "Abc"), 0);
    EXPECT_GT(compareText("Abc", "abc"), 0);
    EXPECT_EQ(compareText("same", "same"), 0);
    EXPECT_LT(compareText("ab", "abc"), 0);
    EXPECT_LT(compareText("100", "20"), 0);
}

TEST_F(ProcessSortTest, ColumnsThatAreNotNumbersAreNotScrambledByTheNumberSort)
{
    std::vector<ListRow> rows = rowsOf({{"a", "x"}, {"b", "7"}, {"c", "y"}, {"d", "12"}});
    sortRows(*session, ProcessListKind::Processes, rows, 1);
    ASSERT_EQ(rows.size(), 4u);
    // Whatever order a comparison that is no order gives, every row is still there once.
    std::vector<std::string> names = column(rows, 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "d"}));
}

} // namespace
} // namespace tw
