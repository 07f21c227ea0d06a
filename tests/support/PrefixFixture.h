// A test with its own prefix and a fresh session over it.
#pragma once

#include "TestSupport.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"

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

    /// Reads the prefix again from disk (after the test changed its files); the session
    /// starts afresh.
    void reopen()
    {
        session.reset();
        prefix.reset();
        prefix = std::make_unique<wine::WinePrefix>((dir.path() / "prefix").string());
        session = std::make_unique<Session>(prefix->platform());
        sessionStarted();
    }
    /// Runs after each new session (override to prepare it as start-up would).
    virtual void sessionStarted() {}
    std::string prefixPath() const { return (dir.path() / "prefix").string(); }
    fs::path driveC() const { return dir.path() / "prefix" / "drive_c"; }

    TempDir dir;
    std::unique_ptr<wine::WinePrefix> prefix;
    std::unique_ptr<Session> session;
};

} // namespace tw::test
