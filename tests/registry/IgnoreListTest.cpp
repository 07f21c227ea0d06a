// The ignore list as stored under HKEY_CURRENT_USER\Software\Tidewell\Ignore.
#include "registry/IgnoreList.h"

#include "registry/TRegistry.h"
#include "support/PrefixFixture.h"

namespace tw {
namespace {

class IgnoreListTest : public test::PrefixTest
{
protected:
    std::vector<std::string> texts()
    {
        std::vector<std::string> shown;
        const IgnoreList list = LoadIgnoreList(*session);
        for (const IgnoreEntry& entry : list.entries())
            shown.push_back(std::string(entry.kindName()) + " " + entry.text());
        return shown;
    }
    bool keyExists()
    {
        TRegistry reg(*session);
        return reg.OpenPath("\\Software\\Tidewell\\Ignore", false);
    }
    /// The prefix as written to disk and read again.
    void saveAndReopen()
    {
        prefix->save();
        reopen();
    }
};

using Texts = std::vector<std::string>;

TEST_F(IgnoreListTest, EntriesSurviveASaveInTheOrderAdded)
{
    EXPECT_TRUE(AddIgnoreEntry(*session, IgnoreKeyEntry("hkcu\\Software\\A")));
    EXPECT_TRUE(AddIgnoreEntry(*session, IgnoreValueEntry("HKLM\\Software\\B", "Name\\\\x")));
    EXPECT_TRUE(AddIgnoreEntry(*session, IgnoreValueEntry("HKLM\\Software\\B", "")));
    EXPECT_TRUE(AddIgnoreEntry(*session, IgnoreFileEntry("C:\\Temp\\*.tmp")));
    EXPECT_FALSE(AddIgnoreEntry(*session, IgnoreKeyEntry("HKEY_CURRENT_USER\\software\\a")))
        << "the same entry once";
    saveAndReopen();
    EXPECT_EQ(texts(),
              (Texts{"key HKEY_CURRENT_USER\\Software\\A",
                     "value HKEY_LOCAL_MACHINE\\Software\\B \"Name\\\\x\"",
                     "value HKEY_LOCAL_MACHINE\\Software\\B \"\"", "file C:\\Temp\\*.tmp"}));
}

TEST_F(IgnoreListTest, RemoveRenumbersAndTheLastRemovalDeletesTheKey)
{
    AddIgnoreEntry(*session, IgnoreKeyEntry("HKLM\\Software\\A"));
    AddIgnoreEntry(*session, IgnoreKeyEntry("HKLM\\Software\\B"));
    AddIgnoreEntry(*session, IgnoreKeyEntry("HKLM\\Software\\C"));
    RemoveIgnoreEntry(*session, LoadIgnoreList(*session), 1);
    EXPECT_EQ(texts(), (Texts{"key HKEY_LOCAL_MACHINE\\Software\\A",
                              "key HKEY_LOCAL_MACHINE\\Software\\C"}));
    // A new entry goes after the last one, not into the gap.
    AddIgnoreEntry(*session, IgnoreKeyEntry("HKLM\\Software\\D"));
    RemoveIgnoreEntry(*session, LoadIgnoreList(*session), 0);
    EXPECT_EQ(texts(), (Texts{"key HKEY_LOCAL_MACHINE\\Software\\C",
                              "key HKEY_LOCAL_MACHINE\\Software\\D"}));
    EXPECT_THROW(RemoveIgnoreEntry(*session, LoadIgnoreList(*session), 2), std::out_of_range);
    RemoveIgnoreEntry(*session, LoadIgnoreList(*session), 0);
    EXPECT_TRUE(keyExists());
    RemoveIgnoreEntry(*session, LoadIgnoreList(*session), 0);
    EXPECT_FALSE(keyExists()) << "an empty key would be an empty-key finding";
    EXPECT_TRUE(texts().empty());
}

TEST_F(IgnoreListTest, RejectsWhatIsNoKeyOrPath)
{
    EXPECT_THROW(IgnoreKeyEntry("HKXX\\Software"), std::invalid_argument);
    EXPECT_THROW(IgnoreKeyEntry("HKLM"), std::invalid_argument);
    EXPECT_THROW(IgnoreKeyEntry("HKLM\\Software\\\\B"), std::invalid_argument);
    EXPECT_THROW(IgnoreFileEntry("*.tmp"), std::invalid_argument);
    EXPECT_THROW(IgnoreFileEntry("\\\\server\\share\\x"), std::invalid_argument);
}

class DamagedIgnoreListTest : public IgnoreListTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.userHive(R"(
[Software\\Tidewell\\Ignore] 1
"1"="key:HKLM\\Software\\Good"
"2"="someday:HKLM\\Software\\Later"
"3"=dword:00000001
"4"="key:HKXX\\Software\\BadRoot"
"5"="value:HKLM\\Software\\NoSeparator"
"6"="file:no drive"
"x"="key:HKLM\\Software\\NotNumbered"
"10"="file:C:\\Temp\\*"
"7"=""
)");
    }
};

TEST_F(DamagedIgnoreListTest, SkipsWhatItCannotReadAndKeepsIt)
{
    // Numbers in order: 10 comes after 7.
    EXPECT_EQ(texts(), (Texts{"key HKEY_LOCAL_MACHINE\\Software\\Good", "file C:\\Temp\\*"}));
    RemoveIgnoreEntry(*session, LoadIgnoreList(*session), 0);
    AddIgnoreEntry(*session, IgnoreKeyEntry("HKLM\\Software\\New"));
    TRegistry reg(*session);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Tidewell\\Ignore", false));
    EXPECT_FALSE(reg.HasValue("1"));
    EXPECT_EQ(reg.ReadText("2"), "someday:HKLM\\Software\\Later") << "left for a later version";
    EXPECT_EQ(reg.ReadText("11"), "key:HKEY_LOCAL_MACHINE\\Software\\New");
}

} // namespace
} // namespace tw
