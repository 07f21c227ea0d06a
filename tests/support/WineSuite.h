// A test suite on a copy of a prefix Wine booted, with Wine and tidewell-cli run in it.
#pragma once

#include "RealWinePrefix.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace tw::test {

class WineSuite : public ::testing::Test
{
protected:
    /// Makes the folder and the prefix in it; false (with error() set) when Wine cannot.
    static bool setUpPrefix()
    {
        s_root = new TempDir;
        std::filesystem::create_directories(s_root->path() / "home");
        s_error = copyBootedPrefix(prefix());
        return s_error.empty();
    }
    /// Stops Wine in the prefix and removes the folder.
    static void tearDownPrefix()
    {
        runProcess({"wineserver", "-k"}, wineEnv());
        runProcess({"wineserver", "-w"}, wineEnv());
        delete s_root;
        s_root = nullptr;
    }
    static void SetUpTestSuite() { setUpPrefix(); }
    static void TearDownTestSuite() { tearDownPrefix(); }
    void SetUp() override { ASSERT_EQ(s_error, ""); }

    static std::filesystem::path root() { return s_root->path(); }
    static std::string prefix() { return (root() / "prefix").string(); }
    static std::map<std::string, std::string> wineEnv()
    {
        return {{"WINEPREFIX", prefix()},
                {"HOME", (root() / "home").string()},
                {"WINEDEBUG", "-all"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
                {"DISPLAY", ""}};
    }
    /// Runs one of Wine's own programs (as the 64-bit program it is) and waits until Wine has
    /// written the registry back.
    static ProcessResult wine(std::vector<std::string> args)
    {
        ProcessResult result = wineLeftRunning(std::move(args));
        waitForWine();
        return result;
    }
    /// Runs a Wine program and leaves Wine to the next one: starting Wine takes seconds, a
    /// program in a running Wine a fraction of one. waitForWine() before the prefix is read.
    static ProcessResult wineLeftRunning(std::vector<std::string> args)
    {
        args.insert(args.begin(), wineLoader64());
        return runProcess(args, wineEnv());
    }
    /// Waits until Wine has ended and written the registry back.
    static void waitForWine() { runProcess({"wineserver", "-w"}, wineEnv()); }
    static ProcessResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix()});
        return runProcess(args, wineEnv());
    }

    static inline TempDir* s_root = nullptr;
    /// Why the prefix could not be made; empty when it was.
    static inline std::string s_error;
};

} // namespace tw::test
