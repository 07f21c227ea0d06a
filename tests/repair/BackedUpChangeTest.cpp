// A backed-up change: refused, failing, unsaved and saved changes on a real prefix.
#include "repair/BackedUpChange.h"

#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "repair/BackupWriter.h"
#include "support/PrefixFixture.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const char* kUser = R"hive(
[Software\\App] 1
"Keep"="k"
"Drop"="d"
)hive";

const std::string kApp = "HKEY_CURRENT_USER\\Software\\App";
const std::string kNote = "C:\\users\\Public\\note.txt";

class BackedUpChangeTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.userHive(kUser);
        builder.file("users/Public/note.txt", "note bytes");
    }
    // As the start-up's DetectPlatform leaves it.
    void sessionStarted() override { session->PlatformKind = 4; }

    fs::path userReg() const { return fs::path(prefixPath()) / "user.reg"; }
    fs::path note() const { return driveC() / "users/Public/note.txt"; }
    fs::path backupFolder() const { return driveC() / "Program Files/Tidewell/AllRegBack"; }

    /// The change most tests make: "Drop" goes, "Added" comes.
    std::vector<RegistryChange> changes() const
    {
        return {RegistryChange::deleteValue(kApp, "Drop"),
                RegistryChange::setValue(kApp, "Added", win::REG_SZ, std::string("a") + '\0')};
    }
    ChangeStep applying(const std::string& thenFail = {})
    {
        return [this, thenFail] {
            ++m_changeRuns;
            const std::string error = ApplyRegistryChanges(*session, changes());
            return error.empty() ? thenFail : error;
        };
    }

    /// The values of Software\App as `session` reads them: "name=data" in registry order.
    static std::vector<std::string> appValues(const Session& reader)
    {
        TRegistry registry(reader);
        registry.SelectRoot(win::HKEY_CURRENT_USER);
        std::vector<std::string> names;
        if (registry.OpenPath("Software\\App", false))
            registry.ListValues(names);
        for (std::string& name : names)
            name += "=" + registry.ReadTextValue(name).value_or("?");
        return names;
    }
    /// The same through a prefix opened afresh: what the hive files hold.
    std::vector<std::string> savedAppValues() const
    {
        wine::WinePrefix fresh(prefixPath());
        const Session reader(fresh.platform());
        return appValues(reader);
    }

    /// Nothing of the change is left: not in the session, not on disk, no backup.
    void expectNothingChanged(const std::string& userRegBefore)
    {
        const std::vector<std::string> before = {"Drop=d", "Keep=k"};
        EXPECT_EQ(appValues(*session), before);
        EXPECT_FALSE(prefix->hasUnsavedChanges());
        EXPECT_EQ(test::readFile(userReg()), userRegBefore);
        EXPECT_EQ(test::readFile(note()), "note bytes");
        EXPECT_TRUE(ListBackups(*session).empty());
        EXPECT_TRUE(!fs::exists(backupFolder()) || fs::is_empty(backupFolder()));
    }

    int m_changeRuns = 0;
};

TEST_F(BackedUpChangeTest, RefusedBeforeTheBackupWhenThePrefixCannotBeSaved)
{
    // Another program rewrote user.reg since it was read.
    const std::string otherWriter = test::readFile(userReg()) + "\n[Software\\\\Other] 1\n";
    test::writeFile(userReg(), otherWriter);
    const ChangeOutcome outcome =
        MakeBackedUpChange(*session, "Test Change", changes(), {{kNote, false}}, applying());
    EXPECT_EQ(outcome.error.rfind("Nothing was changed: ", 0), 0u) << outcome.error;
    EXPECT_EQ(outcome.backupPath, "");
    EXPECT_EQ(m_changeRuns, 0);
    EXPECT_FALSE(fs::exists(driveC() / "Program Files/Tidewell"));
    expectNothingChanged(otherWriter);
}

