// Windows programs started in a real prefix with real Wine, and the registry they change.
#include "platform/wine/WinePrograms.h"

#include "platform/wine/WineLoader.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "platform/wine/WineServer.h"
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tw::wine {

using namespace tw::win;
namespace {

using platform::KeyHandle;
using platform::ProgramRun;
using platform::ProgramStart;
using platform::ShowCommand;
namespace fs = std::filesystem;

LONG setUserValue(WineRegistry& registry, const std::string& key, const std::string& name,
                  const std::string& text)
{
    KeyHandle handle(registry);
    if (const LONG rc = registry.createKey(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS, handle.out()))
        return rc;
    return registry.setValue(handle.get(), name, REG_SZ, text + '\0');
}

std::string userValue(WineRegistry& registry, const std::string& key, const std::string& name)
{
    KeyHandle handle(registry);
    if (registry.openKey(HKEY_CURRENT_USER, key, KEY_READ, handle.out()) != ERROR_SUCCESS)
        return "<no key>";
    std::string data;
    if (registry.queryValue(handle.get(), name, nullptr, &data) != ERROR_SUCCESS)
        return "<no value>";
    return data.substr(0, data.find('\0'));
}

/// Sets PATH for the scope.
class PathOverride
{
public:
    explicit PathOverride(const std::string& path)
    {
        if (const char* old = std::getenv("PATH"))
            m_old = old;
        ::setenv("PATH", path.c_str(), 1);
    }
    ~PathOverride() { ::setenv("PATH", m_old.c_str(), 1); }

private:
    std::string m_old;
};

class WinePrograms : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!test::wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        const std::string error = test::copyBootedPrefix(prefixDir());
        ASSERT_EQ(error, "");
        prefix = std::make_unique<WinePrefix>(prefixDir().string());
    }
    void TearDown() override
    {
        if (fs::exists(prefixDir()))
            test::stopWine(prefixDir());
    }
    fs::path prefixDir() const { return dir.path() / "prefix"; }
    ProgramRun run(const std::string& line, bool wait = true, bool capture = false)
    {
        ProgramStart start;
        start.commandLine = line;
        start.show = ShowCommand::Hide;
        start.wait = wait;
        start.captureOutput = capture;
        return prefix->programs().start(start);
    }

    test::TempDir dir;
    std::unique_ptr<WinePrefix> prefix;
};

