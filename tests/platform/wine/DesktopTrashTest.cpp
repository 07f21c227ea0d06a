// The desktop's trash: where trashed files go and what their information files say.
#include "platform/wine/DesktopTrash.h"

#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace tw::wine {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

/// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class DesktopTrashTest : public ::testing::Test
{
protected:
    fs::path trash() const { return home.path() / ".local/share/Trash"; }

    TempDir home;
    TempDir work;
    ScopedEnv homeVariable{"HOME", home.str()};
    ScopedEnv dataVariable{"XDG_DATA_HOME", std::nullopt};
};

TEST_F(DesktopTrashTest, MakesTheHomeTrashWhenItIsMissing)
{
    writeFile(work.path() / "a b/100% sure.tmp", "x");
    ASSERT_TRUE(moveToDesktopTrash((work.path() / "a b/100% sure.tmp").string()));
    EXPECT_EQ(readFile(trash() / "files/100% sure.tmp"), "x");
    const std::string info = readFile(trash() / "info/100% sure.tmp.trashinfo");
    EXPECT_EQ(info.substr(0, info.find("DeletionDate=")),
              "[Trash Info]\nPath=" + trashInfoPath(work.str()) + "/a%20b/100%25%20sure.tmp\n");
    struct stat st;
    ASSERT_EQ(::stat(trash().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(fs::exists(work.path() / "a b/100% sure.tmp"));
}

TEST_F(DesktopTrashTest, TheSameNameTwiceKeepsBoth)
{
    writeFile(work.path() / "a/x.tmp", "first");
    writeFile(work.path() / "b/x.tmp", "second");
    fs::create_directories(work.path() / "c/folder.bak/inside");
    ASSERT_TRUE(moveToDesktopTrash((work.path() / "a/x.tmp").string()));
    ASSERT_TRUE(moveToDesktopTrash((work.path() / "b/x.tmp").string()));
    ASSERT_TRUE(moveToDesktopTrash((work.path() / "c/folder.bak/").string()));
    EXPECT_EQ(readFile(trash() / "files/x.tmp"), "first");
    EXPECT_EQ(readFile(trash() / "files/x.tmp.2"), "second");
    EXPECT_NE(readFile(trash() / "info/x.tmp.2.trashinfo").find("/b/x.tmp\n"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(trash() / "files/folder.bak/inside"));
    EXPECT_TRUE(fs::exists(trash() / "info/folder.bak.trashinfo"));
}

TEST_F(DesktopTrashTest, WhatCannotBeTrashedIsLeftAndLeavesNoInformation)
{
    EXPECT_FALSE(moveToDesktopTrash((work.path() / "missing.tmp").string()));
    EXPECT_FALSE(moveToDesktopTrash("relative.tmp"));
    if (fs::exists(trash() / "info")) {
        EXPECT_TRUE(fs::is_empty(trash() / "info"));
    }
}

TEST_F(DesktopTrashTest, InformationPathsAreEscapedAsUrls)
{
    EXPECT_EQ(trashInfoPath("/a b/100%/caf\xc3\xa9/x-y_z.~1"), "/a%20b/100%25/caf%C3%A9/x-y_z.~1");
    EXPECT_EQ(trashInfoPath("/~$doc#1?.tmp"), "/~%24doc%231%3F.tmp");
}

} // namespace
} // namespace tw::wine
