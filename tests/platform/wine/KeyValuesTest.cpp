// Valve's KeyValues text, as Steam writes libraryfolders.vdf and appmanifest files.
#include "platform/wine/KeyValues.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tw::wine {
namespace {

TEST(KeyValuesTest, ReadsNestedObjectsAsSteamWritesThem)
{
    const KeyValue doc =
        parseKeyValues("\xEF\xBB\xBF\"libraryfolders\"\n{\n"
                       "\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/a/.local/share/Steam\"\n"
                       "\t\t\"apps\"\n\t\t{\n\t\t\t\"220\"\t\t\"4000\"\n\t\t}\n\t}\n"
                       "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"/mnt/games\"\n\t}\n}\n");
    ASSERT_EQ(doc.children.size(), 1u);
    const KeyValue* folders = doc.child("LibraryFolders"); // keys match without case
    ASSERT_NE(folders, nullptr);
    ASSERT_EQ(folders->children.size(), 2u);
    EXPECT_EQ(folders->children[0].text("path"), "/home/a/.local/share/Steam");
    EXPECT_EQ(folders->children[0].child("apps")->text("220"), "4000");
    EXPECT_EQ(folders->children[1].text("path"), "/mnt/games");
    EXPECT_EQ(folders->children[1].text("apps"), ""); // missing
    EXPECT_EQ(folders->text("0"), "");                // an object, not text
}

TEST(KeyValuesTest, ReadsEscapesBareTokensAndComments)
{
    const KeyValue doc = parseKeyValues("// written by hand\n"
                                        "AppState { name \"Say \\\"hi\\\"\\\\ now\" // trailing\n"
                                        "  tab \"a\\tb\\nc\" path \"D:\\Games\\x\" appid 220 }");
    const KeyValue* state = doc.child("AppState");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->text("name"), "Say \"hi\"\\ now");
    EXPECT_EQ(state->text("tab"), "a\tb\nc");
    EXPECT_EQ(state->text("path"), "D:\\Games\\x"); // no escape: the backslash stays
    EXPECT_EQ(state->text("appid"), "220");
    EXPECT_EQ(state->children.size(), 4u);
}

TEST(KeyValuesTest, ConditionsAfterValuesAreSkipped)
{
    const KeyValue doc =
        parseKeyValues("\"a\" { \"x\" \"1\" [$WIN32] \"y\" { \"z\" \"2\" } [!$OSX]\n"
                       "\"w\" \"3\" }");
    const KeyValue* a = doc.child("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->children.size(), 3u);
    EXPECT_EQ(a->text("x"), "1");
    EXPECT_EQ(a->child("y")->text("z"), "2");
    EXPECT_EQ(a->text("w"), "3");
    // Quoted, the same text is a key.
    EXPECT_EQ(parseKeyValues("\"a\" \"1\" \"[$WIN32]\" \"2\"").text("[$WIN32]"), "2");
}

TEST(KeyValuesTest, DamagedTextIsRefusedWithItsLine)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"\"a\"\n{\n\"b\" \"never ends\n}\n", "line 3: a quoted text never ends"},
        {"\"a\"\n{\n\"b\" \"c\"\n", "line 2: a { is never closed"},
        {"\"a\" \"b\"\n}\n", "line 2: a } without its {"},
        {"\"a\"\n{\n\"b\"\n}\n", "line 3: the key \"b\" has no value"},
        {"\"a\"", "line 1: the key \"a\" has no value"},
        {"{ \"a\" \"b\" }", "line 1: a { without a key"},
    };
    for (const auto& c : cases) {
        try {
            parseKeyValues(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const KeyValuesError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.text;
        }
    }
}

TEST(KeyValuesTest, FileErrorsNameTheFile)
{
    test::TempDir dir;
    const std::string path = (dir.path() / "appmanifest_1.acf").string();
    test::writeFile(path, "\"AppState\"\n{\n");
    try {
        readKeyValuesFile(path);
        ADD_FAILURE() << "a damaged file was read";
    } catch (const KeyValuesError& e) {
        EXPECT_EQ(std::string(e.what()), path + ", line 2: a { is never closed");
    }
    EXPECT_THROW(readKeyValuesFile((dir.path() / "missing.vdf").string()), KeyValuesError);
    EXPECT_TRUE(parseKeyValues("").children.empty());
}

} // namespace
} // namespace tw::wine
