// A folder's entries found with and without regard to case, and read from a real folder.
#include "platform/wine/FolderListing.h"

#include "platform/wine/FolderReader.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace tw::wine {
namespace {

std::string nameOf(const FolderListing& listing, const FolderListing::Entry* entry)
{
    return entry ? std::string(listing.nameOf(*entry)) : std::string("(none)");
}

TEST(FolderListing, FindsTheFirstSpellingInFolderOrderAndEveryExactOne)
{
    FolderListing listing;
    listing.add("Twin.txt", DT_REG);
    listing.add("App", DT_DIR);
    listing.add("twin.txt", DT_REG);
    listing.add("TWIN.TXT", DT_DIR);
    listing.add("Caf\xc3\xa9", DT_REG);
    listing.index();
    EXPECT_EQ(nameOf(listing, listing.findNoCase("TWIN.txt")), "Twin.txt");
    EXPECT_EQ(nameOf(listing, listing.findNoCase("app")), "App");
    EXPECT_EQ(nameOf(listing, listing.findNoCase("CAF\xc3\x89")), "Caf\xc3\xa9");
    EXPECT_EQ(listing.findNoCase("Twin"), nullptr);
    EXPECT_EQ(nameOf(listing, listing.exactEntry("twin.txt")), "twin.txt");
    ASSERT_NE(listing.exactEntry("TWIN.TXT"), nullptr);
    EXPECT_EQ(listing.exactEntry("TWIN.TXT")->type, DT_DIR);
    EXPECT_EQ(listing.exactEntry("tWin.txt"), nullptr);
    EXPECT_EQ(listing.exactEntry("app"), nullptr);
    EXPECT_EQ(FolderListing().findNoCase("anything"), nullptr) << "nothing indexed";
}

TEST(FolderListing, ManyNamesStayFindable)
{
    FolderListing listing;
    for (int i = 0; i < 5000; ++i)
        listing.add("Entry" + std::to_string(i), i % 2 ? DT_DIR : DT_REG);
    listing.index();
    for (int i = 0; i < 5000; i += 7) {
        const FolderListing::Entry* entry = listing.findNoCase("ENTRY" + std::to_string(i));
        ASSERT_NE(entry, nullptr) << i;
        EXPECT_EQ(listing.nameOf(*entry), "Entry" + std::to_string(i));
        EXPECT_EQ(entry->type, i % 2 ? DT_DIR : DT_REG);
    }
    EXPECT_EQ(listing.findNoCase("Entry5000"), nullptr);
}

TEST(FolderReader, ReadsEveryEntryOfAFolderAndTellsWhyAFolderCannotBeRead)
{
    const test::TempDir dir;
    std::set<std::string> expected = {".", ".."};
    for (int i = 0; i < 3000; ++i) {
        // Long names: more than one buffer of entries.
        const std::string name = "a-rather-long-file-name-to-fill-the-buffer-" + std::to_string(i);
        test::writeFile(dir.path() / name, "x");
        expected.insert(name);
    }
    std::filesystem::create_directory(dir.path() / "sub");
    expected.insert("sub");
    FolderReader reader(dir.path().string());
    ASSERT_TRUE(reader.isOpen());
    std::set<std::string> seen;
    std::string_view name;
    unsigned char type = 0;
    while (reader.next(name, type)) {
        EXPECT_TRUE(seen.insert(std::string(name)).second) << name;
        if (name == "sub") {
            EXPECT_EQ(type, DT_DIR);
        }
    }
    EXPECT_EQ(reader.error(), 0);
    EXPECT_EQ(seen, expected);
    const FolderReader missing((dir.path() / "missing").string());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.error(), ENOENT);
    const FolderReader file((dir.path() / "a-rather-long-file-name-to-fill-the-buffer-1").string());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.error(), ENOTDIR);
}

} // namespace
} // namespace tw::wine
