#include "platform/win32/Win32Programs.h"

#include "LiveStore.h"
#include "SelfProcess.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

namespace tw::win32 {
namespace {

namespace fs = std::filesystem;

/// A fresh folder under the temp folder, removed with everything in it at the end.
class TempFolder
{
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = fs::path(base) / ("tidewell-programs-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

platform::ProgramStart waitedStart(std::string line, bool capture)
{
    platform::ProgramStart start;
    start.commandLine = std::move(line);
    start.show = platform::ShowCommand::Hide;
    start.wait = true;
    start.captureOutput = capture;
    return start;
}

TEST(Win32ProgramsTest, waitsForABareNameAndCapturesItsOutputAndExitCode)
{
    test::LiveStore store;
    Win32Programs programs(store.storage);
    EXPECT_EQ(programs.startRefusal("cmd.exe /c echo hello & exit 3"), "");
    store.changePending();

    const platform::ProgramRun run =
        programs.start(waitedStart("cmd.exe /c echo hello& exit 3", true));
    ASSERT_TRUE(run.started()) << run.error;
    EXPECT_EQ(run.output, "hello\r\n");
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_FALSE(run.process);
    EXPECT_TRUE(store.changeWasSaved()) << "the program sees the registry as it is";
    EXPECT_FALSE(programs.busy());

    // Without capture the program still runs to its end and gives its exit code.
    const platform::ProgramRun quiet = programs.start(waitedStart("cmd /c exit 7", false));
    ASSERT_TRUE(quiet.started()) << quiet.error;
    EXPECT_EQ(quiet.exitCode, 7u);
    EXPECT_EQ(quiet.output, "");
}

TEST(Win32ProgramsTest, readsOutputLargerThanThePipeHolds)
{
    TempFolder folder;
    const fs::path file = folder.path() / "large.txt";
    std::string text;
    for (int line = 0; line < 20000; ++line)
        text += "line " + std::to_string(line) + "\r\n";
    std::ofstream(file, std::ios::binary) << text;

    test::LiveStore store;
    Win32Programs programs(store.storage);
    const platform::ProgramRun run =
        programs.start(waitedStart("cmd.exe /c type \"" + file.string() + "\"", true));
    ASSERT_TRUE(run.started()) << run.error;
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output.size(), text.size());
    EXPECT_EQ(run.output, text);
}

TEST(Win32ProgramsTest, refusesAMissingProgramAndSaysWhy)
{
    test::LiveStore store;
    Win32Programs programs(store.storage);
    store.changePending();
    const std::string line = "C:\\tidewell-missing\\nothing.exe /quiet";
    const std::string refusal = programs.startRefusal(line);
    EXPECT_NE(refusal.find("C:\\tidewell-missing\\nothing.exe"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("not found"), std::string::npos) << refusal;

    const platform::ProgramRun run = programs.start(waitedStart(line, false));
    EXPECT_FALSE(run.started());
    EXPECT_EQ(run.error, refusal);
    EXPECT_FALSE(store.changeWasSaved()) << "a refused start saves nothing";

    EXPECT_NE(programs.startRefusal("tidewell-no-such-program.exe"), "");
    EXPECT_NE(programs.startRefusal("   "), "");
}

TEST(Win32ProgramsTest, staysBusyUntilItsProgramsEnd)
{
    test::LiveStore store;
    Win32Programs programs(store.storage);
    EXPECT_FALSE(programs.busy());

    platform::ProgramStart start;
    start.commandLine = "cmd.exe /c exit 5";
    start.show = platform::ShowCommand::Hide;
    const platform::ProgramRun run = programs.start(start);
    ASSERT_TRUE(run.started()) << run.error;
    ASSERT_TRUE(run.process);

    programs.waitUntilIdle();
    EXPECT_TRUE(run.process->hasEnded());
    EXPECT_EQ(run.process->exitCode(), 5u);
    EXPECT_FALSE(programs.busy());
}

} // namespace
} // namespace tw::win32