TEST_F(WinePrograms, RegistryIsWinesWhileItRunsAndReadAgainWhenItEnds)
{
    WineRegistry& registry = prefix->registry();
    // A change of ours made before the start, not yet saved.
    ASSERT_EQ(setUserValue(registry, "Software\\TidewellOurs", "Before", "ours"), ERROR_SUCCESS);
    ASSERT_TRUE(prefix->hasUnsavedChanges());

    const ProgramRun added = run(R"(reg add HKCU\Software\FromWine /v Made /d "by wine" /f)");
    ASSERT_TRUE(added.started()) << added.error;
    EXPECT_EQ(added.exitCode, 0u);
    EXPECT_FALSE(prefix->hasUnsavedChanges()) << "saved before the start";

    // Wine holds the registry: a change now is refused whole, nothing is pending.
    EXPECT_TRUE(prefix->isReadOnly());
    EXPECT_NE(prefix->storage().readOnlyReason().find("wineserver -k"), std::string::npos);
    EXPECT_EQ(setUserValue(registry, "Software\\TidewellOurs", "During", "refused"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(setUserValue(registry, "Software\\TidewellNew", "During", "refused"),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(prefix->hasUnsavedChanges());
    EXPECT_FALSE(prefix->storage().refresh()) << "Wine still runs";

    prefix->programs().waitUntilIdle();
    EXPECT_FALSE(runningWineserver(prefixDir().string()));
    EXPECT_FALSE(prefix->isReadOnly()) << prefix->readOnlyReason();
    EXPECT_EQ(userValue(registry, "Software\\FromWine", "Made"), "by wine");
    EXPECT_EQ(userValue(registry, "Software\\TidewellOurs", "Before"), "ours");
    EXPECT_EQ(userValue(registry, "Software\\TidewellNew", "During"), "<no key>");

    // Changes can be made again, and both sides' changes are in the files.
    ASSERT_EQ(setUserValue(registry, "Software\\TidewellOurs", "After", "later"), ERROR_SUCCESS);
    prefix->save();
    WinePrefix reopened(prefixDir().string());
    EXPECT_EQ(userValue(reopened.registry(), "Software\\FromWine", "Made"), "by wine");
    EXPECT_EQ(userValue(reopened.registry(), "Software\\TidewellOurs", "Before"), "ours");
    EXPECT_EQ(userValue(reopened.registry(), "Software\\TidewellOurs", "After"), "later");
}

TEST_F(WinePrograms, RefreshWaitsForTheWineserverAfterTheProgramEnded)
{
    ASSERT_TRUE(run(R"(reg add HKCU\Software\Polled /v Made /d yes /f)").started());
    // The program has ended; the wineserver lingers and writes the registry when it stops.
    EXPECT_TRUE(prefix->programs().busy());
    test::stopWine(prefixDir());
    EXPECT_FALSE(prefix->programs().busy());
    EXPECT_TRUE(prefix->storage().refresh());
    EXPECT_FALSE(prefix->isReadOnly());
    EXPECT_EQ(userValue(prefix->registry(), "Software\\Polled", "Made"), "yes");
    EXPECT_FALSE(prefix->storage().refresh()) << "nothing changed since";
}

TEST_F(WinePrograms, RefreshWaitsUntilNoKeyIsOpen)
{
    ASSERT_TRUE(run(R"(reg add HKCU\Software\Later /v Made /d yes /f)").started());
    test::stopWine(prefixDir());
    {
        KeyHandle open(prefix->registry());
        ASSERT_EQ(prefix->registry().openKey(HKEY_CURRENT_USER, "Software", KEY_READ, open.out()),
                  ERROR_SUCCESS);
        EXPECT_FALSE(prefix->storage().refresh());
        EXPECT_TRUE(prefix->isReadOnly());
    }
    EXPECT_TRUE(prefix->storage().refresh());
    EXPECT_EQ(userValue(prefix->registry(), "Software\\Later", "Made"), "yes");
}

TEST_F(WinePrograms, WaitsAndCapturesOutputAndExitCode)
{
    const ProgramRun echo = run("cmd /c echo hello from wine", true, true);
    ASSERT_TRUE(echo.started()) << echo.error;
    EXPECT_NE(echo.output.find("hello from wine"), std::string::npos) << echo.output;
    EXPECT_EQ(echo.exitCode, 0u);

    const ProgramRun failed = run("cmd.exe /c exit 7");
    ASSERT_TRUE(failed.started()) << failed.error;
    EXPECT_EQ(failed.exitCode, 7u);
    EXPECT_EQ(failed.process, nullptr);
}

TEST_F(WinePrograms, EachProgramStartsWithTheLoaderOfItsArchitecture)
{
    const fs::path windows = prefixDir() / "drive_c/windows";
    EXPECT_EQ(peMachine((windows / "system32/cmd.exe").string()), Machine::X64);
    test::writeFile(dir.path() / "text.exe", "MZ but nothing more");
    EXPECT_EQ(peMachine((dir.path() / "text.exe").string()), Machine::Unknown);
    EXPECT_EQ(peMachine((dir.path() / "missing.exe").string()), Machine::Unknown);

    // The system programs of a 64-bit prefix are 64-bit ones, even where `wine` is the 32-bit
    // loader.
    const ProgramRun native = run("cmd /c echo %PROCESSOR_ARCHITECTURE%", true, true);
    ASSERT_TRUE(native.started()) << native.error;
    EXPECT_EQ(native.output.substr(0, 5), "AMD64") << native.output;
    if (test::wineRuns32Bit()) {
        EXPECT_EQ(peMachine((windows / "syswow64/cmd.exe").string()), Machine::X86);
        const ProgramRun wow64 =
            run("C:\\windows\\syswow64\\cmd.exe /c echo %PROCESSOR_ARCHITECTURE%", true, true);
        ASSERT_TRUE(wow64.started()) << wow64.error;
        EXPECT_EQ(wow64.output.substr(0, 3), "x86") << wow64.output;
    }
    prefix->programs().waitUntilIdle();

    // A prefix booted before wine32 was installed has no 32-bit system programs: its own
    // programs start all the same.
    for (const auto& entry : fs::directory_iterator(windows / "syswow64"))
        fs::remove_all(entry.path());
    const ProgramRun booted64 = run("cmd /c echo still starts", true, true);
    ASSERT_TRUE(booted64.started()) << booted64.error;
    EXPECT_NE(booted64.output.find("still starts"), std::string::npos) << booted64.output;
}

TEST_F(WinePrograms, StartWithoutWaitingHandsBackTheRunningProgram)
{
    const ProgramRun started = run(R"(C:\windows\system32\cmd.exe /c exit 3)", false);
    ASSERT_TRUE(started.started()) << started.error;
    ASSERT_NE(started.process, nullptr);
    EXPECT_TRUE(prefix->isReadOnly());
    started.process->wait();
    EXPECT_TRUE(started.process->hasEnded());
    EXPECT_EQ(started.process->exitCode(), 3u);
    prefix->programs().waitUntilIdle();
    EXPECT_FALSE(prefix->programs().busy());
    EXPECT_FALSE(prefix->isReadOnly());
}

TEST_F(WinePrograms, ProgramPathsWithBlanksQuotedOrNot)
{
    const fs::path folder = prefixDir() / "drive_c" / "Program Files" / "Tidewell Test";
    fs::create_directories(folder);
    fs::copy_file(prefixDir() / "drive_c/windows/system32/reg.exe", folder / "reg.exe");

    const ProgramRun quoted = run(
        R"("C:\Program Files\Tidewell Test\reg.exe" add "HKCU\Software\Quoted Key" /v "A b" /d "c \"d\"" /f)");
    ASSERT_TRUE(quoted.started()) << quoted.error;
    EXPECT_EQ(quoted.exitCode, 0u);
    const ProgramRun unquoted =
        run(R"(C:\Program Files\Tidewell Test\reg add HKCU\Software\Unquoted /v x /d y /f)");
    ASSERT_TRUE(unquoted.started()) << unquoted.error;
    EXPECT_EQ(unquoted.exitCode, 0u);
    prefix->programs().waitUntilIdle();
    EXPECT_EQ(userValue(prefix->registry(), "Software\\Quoted Key", "A b"), "c \"d\"");
    EXPECT_EQ(userValue(prefix->registry(), "Software\\Unquoted", "x"), "y");
}

TEST_F(WinePrograms, WhatCannotStartSaysWhyAndStartsNothing)
{
    ASSERT_EQ(setUserValue(prefix->registry(), "Software\\TidewellOurs", "Pending", "yes"),
              ERROR_SUCCESS);
    {
        const test::TempDir empty;
        const PathOverride noWine(empty.str());
        const ProgramRun missingWine = run("cmd /c exit 0");
        EXPECT_FALSE(missingWine.started());
        EXPECT_NE(missingWine.error.find("Wine is not installed"), std::string::npos)
            << missingWine.error;
    }
    const ProgramRun missingProgram = run(R"("C:\Program Files\Nowhere\un.exe" /S)");
    EXPECT_FALSE(missingProgram.started());
    EXPECT_NE(missingProgram.error.find(R"(C:\Program Files\Nowhere\un.exe was not found)"),
              std::string::npos)
        << missingProgram.error;
    EXPECT_FALSE(run("   ").started());

    // Nothing ran, so nothing was held and the pending change is still ours to save.
    EXPECT_FALSE(prefix->isReadOnly());
    EXPECT_TRUE(prefix->hasUnsavedChanges());
    EXPECT_FALSE(runningWineserver(prefixDir().string()));
}

TEST_F(WinePrograms, ChangesThatCannotBeSavedStopTheStart)
{
    ASSERT_EQ(setUserValue(prefix->registry(), "Software\\TidewellOurs", "Pending", "yes"),
              ERROR_SUCCESS);
    // Another program rewrites user.reg behind our back.
    const fs::path userHive = prefixDir() / "user.reg";
    test::writeFile(userHive, test::readFile(userHive) + "\n");

    const ProgramRun refused = run(R"(reg add HKCU\Software\NotRun /f)");
    EXPECT_FALSE(refused.started());
    EXPECT_NE(refused.error.find("could not be saved first"), std::string::npos) << refused.error;
    EXPECT_NE(refused.error.find("changed on disk"), std::string::npos) << refused.error;
    EXPECT_FALSE(runningWineserver(prefixDir().string()));
    EXPECT_FALSE(prefix->isReadOnly());
}

TEST(WinePrefixRefresh, ReadsHivesRewrittenElsewhereOnlyWhenNothingIsPending)
{
    test::TempDir dir;
    test::PrefixBuilder(dir.path() / "prefix").userHive("");
    WinePrefix prefix((dir.path() / "prefix").string());
    ASSERT_EQ(setUserValue(prefix.registry(), "Software\\Ours", "Pending", "yes"), ERROR_SUCCESS);
    {
        // Another program writes the same hive meanwhile.
        WinePrefix other((dir.path() / "prefix").string());
        ASSERT_EQ(setUserValue(other.registry(), "Software\\Theirs", "Made", "yes"), ERROR_SUCCESS);
        other.save();
    }
    EXPECT_FALSE(prefix.storage().refresh()) << "our pending change would be lost";
    EXPECT_EQ(userValue(prefix.registry(), "Software\\Ours", "Pending"), "yes");
    prefix.revert();
    EXPECT_EQ(userValue(prefix.registry(), "Software\\Theirs", "Made"), "yes");
    {
        WinePrefix other((dir.path() / "prefix").string());
        ASSERT_EQ(setUserValue(other.registry(), "Software\\Theirs", "Again", "yes"), ERROR_SUCCESS);
        other.save();
    }
    EXPECT_TRUE(prefix.storage().refresh());
    EXPECT_EQ(userValue(prefix.registry(), "Software\\Theirs", "Again"), "yes");
    EXPECT_TRUE(prefix.storage().writeRefusal().empty());
}

} // namespace
} // namespace tw::wine
