// Problem records and their collections.
#include "registry/RegistryContents.h"

#include "registry/Session.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tw {
namespace {

TEST(RegistryContents, NewRecordsAreEmptyAndAppended)
{
    TRegistryContents contents;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(AddContentItem(contents), i);
    EXPECT_EQ(AddContentItem(contents), 3);
    const TContent& record = contents.Items(3).Content;
    EXPECT_FALSE(record.Checked);
    EXPECT_TRUE(record.KeyPath.empty() && record.ItemName.empty() && record.ValueName.empty() &&
                record.ValueData.empty());
    EXPECT_EQ(contents.Items(2).Index(), 2);
    EXPECT_EQ(&contents.Items(2).Collection(), &contents);
}

TEST(RegistryContents, RecordsKeepTheirPlaceUntilCleared)
{
    TRegistryContents contents;
    contents.Items(AddContentItem(contents)).Content.ItemName = "first";
    TRegistryContentItem* first = &contents.Items(0);
    for (int i = 0; i < 100; ++i)
        AddContentItem(contents);
    EXPECT_EQ(&contents.Items(0), first) << "adding records does not move earlier ones";
    EXPECT_EQ(contents.Items(0).Content.ItemName, "first");
    contents.Clear();
    EXPECT_EQ(contents.Count(), 0);
}

TEST(RegistryContents, TakingAllMovesTheRecordsInOrderAndTheyBelongHere)
{
    const auto fill = [](TRegistryContents& contents, const std::string& prefix, int count) {
        for (int i = 0; i < count; ++i)
            contents.Items(AddContentItem(contents)).Content.ItemName = prefix + std::to_string(i);
    };
    for (const int before : {0, 2}) {
        TRegistryContents contents;
        TRegistryContents other;
        fill(contents, "own", before);
        fill(other, "other", 3);
        contents.TakeAll(other);
        EXPECT_EQ(other.Count(), 0);
        ASSERT_EQ(contents.Count(), before + 3);
        for (int i = 0; i < contents.Count(); ++i) {
            const std::string expected =
                i < before ? "own" + std::to_string(i) : "other" + std::to_string(i - before);
            EXPECT_EQ(contents.Items(i).Content.ItemName, expected);
            EXPECT_EQ(contents.Items(i).Index(), i);
            EXPECT_EQ(&contents.Items(i).Collection(), &contents);
        }
        // Both go on as separate collections.
        fill(other, "again", 1);
        EXPECT_EQ(AddContentItem(contents), before + 3);
        EXPECT_EQ(other.Items(0).Content.ItemName, "again0");
        EXPECT_EQ(&other.Items(0).Collection(), &other);
    }
}

TEST(RegistryContents, RemovingARecordMovesTheLaterOnesUp)
{
    TRegistryContents contents;
    for (const char* name : {"a", "b", "c"})
        contents.Items(AddContentItem(contents)).Content.ItemName = name;
    contents.RemoveAt(1);
    ASSERT_EQ(contents.Count(), 2);
    EXPECT_EQ(contents.Items(1).Content.ItemName, "c");
    EXPECT_EQ(contents.Items(1).Index(), 1);
    EXPECT_THROW(contents.RemoveAt(2), EListError);
    EXPECT_EQ(AddContentItem(contents), 2);
}

TEST(RegistryContents, IndexOutOfBoundsRaisesTheListError)
{
    TRegistryContents contents;
    AddContentItem(contents);
    try {
        contents.Items(contents.Count());
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    EXPECT_THROW(contents.Items(-1), EListError);
}

TEST(RegistryContents, FifteenSectionCollections)
{
    auto session = std::make_unique<Session>(platform::Platform{});
    EXPECT_EQ(session->SectionContents.size(), 15u);
    AddContentItem(session->SectionContents[14]);
    AddContentItem(session->SectionContents[0]);
    ClearSectionContents(*session);
    for (const TRegistryContents& contents : session->SectionContents)
        EXPECT_EQ(contents.Count(), 0);
}

} // namespace
} // namespace tw
