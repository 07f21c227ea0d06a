// A test with its own prefix, installed as the platform, and fresh process-wide state.
#pragma once

#include "TestSupport.h"
#include "platform/Platform.h"
#include "platform/wine/WinePrefix.h"

#include <gtest/gtest.h>
#include <memory>

namespace tw::test {

class PrefixTest : public ::testing::Test
{
protected:
    /// Builds the prefix (override to add hives and files), then opens it.
    virtual void build(PrefixBuilder& builder) { (void)builder; }

    void SetUp() override
    {
        PrefixBuilder builder(dir.path() / "prefix");
        build(builder);
        reopen();
    }
    void TearDown() override { platform::setCurrent(nullptr); }

    /// Reads the prefix again from disk (after the test changed its files).
    void reopen()
    {
        platform::setCurrent(nullptr);
        prefix.reset();
        prefix = std::make_unique<wine::WinePrefix>((dir.path() / "prefix").string());
        platform::setCurrent(&prefix->platform());
    }
    std::string prefixPath() const { return (dir.path() / "prefix").string(); }
    fs::path driveC() const { return dir.path() / "prefix" / "drive_c"; }

    TempDir dir;
    std::unique_ptr<wine::WinePrefix> prefix;
};

} // namespace tw::test
