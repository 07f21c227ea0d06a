// Junk patterns against bare file names: extensions, whole names and wildcards, in any case.
#include "cleaner/JunkPattern.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(JunkPatternTest, ExtensionPatternsCompareTheLastExtensionExactly)
{
    EXPECT_TRUE(MatchJunkPattern("*.tmp", "a.tmp"));
    EXPECT_TRUE(MatchJunkPattern("*.tmp", ".tmp"));
    EXPECT_TRUE(MatchJunkPattern("*.bak", "a.tmp.bak"));
    EXPECT_FALSE(MatchJunkPattern("*.tmp", "a.tmp.bak"));
    EXPECT_FALSE(MatchJunkPattern("*.tmp", "a.tmpx"));
    EXPECT_FALSE(MatchJunkPattern("*.tmp", "tmp"));
    EXPECT_FALSE(MatchJunkPattern("*.db$", "README"));
    EXPECT_TRUE(MatchJunkPattern("*.$$$", "setup.$$$"));
    EXPECT_TRUE(MatchJunkPattern("*.^", "x.^"));
    // "*." alone: names that end in a dot; an extension with a dot in it matches no name.
    EXPECT_TRUE(MatchJunkPattern("*.", "odd."));
    EXPECT_FALSE(MatchJunkPattern("*.", "README"));
    EXPECT_FALSE(MatchJunkPattern("*.tar.gz", "a.tar.gz"));
}

TEST(JunkPatternTest, PlainPatternsCompareTheWholeName)
{
    EXPECT_TRUE(MatchJunkPattern("thumbs.db", "thumbs.db"));
    EXPECT_FALSE(MatchJunkPattern("thumbs.db", "my thumbs.db"));
    EXPECT_FALSE(MatchJunkPattern("readme.txt", "readme.txt.bak"));
    EXPECT_TRUE(MatchJunkPattern(" *.tmp", " *.tmp")) << "a blank before makes it a name";
}

TEST(JunkPatternTest, OtherStarsAndQuestionMarksAreWildcards)
{
    EXPECT_TRUE(MatchJunkPattern("~*.*", "~$report.doc"));
    EXPECT_TRUE(MatchJunkPattern("~*.*", "~.x"));
    EXPECT_FALSE(MatchJunkPattern("~*.*", "~nodot"));
    EXPECT_FALSE(MatchJunkPattern("~*.*", "a~b.c"));

    EXPECT_TRUE(MatchJunkPattern("*.~*", "a.~1"));
    EXPECT_TRUE(MatchJunkPattern("*.~*", "a.~"));
    EXPECT_FALSE(MatchJunkPattern("*.~*", "a.b~"));

    EXPECT_TRUE(MatchJunkPattern("*.??~", "a.ba~"));
    EXPECT_FALSE(MatchJunkPattern("*.??~", "a.b~"));
    EXPECT_FALSE(MatchJunkPattern("*.??~", "a.bak~"));

    EXPECT_TRUE(MatchJunkPattern("file????._dd", "file0001._dd"));
    EXPECT_FALSE(MatchJunkPattern("file????._dd", "file001._dd"));
    EXPECT_TRUE(MatchJunkPattern("twain???.mtx", "twain001.mtx"));

    EXPECT_TRUE(MatchJunkPattern("ffastun.*", "ffastun.ffl"));
    EXPECT_TRUE(MatchJunkPattern("ffastun.*", "ffastun."));
    EXPECT_FALSE(MatchJunkPattern("ffastun.*", "ffastun0.ffx"));
    EXPECT_TRUE(MatchJunkPattern("chklist.*", "chklist.ms"));
    EXPECT_FALSE(MatchJunkPattern("chklist.*", "chklist"));

    EXPECT_TRUE(MatchJunkPattern("*", "anything"));
    EXPECT_TRUE(MatchJunkPattern("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(MatchJunkPattern("a*b*c", "aXbYcZ"));
}

TEST(JunkPatternTest, LetterCaseDoesNotCountAsInWindowsNames)
{
    EXPECT_TRUE(MatchJunkPattern("*.tmp", "A.TMP"));
    EXPECT_TRUE(MatchJunkPattern("*.TMP", "a.tmp"));
    EXPECT_TRUE(MatchJunkPattern("*.Tmp", "a.tMP"));
    EXPECT_FALSE(MatchJunkPattern("*.tmp", "A.TMP.BAK"));
    EXPECT_TRUE(MatchJunkPattern("thumbs.db", "Thumbs.db"));
    EXPECT_TRUE(MatchJunkPattern("thumbs.db", "THUMBS.DB"));
    EXPECT_FALSE(MatchJunkPattern("thumbs.db", "Thumbs.db.old"));
    EXPECT_TRUE(MatchJunkPattern("file????._dd", "FILE0001._DD"));
    EXPECT_TRUE(MatchJunkPattern("twain???.mtx", "TWAIN001.Mtx"));
    EXPECT_TRUE(MatchJunkPattern("~*.*", "~$REPORT.DOC"));
    // Letters beyond ASCII fold too.
    EXPECT_TRUE(MatchJunkPattern("*.\xc3\xa9t\xc3\xa9", "x.\xc3\x89T\xc3\x89"));
    EXPECT_TRUE(MatchJunkPattern("\xd0\xbb\xd0\xbe\xd0\xb3.txt", "\xd0\x9b\xd0\x9e\xd0\x93.TXT"));
    EXPECT_FALSE(MatchJunkPattern("a?c", "A\xc3\xa9\xc3\xa9"
                                         "C"))
        << "? stands for one character";
    EXPECT_TRUE(MatchJunkPattern("a?c", "A\xc3\x89"
                                        "C"));

    const JunkPattern pattern("*.TMP");
    EXPECT_TRUE(pattern.matchesFolded(FoldedJunkName("Cache.Tmp")));
    EXPECT_FALSE(pattern.matchesFolded(FoldedJunkName("Cache.Tmp.x")));
}

TEST(JunkPatternTest, ExtensionIsFromTheLastDot)
{
    EXPECT_EQ(JunkExtension("a.tmp.bak"), ".bak");
    EXPECT_EQ(JunkExtension("README"), "");
    EXPECT_EQ(JunkExtension(".profile"), ".profile");
    EXPECT_EQ(JunkExtension("odd."), ".");
}

} // namespace
} // namespace tw
