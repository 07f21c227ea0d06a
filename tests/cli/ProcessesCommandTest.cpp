// tidewell-cli processes on real processes: a host program and a Windows program under Wine.
#include "support/ChildProcess.h"
#include "support/CliFixture.h"
#include "support/WineSuite.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace tw::cli {
namespace {

using test::ChildProcess;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

template <class Ready> bool eventually(Ready ready)
{
    for (int i = 0; i < 12000; ++i) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

/// What a process's /proc entry holds; what was read so far when the process ended meanwhile
/// (a stream would throw then).
std::string procText(pid_t pid, const char* entry)
{
    const int fd =
        ::open(("/proc/" + std::to_string(pid) + "/" + entry).c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return text;
}

std::string taskName(pid_t pid)
{
    std::string name = procText(pid, "comm");
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

/// The first process with this task name whose environment holds `inEnvironment`; 0 when
/// there is none.
pid_t findProcess(const std::string& name, const std::string& inEnvironment)
{
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string file = entry.path().filename().string();
        if (file.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = std::stoi(file);
        if (taskName(pid) == name &&
            procText(pid, "environ").find(inEnvironment) != std::string::npos)
            return pid;
    }
    return 0;
}

/// `"key": value` as the JSON output writes it.
std::string field(const std::string& key, const std::string& value)
{
    return "\"" + key + "\": " + value;
}

class ProcessesCommandTest : public test::CliTest
{
protected:
    void SetUp() override { test::PrefixBuilder(dir.path() / "prefix").drive('z', "/"); }
    test::ProcessResult processes(std::vector<std::string> args)
    {
        args.insert(args.begin(), "processes");
        return cli(args);
    }
};

TEST_F(ProcessesCommandTest, ListShowsAStartedProgramWithItsPidAndParent)
{
    // Niceness 19 whatever the test's own is (nice clamps): base priority 4.
    ChildProcess child({"nice", "-n", "19", "sleep", "300"});
    ASSERT_TRUE(eventually([&] { return taskName(child.pid()) == "sleep"; }));
    const auto result = processes({"list", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("{\"processes\": [{\"name\": ")) << result.out;
    const std::string row = "{" + field("name", "\"sleep\"") + ", " +
                            field("pid", std::to_string(child.pid())) + ", " +
                            field("parentPid", std::to_string(::getpid())) +
                            ", \"moduleId\": 0, \"usage\": 0, \"threads\": 1, \"priority\": 4}";
    EXPECT_NE(result.out.find(row), std::string::npos) << result.out;

    const auto text = processes({"list"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find(" " + std::to_string(child.pid()) + " "), std::string::npos);
    EXPECT_NE(text.out.find("Process Total\xEF\xBC\x9A"), std::string::npos);
}

TEST_F(ProcessesCommandTest, ModulesListTheMappedFilesAndTheWorkingSet)
{
    ChildProcess child({"sleep", "300"});
    ASSERT_TRUE(eventually([&] { return taskName(child.pid()) == "sleep"; }));
    const auto result = processes({"modules", std::to_string(child.pid()), "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const fs::path exe = fs::read_symlink("/proc/" + std::to_string(child.pid()) + "/exe");
    std::string folder = "Z:" + exe.parent_path().string() + "/";
    std::string escaped;
    for (char c : folder)
        escaped += c == '/' ? std::string("\\\\") : std::string(1, c);
    EXPECT_TRUE(result.out.starts_with("{\"pid\": " + std::to_string(child.pid()) +
                                       ", \"modules\": [{\"name\": \"" + exe.filename().string() +
                                       "\", \"path\": \"" + escaped +
                                       "\", \"moduleId\": 1, \"sizeKB\": \""))
        << result.out;
    EXPECT_NE(result.out.find("{\"name\": \"libc.so.6\""), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("], \"memoryKB\": \""), std::string::npos) << result.out;
}

TEST_F(ProcessesCommandTest, KillEndsTheProcess)
{
    ChildProcess child({"sleep", "300"});
    ASSERT_TRUE(eventually([&] { return taskName(child.pid()) == "sleep"; }));
    const auto result = processes({"kill", std::to_string(child.pid())});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Terminated process " + std::to_string(child.pid()) + " (sleep)\n");
    const int status = child.wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    const auto again = processes({"kill", std::to_string(child.pid())});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("No process has the ID " + std::to_string(child.pid())),
              std::string::npos)
        << again.err;
}

TEST_F(ProcessesCommandTest, BadAndProtectedProcessIdsAreRefused)
{
    for (const char* word : {"abc", "12x", "", "99999999999"}) {
        const auto result = processes({"kill", word});
        EXPECT_EQ(result.exitCode, 2) << word;
        EXPECT_NE(result.err.find("is not a process ID"), std::string::npos) << result.err;
    }
    const auto init = processes({"kill", "1"});
    EXPECT_EQ(init.exitCode, 1);
    EXPECT_NE(init.err.find("Cannot terminate process 1 ("), std::string::npos) << init.err;
    const auto gone = processes({"modules", "4194304"});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.err.find("Oops..."), std::string::npos) << gone.err;
}

/// A Windows program in a throwaway Wine prefix.
class ProcessesWineTest : public test::WineSuite
{
protected:
    test::ProcessResult processes(std::vector<std::string> args)
    {
        args.insert(args.begin(), {test::cliPath(), "--prefix", prefix(), "processes"});
        return runProcess(args, {{"HOME", (root() / "home").string()}});
    }
};

TEST_F(ProcessesWineTest, AWindowsProgramShowsItsExeNameAndModulesAndCanBeEnded)
{
    // "pause" waits on the open input pipe.
    ChildProcess wine({"wine", "cmd", "/c", "pause"}, wineEnv());
    pid_t cmd = 0;
    ASSERT_TRUE(eventually(
        [&] { return (cmd = findProcess("cmd.exe", "WINEPREFIX=" + prefix() + '\0')) != 0; }));

    const auto list = processes({"list", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("{" + field("name", "\"cmd.exe\"") + ", " +
                            field("pid", std::to_string(cmd)) + ", "),
              std::string::npos)
        << list.out;
    // The program wine started is Wine's start.exe, a child of this test.
    EXPECT_NE(list.out.find("{" + field("name", "\"start.exe\"") + ", " +
                            field("pid", std::to_string(wine.pid())) + ", " +
                            field("parentPid", std::to_string(::getpid()))),
              std::string::npos)
        << list.out;
    EXPECT_EQ(list.out.find("preloader"), std::string::npos);

    const auto modules = processes({"modules", std::to_string(cmd), "--json"});
    ASSERT_EQ(modules.exitCode, 0) << modules.err;
    EXPECT_TRUE(modules.out.starts_with("{\"pid\": " + std::to_string(cmd) +
                                        ", \"modules\": [{\"name\": \"cmd.exe\", \"path\": \""))
        << modules.out;
    EXPECT_NE(modules.out.find("{\"name\": \"kernel32.dll\""), std::string::npos) << modules.out;
    EXPECT_NE(modules.out.find("{\"name\": \"ntdll.dll\""), std::string::npos) << modules.out;

    const auto kill = processes({"kill", std::to_string(cmd)});
    ASSERT_EQ(kill.exitCode, 0) << kill.err;
    EXPECT_EQ(kill.out, "Terminated process " + std::to_string(cmd) + " (cmd.exe)\n");
    EXPECT_TRUE(eventually([&] { return !fs::exists("/proc/" + std::to_string(cmd) + "/exe"); }));
}

} // namespace
} // namespace tw::cli