TEST_F(BackedUpChangeTest, BackupThatCannotBeWrittenRunsNoChange)
{
    test::writeFile(driveC() / "Program Files/Tidewell", "in the way");
    const std::string hive = test::readFile(userReg());
    const ChangeOutcome outcome =
        MakeBackedUpChange(*session, "Test Change", changes(), {}, applying());
    EXPECT_EQ(outcome.error.rfind("Nothing was changed: the backup could not be written", 0), 0u)
        << outcome.error;
    EXPECT_EQ(m_changeRuns, 0);
    expectNothingChanged(hive);
}

TEST_F(BackedUpChangeTest, ChangeThatFailsIsRolledBackAndItsBackupRemoved)
{
    const std::string hive = test::readFile(userReg());
    // Half made, then failed: by its error text, and by an exception.
    const ChangeOutcome failed = MakeBackedUpChange(*session, "Test Change", changes(),
                                                    {{kNote, false}}, applying("disk full"));
    EXPECT_EQ(failed.error, "Nothing was changed: disk full");
    EXPECT_EQ(failed.backupPath, "");
    expectNothingChanged(hive);

    const ChangeOutcome thrown =
        MakeBackedUpChange(*session, "Test Change", changes(), {{kNote, false}}, [&] {
            ApplyRegistryChanges(*session, changes());
            throw std::runtime_error("the key is locked");
            return std::string();
        });
    EXPECT_EQ(thrown.error, "Nothing was changed: the key is locked");
    expectNothingChanged(hive);
}

TEST_F(BackedUpChangeTest, SaveThatFailsRollsBackAndRemovesTheBackup)
{
    const std::string otherWriter = test::readFile(userReg()) + "\n[Software\\\\Other] 1\n";
    // Another program writes user.reg while the change is being saved.
    prefix->hiveStore().setSaveObserver([&](wine::SaveStep step, const std::string& file) {
        if (step == wine::SaveStep::TemporaryWritten && file.find("user.reg") != std::string::npos)
            test::writeFile(userReg(), otherWriter);
    });
    bool afterSaveRan = false;
    const ChangeOutcome outcome =
        MakeBackedUpChange(*session, "Test Change", changes(), {{kNote, false}}, applying(), [&] {
            afterSaveRan = true;
            return std::string();
        });
    EXPECT_EQ(outcome.error.rfind("Nothing was changed: the change could not be saved", 0), 0u)
        << outcome.error;
    EXPECT_EQ(outcome.backupPath, "");
    EXPECT_FALSE(afterSaveRan);
    expectNothingChanged(otherWriter);
}

TEST_F(BackedUpChangeTest, SavedChangeIsOnDiskAndItsBackupTakesItBack)
{
    const ChangeOutcome outcome =
        MakeBackedUpChange(*session, "Test Change", changes(), {{kNote, false}}, applying(), [&] {
            return session->files().deleteFile(kNote) ? std::string() : "cannot delete";
        });
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_EQ(outcome.backupPath.rfind(BackupFolder() + "Test Change Backup_", 0), 0u);
    EXPECT_FALSE(prefix->hasUnsavedChanges());
    const std::vector<std::string> changed = {"Added=a", "Keep=k"};
    EXPECT_EQ(savedAppValues(), changed);
    EXPECT_FALSE(fs::exists(note()));
    const std::vector<BackupEntry> listed = ListBackups(*session);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].path, outcome.backupPath);

    const BackupActionResult restored = RestoreBackup(*session, outcome.backupPath);
    ASSERT_TRUE(restored.ok) << restored.message << " " << restored.error;
    const std::vector<std::string> before = {"Drop=d", "Keep=k"};
    EXPECT_EQ(savedAppValues(), before);
    EXPECT_EQ(test::readFile(note()), "note bytes");
}

TEST_F(BackedUpChangeTest, FileStepThatFailsAfterTheSaveRemovesTheBackup)
{
    const std::string hive = test::readFile(userReg());
    // A change of files alone: the registry has nothing to save.
    const ChangeOutcome outcome = MakeBackedUpChange(*session, "Test Change", {}, {{kNote, false}},
                                                     {}, [] { return std::string("busy"); });
    EXPECT_EQ(outcome.error, "Nothing was changed: busy");
    EXPECT_EQ(outcome.backupPath, "");
    expectNothingChanged(hive);
}

} // namespace
} // namespace tw
