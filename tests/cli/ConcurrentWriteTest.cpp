// tidewell-cli processes writing one prefix at the same time take turns and lose nothing.
#include "support/CliFixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace tw::cli {
namespace {

using test::cliPath;
using test::PrefixBuilder;
using test::readFile;

/// Starts `sh -c script args...` with its output going to `output`.
pid_t startShell(const std::string& script, const std::vector<std::string>& args,
                 const std::string& output)
{
    std::vector<std::string> argv = {"sh", "-c", script, "sh"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "sh", &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start sh");
    return pid;
}

class ConcurrentWriteTest : public test::CliTest
{
};

TEST_F(ConcurrentWriteTest, ConcurrentSetsTakeTurnsAndAllLand)
{
    PrefixBuilder(dir.path() / "prefix").fixtureHives("wine-8.0/fresh");
    // Each writer sets its own values one process after the other and reports which
    // commands succeeded ("ok NAME") and which were refused ("refused NAME: message").
    const std::string script = R"sh(
        cli=$1; prefix=$2; writer=$3; err=$4
        for i in $(seq 1 50); do
            if HOME=/nonexistent "$cli" --prefix "$prefix" reg set \
                   'HKLM\Software\Race' "w${writer}_$i" REG_SZ "$i" >/dev/null 2>"$err"; then
                echo "ok w${writer}_$i"
            else
                echo "refused w${writer}_$i: $(cat "$err")"
            fi
        done
    )sh";
    constexpr int kWriters = 4;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const std::string n = std::to_string(w);
        writers.push_back(startShell(script,
                                     {cliPath(), prefix(), n, (dir.path() / ("err" + n)).string()},
                                     (dir.path() / ("out" + n)).string()));
    }
    for (pid_t pid : writers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    // Tidewell's writers wait for one another: none is refused and every value is there.
    const auto query = cli({"reg", "query", "HKLM\\Software\\Race"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    int acknowledged = 0;
    for (int w = 0; w < kWriters; ++w) {
        std::istringstream lines(readFile(dir.path() / ("out" + std::to_string(w))));
        for (std::string line; std::getline(lines, line);) {
            ASSERT_EQ(line.rfind("ok ", 0), 0u) << line;
            const std::string name = line.substr(3);
            EXPECT_NE(query.out.find("    " + name + "    REG_SZ"), std::string::npos)
                << name << " was acknowledged but is lost";
            ++acknowledged;
        }
    }
    EXPECT_EQ(acknowledged, kWriters * 50);
}

} // namespace
} // namespace tw::cli
