// The registry object: paths, reads, writes and deletions over a real prefix.
#include "registry/TRegistry.h"

#include "platform/Platform.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "registry/Session.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using test::PrefixBuilder;
using test::TempDir;
using namespace tw::win;

const std::string kUserKeys = R"(
[Software\\App] 1
"Sz"="text"
"Expand"=str(2):"%SystemRoot%\\system32\\a.dll"
"Number"=dword:fffffffe
"Bin"=hex:01,02,03
"Multi"=str(7):"a\0b\0"
"None"=hex(0):09
"Empty"=""
"Cut"="ab\0cd"

[Software\\App\\Sub] 1
@="unnamed"

[Software\\X\\A\\B] 1
"v"="1"

[Software\\X\\C] 1
)";

class TRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path()).userHive(kUserKeys);
        prefix = std::make_unique<wine::WinePrefix>(dir.str());
        session = std::make_unique<Session>(prefix->platform());
    }
    void TearDown() override
    {
        if (!prefix)
            return;
        EXPECT_EQ(prefix->registry().openHandleCount(), 0u) << "a registry object leaked a key";
    }

    void expectError(const std::function<void()>& action, const std::string& message)
    {
        try {
            action();
            FAIL() << "no error, expected: " << message;
        } catch (const ERegistryException& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }

    TempDir dir;
    std::unique_ptr<wine::WinePrefix> prefix;
    std::unique_ptr<Session> session;
};

TEST_F(TRegistryTest, StartsClosedOnTheCurrentUser)
{
    TRegistry reg(*session);
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(reg.CurrentKey(), 0u);
    EXPECT_EQ(reg.CurrentPath(), "");
}

TEST_F(TRegistryTest, MissingValueBehaviour)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\App", false));
    EXPECT_EQ(reg.ValueType("Missing"), rdUnknown);
    EXPECT_EQ(reg.ValueSize("Missing"), -1);
    EXPECT_FALSE(reg.HasValue("Missing"));
    EXPECT_EQ(reg.ReadText("Missing"), "");
    expectError([&] { reg.ReadNumber("Missing"); }, "Failed to get data for 'Missing'");
    char buffer[8];
    EXPECT_EQ(reg.ReadBytes("Missing", buffer, sizeof buffer), 0);
}

TEST_F(TRegistryTest, ReadsByType)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\App", false));
    EXPECT_EQ(reg.ValueType("Sz"), rdString);
    EXPECT_EQ(reg.ValueType("Expand"), rdExpandString);
    EXPECT_EQ(reg.ValueType("Number"), rdInteger);
    EXPECT_EQ(reg.ValueType("Bin"), rdBinary);
    EXPECT_EQ(reg.ValueType("Multi"), rdUnknown);
    EXPECT_EQ(reg.ValueType("None"), rdUnknown);

    EXPECT_EQ(reg.ReadText("Sz"), "text");
    EXPECT_EQ(reg.ValueSize("Sz"), 5) << "strings count their NUL";
    EXPECT_EQ(reg.ReadText("Expand"), "%SystemRoot%\\system32\\a.dll") << "not expanded";
    EXPECT_EQ(reg.ReadText("Empty"), "");
    EXPECT_EQ(reg.ReadNumber("Number"), -2);
    expectError([&] { reg.ReadText("Number"); }, "Invalid data type for 'Number'");
    expectError([&] { reg.ReadText("Multi"); }, "Invalid data type for 'Multi'");
    expectError([&] { reg.ReadNumber("Sz"); }, "Invalid data type for 'Sz'");

    unsigned char buffer[4] = {};
    EXPECT_EQ(reg.ReadBytes("Bin", buffer, sizeof buffer), 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(reg.ReadBytes("None", buffer, sizeof buffer), 1) << "unknown types read as bytes";
    EXPECT_EQ(buffer[0], 9);
    expectError([&] { reg.ReadBytes("Bin", buffer, 2); }, "Invalid data type for 'Bin'");
    expectError([&] { reg.ReadBytes("Sz", buffer, sizeof buffer); }, "Invalid data type for 'Sz'");
}

TEST_F(TRegistryTest, OpensAbsoluteAndRelativePaths)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software", false));
    EXPECT_EQ(reg.CurrentPath(), "Software");
    const HKEY software = reg.CurrentKey();
    EXPECT_FALSE(reg.OpenPath("\\Software\\Missing", false));
    EXPECT_EQ(reg.CurrentKey(), software) << "a failed open keeps the open key";
    ASSERT_TRUE(reg.OpenPath("App", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\App");
    ASSERT_TRUE(reg.OpenPath("Sub", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\App\\Sub");
    EXPECT_EQ(reg.ReadText(""), "unnamed");
    ASSERT_TRUE(reg.OpenPath("", false)) << "the empty path opens the base key";
    EXPECT_EQ(reg.CurrentPath(), "Software\\App\\Sub\\");
    reg.ClosePath();
    EXPECT_EQ(reg.CurrentKey(), 0u);
    EXPECT_EQ(reg.CurrentPath(), "");
    ASSERT_TRUE(reg.OpenPath("Software\\App", false)) << "relative to the root when none is open";
    EXPECT_EQ(reg.CurrentPath(), "Software\\App");
}

TEST_F(TRegistryTest, CreatesWhenAllowed)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\New\\Deep", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\New\\Deep");
    reg.WriteText("Name", "value");
    reg.WriteNumber("Count", 7);
    reg.WriteBytes("Raw", "\x00\x01", 2);
    EXPECT_EQ(reg.ReadText("Name"), "value");
    EXPECT_EQ(reg.ValueSize("Name"), 6);
    EXPECT_EQ(reg.ReadNumber("Count"), 7);
    EXPECT_EQ(reg.ValueType("Raw"), rdBinary);
    TRegistry other(*session);
    EXPECT_TRUE(other.PathExists("\\Software\\New\\Deep"));
}

TEST_F(TRegistryTest, RefusedWritesRaise)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\X\\C", false));
    ASSERT_EQ(prefix->registry().deleteKey(HKEY_CURRENT_USER, "Software\\X\\C"), 0);
    expectError([&] { reg.WriteText("a", "b"); }, "Failed to set data for 'a'");
    expectError([&] { reg.WriteNumber("n", 1); }, "Failed to set data for 'n'");
}

