// Tests that run tidewell-cli as a process on a prefix in their own temporary folder.
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tw::test {

class CliTest : public ::testing::Test
{
protected:
    /// Runs tidewell-cli --prefix <the test's prefix> with `args`, HOME in the temp folder.
    ProcessResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix()});
        return runProcess(args, {{"HOME", dir.str()}});
    }
    std::string prefix() const { return (dir.path() / "prefix").string(); }

    TempDir dir;
};

} // namespace tw::test
