#include "platform/CommandLineArgs.h"

#include <gtest/gtest.h>

namespace tw::platform {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLineToArgv, SplitsAsWindowsDoes)
{
    const std::vector<std::pair<std::string, Words>> cases = {
        {R"(C:\x.exe a b)", {R"(C:\x.exe)", "a", "b"}},
        {"  x.exe\t a  \t b  ", {"x.exe", "a", "b"}},
        {R"("C:\Program Files\x.exe" /S)", {R"(C:\Program Files\x.exe)", "/S"}},
        {R"(x.exe "a b" c)", {"x.exe", "a b", "c"}},
        {R"(x.exe a"b c"d)", {"x.exe", "ab cd"}},
        // Backslashes are literal unless a quote follows them.
        {R"(x.exe a\b\\c\)", {"x.exe", R"(a\b\\c\)"}},
        {R"(x.exe a\"b)", {"x.exe", R"(a"b)"}},
        {R"(x.exe a\\"b c")", {"x.exe", R"(a\b c)"}},
        {R"(x.exe a\\\"b)", {"x.exe", R"(a\"b)"}},
        {R"(x.exe "C:\dir\\" next)", {"x.exe", R"(C:\dir\)", "next"}},
        // A doubled quote inside quotes is a literal quote.
        {R"(x.exe "a""b" c)", {"x.exe", R"(a"b)", "c"}},
        {R"(x.exe "")", {"x.exe", ""}},
        {R"(x.exe "" "")", {"x.exe", "", ""}},
        // The program name keeps backslashes and ends at its closing quote, whatever follows.
        {R"("C:\a\"b c)", {R"(C:\a\)", "b", "c"}},
        {R"(C:\a"b c)", {R"(C:\a"b)", "c"}},
        {R"("C:\no end)", {R"(C:\no end)"}},
        {R"(regsvr32.exe/s "C:\windows\system32\x.dll")",
         {"regsvr32.exe/s", R"(C:\windows\system32\x.dll)"}},
    };
    for (const auto& [line, words] : cases)
        EXPECT_EQ(commandLineToArgv(line), words) << line;
}

TEST(CommandLineToArgv, BlankLineHasNoWords)
{
    EXPECT_TRUE(commandLineToArgv("").empty());
    EXPECT_TRUE(commandLineToArgv(" \t ").empty());
}

TEST(ProgramReadings, UnquotedNameIsTriedUpToEachBlank)
{
    const auto readings = programReadings(R"(C:\Program Files\App\un.exe /S _?=C:\x)");
    ASSERT_EQ(readings.size(), 4u);
    EXPECT_EQ(readings[0].program, R"(C:\Program)");
    EXPECT_EQ(readings[0].rest, R"( Files\App\un.exe /S _?=C:\x)");
    EXPECT_EQ(readings[1].program, R"(C:\Program Files\App\un.exe)");
    EXPECT_EQ(readings[1].rest, R"( /S _?=C:\x)");
    EXPECT_EQ(readings[3].program, R"(C:\Program Files\App\un.exe /S _?=C:\x)");
    EXPECT_EQ(readings[3].rest, "");
}

TEST(ProgramReadings, QuotedNameHasOneReading)
{
    const auto readings = programReadings(R"( "C:\Program Files\un.exe" /S)");
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ(readings[0].program, R"(C:\Program Files\un.exe)");
    EXPECT_EQ(splitArguments(readings[0].rest), Words{"/S"});
}

} // namespace
} // namespace tw::platform