TEST_F(TRegistryTest, PathExistsLeavesTheCurrentKey)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software", false));
    const HKEY software = reg.CurrentKey();
    EXPECT_TRUE(reg.PathExists("App"));
    EXPECT_TRUE(reg.PathExists("\\Software\\App\\Sub"));
    EXPECT_FALSE(reg.PathExists("Sub"));
    EXPECT_EQ(reg.CurrentKey(), software);
    EXPECT_EQ(reg.CurrentPath(), "Software");
}

TEST_F(TRegistryTest, SelectRootKeepsOrClosesTheKey)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\App", false));
    reg.SelectRoot(HKEY_CURRENT_USER);
    EXPECT_NE(reg.CurrentKey(), 0u);
    EXPECT_EQ(reg.CurrentPath(), "Software\\App");
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.CurrentKey(), 0u);
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_EQ(reg.RootKey(), HKEY_LOCAL_MACHINE);
}

TEST_F(TRegistryTest, ListsSubkeysAndValues)
{
    TRegistry reg(*session);
    std::vector<std::string> list = {"stale"};
    reg.ListSubkeys(list);
    EXPECT_TRUE(list.empty()) << "no key open";
    ASSERT_TRUE(reg.OpenPath("\\Software\\App\\Sub", false));
    reg.ListValues(list);
    EXPECT_EQ(list, std::vector<std::string>{""}) << "the unnamed value is listed as \"\"";
    ASSERT_TRUE(reg.OpenPath("\\Software\\X", false));
    reg.ListSubkeys(list);
    EXPECT_EQ(list, (std::vector<std::string>{"A", "C"}));
}

TEST_F(TRegistryTest, ListsValuesWithTheTextReadTextGives)
{
    TRegistry reg(*session);
    std::vector<TRegistry::TextValue> values = {{"stale", "x"}};
    reg.ListTextValues(values);
    EXPECT_TRUE(values.empty()) << "no key open";
    ASSERT_TRUE(reg.OpenPath("\\Software\\App", false));
    reg.ListTextValues(values);
    std::vector<std::string> names;
    reg.ListValues(names);
    ASSERT_EQ(values.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(values[i].name, names[i]) << "in the same order";
        const TRegDataType type = reg.ValueType(names[i]);
        if (type == rdString || type == rdExpandString)
            EXPECT_EQ(values[i].text, reg.ReadText(names[i])) << names[i];
        else
            EXPECT_EQ(values[i].text, std::nullopt) << names[i];
        EXPECT_EQ(reg.ReadTextValue(names[i]), values[i].text) << names[i];
    }
    EXPECT_EQ(reg.ReadTextValue("Missing"), std::nullopt);
    const auto text = [&](const std::string& name) {
        for (const TRegistry::TextValue& value : values) {
            if (value.name == name)
                return value.text;
        }
        return std::optional<std::string>("(missing)");
    };
    EXPECT_EQ(text("Expand"), "%SystemRoot%\\system32\\a.dll");
    EXPECT_EQ(text("Empty"), "");
    EXPECT_EQ(text("Cut"), "ab") << "text ends at its first NUL";
    EXPECT_EQ(text("Multi"), std::nullopt) << "a multi-string is no text";
    EXPECT_EQ(text("Number"), std::nullopt);
}

TEST_F(TRegistryTest, RemoveKeyTreeDeletesTheWholeSubtree)
{
    TRegistry reg(*session);
    EXPECT_TRUE(reg.RemoveKeyTree("\\Software\\X"));
    EXPECT_FALSE(reg.PathExists("\\Software\\X"));
    EXPECT_FALSE(reg.RemoveKeyTree("\\Software\\X")) << "a missing key";
    EXPECT_TRUE(reg.RemoveKeyTree("\\Software\\App\\Sub")) << "a key without subkeys";
    EXPECT_TRUE(reg.PathExists("\\Software\\App"));
}

TEST_F(TRegistryTest, RemoveKeyTreeResolvesRelativePathsBelowTheOpenKey)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\X", false));
    EXPECT_FALSE(reg.RemoveKeyTree("Software\\X")) << "asks for Software\\X\\Software\\X";
    EXPECT_TRUE(reg.PathExists("\\Software\\X\\A\\B"));
    EXPECT_TRUE(reg.RemoveKeyTree("A"));
    EXPECT_FALSE(reg.PathExists("\\Software\\X\\A"));
    EXPECT_TRUE(reg.PathExists("\\Software\\X\\C"));
    EXPECT_EQ(reg.CurrentPath(), "Software\\X");
}

TEST_F(TRegistryTest, RemovesValuesIncludingTheUnnamedOne)
{
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\App\\Sub", false));
    EXPECT_TRUE(reg.RemoveValue(""));
    EXPECT_FALSE(reg.HasValue(""));
    EXPECT_FALSE(reg.RemoveValue(""));
}

TEST_F(TRegistryTest, NeedsASessionWithARegistry)
{
    const Session empty{platform::Platform{}};
    EXPECT_THROW(TRegistry{empty}, std::logic_error);
    TRegistry reg(prefix->registry());
    EXPECT_TRUE(reg.PathExists("\\Software\\App"));
}

} // namespace
} // namespace tw
