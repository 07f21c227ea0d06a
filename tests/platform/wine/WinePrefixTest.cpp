// Opening and saving a prefix: which hives are written, how, and when writing is refused.
#include "platform/wine/WinePrefix.h"

#include "platform/wine/WineRegistry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tw::wine {

using namespace tw::win;
namespace {

using platform::KeyHandle;
using test::PrefixBuilder;
using test::readFile;
using test::runProcess;
using test::TempDir;
namespace fs = std::filesystem;

void setUserValue(WinePrefix& prefix, const std::string& name, const std::string& text)
{
    KeyHandle key(prefix.registry());
    ASSERT_EQ(prefix.registry().createKey(HKEY_CURRENT_USER, "Software\\Tidewell", KEY_ALL_ACCESS,
                                          key.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(prefix.registry().setValue(key.get(), name, REG_SZ, text + '\0'), ERROR_SUCCESS);
}

/// Files of ours in the prefix folder but the lock files and the record of the last save,
/// which stay.
std::vector<std::string> leftovers(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find("tidewell") != std::string::npos && name != ".tidewell.lock" &&
            name != ".tidewell.writer.lock" && name != ".tidewell.saved")
            names.push_back(name);
    }
    return names;
}

TEST(WinePrefix, SavesOnlyTheChangedHiveAndKeepsItsPermissions)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    ::chmod((dir.path() / "user.reg").c_str(), 0600);
    const std::string system = readFile(dir.path() / "system.reg");
    const std::string userdef = readFile(dir.path() / "userdef.reg");
    const auto systemTime = fs::last_write_time(dir.path() / "system.reg");

    WinePrefix prefix(dir.str());
    setUserValue(prefix, "HomePage", "https://example.org/");
    prefix.save();

    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "system.reg"), system), "");
    EXPECT_EQ(fs::last_write_time(dir.path() / "system.reg"), systemTime);
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "userdef.reg"), userdef), "");
    EXPECT_NE(readFile(dir.path() / "user.reg").find("[Software\\\\Tidewell]"), std::string::npos);
    struct stat st;
    ASSERT_EQ(::stat((dir.path() / "user.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(leftovers(dir.path()).empty());
    EXPECT_FALSE(prefix.hasUnsavedChanges());

    WinePrefix reopened(dir.str());
    KeyHandle key(reopened.registry());
    ASSERT_EQ(
        reopened.registry().openKey(HKEY_CURRENT_USER, "Software\\Tidewell", KEY_READ, key.out()),
        ERROR_SUCCESS);
    std::string data;
    ASSERT_EQ(reopened.registry().queryValue(key.get(), "HomePage", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("https://example.org/\0", 21));
}

TEST(WinePrefix, ReplacedHivesKeepTheirOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    const uid_t owner = 12345;
    const gid_t group = 23456;
    for (const char* hive : {"system.reg", "user.reg"}) {
        ASSERT_EQ(::chown((dir.path() / hive).c_str(), owner, group), 0);
        ASSERT_EQ(::chmod((dir.path() / hive).c_str(), 0640), 0);
    }
    WinePrefix prefix(dir.str());
    setUserValue(prefix, "A", "1");
    prefix.save(); // user.reg alone
    setUserValue(prefix, "B", "2");
    KeyHandle machine(prefix.registry());
    ASSERT_EQ(prefix.registry().createKey(HKEY_LOCAL_MACHINE, "Software\\Tidewell", KEY_ALL_ACCESS,
                                          machine.out()),
              ERROR_SUCCESS);
    prefix.save(); // both hives at once
    for (const char* hive : {"system.reg", "user.reg"}) {
        struct stat st;
        ASSERT_EQ(::stat((dir.path() / hive).c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, owner) << hive;
        EXPECT_EQ(st.st_gid, group) << hive;
        EXPECT_EQ(st.st_mode & 07777, 0640u) << hive;
    }
    EXPECT_NE(readFile(dir.path() / "user.reg").find("\"B\"=\"2\""), std::string::npos);
}

TEST(WinePrefix, NeverOverwritesAHiveThatChangedOnDisk)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    WinePrefix prefix(dir.str());
    setUserValue(prefix, "A", "1");

    std::string changed = readFile(dir.path() / "user.reg") + "\n[Software\\\\Other] 1\n";
    test::writeFile(dir.path() / "user.reg", changed);
    try {
        prefix.save();
        FAIL() << "saved over a hive that changed on disk";
    } catch (const PrefixError& e) {
        EXPECT_NE(std::string(e.what()).find("changed on disk"), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "user.reg"), changed), "");
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(WinePrefix, ARefusedSaveNamesWhoChangedTheHive)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    const auto refusal = [](WinePrefix& prefix) {
        try {
            prefix.save();
        } catch (const PrefixError& e) {
            return std::string(e.what());
        }
        return std::string("saved");
    };

    // The window's store read the hives; a command of another Tidewell saved in between.
    WinePrefix window(dir.str());
    setUserValue(window, "Mine", "1");
    {
        WinePrefix command(dir.str(), OpenMode::Writer);
        setUserValue(command, "Theirs", "2");
        command.save();
    }
    EXPECT_NE(window.writeRefusal().find("another Tidewell saved"), std::string::npos)
        << window.writeRefusal();
    const std::string byTidewell = refusal(window);
    EXPECT_NE(byTidewell.find("user.reg changed on disk"), std::string::npos) << byTidewell;
    EXPECT_NE(byTidewell.find("another Tidewell saved"), std::string::npos) << byTidewell;

    // Wine writes a new file in the hive's place when it saves.
    WinePrefix again(dir.str());
    setUserValue(again, "Mine", "1");
    const std::string wine = readFile(dir.path() / "user.reg") + "\n[Software\\\\Wine] 1\n";
    test::writeFile(dir.path() / "user.reg.new", wine);
    fs::rename(dir.path() / "user.reg.new", dir.path() / "user.reg");
    const std::string byWine = refusal(again);
    EXPECT_NE(byWine.find("Wine or another program"), std::string::npos) << byWine;
    EXPECT_EQ(byWine.find("another Tidewell"), std::string::npos) << byWine;
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "user.reg"), wine), "");
}

TEST(WinePrefix, RevertForgetsUnsavedChanges)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    WinePrefix prefix(dir.str());
    setUserValue(prefix, "A", "1");
    KeyHandle opened(prefix.registry());
    ASSERT_EQ(
        prefix.registry().openKey(HKEY_CURRENT_USER, "Software\\Tidewell", KEY_READ, opened.out()),
        ERROR_SUCCESS);
    prefix.revert();
    EXPECT_FALSE(prefix.hasUnsavedChanges());
    EXPECT_EQ(prefix.registry().queryValue(opened.get(), "A", nullptr, nullptr),
              ERROR_INVALID_HANDLE)
        << "handles into the old tree are gone";
    KeyHandle key(prefix.registry());
    EXPECT_EQ(
        prefix.registry().openKey(HKEY_CURRENT_USER, "Software\\Tidewell", KEY_READ, key.out()),
        ERROR_FILE_NOT_FOUND);
}

TEST(WinePrefix, ExplainsAMissingPrefix)
{
    TempDir dir;
    try {
        WinePrefix prefix((dir.path() / "nowhere").string());
        FAIL();
    } catch (const PrefixError& e) {
        EXPECT_NE(std::string(e.what()).find("no such folder"), std::string::npos);
    }
    try {
        WinePrefix prefix(dir.str());
        FAIL();
    } catch (const PrefixError& e) {
        EXPECT_NE(std::string(e.what()).find("not a Wine prefix"), std::string::npos);
    }
}

TEST(WinePrefix, DamagedHiveMakesThePrefixUnusable)
{
    TempDir dir;
    PrefixBuilder(dir.path()).systemHive("\n[Software] 1\n\"x\"=hex:0g\n");
    try {
        WinePrefix prefix(dir.str());
        FAIL();
    } catch (const PrefixError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find((dir.path() / "system.reg").string() + " line 7"), std::string::npos)
            << message;
        EXPECT_NE(message.find("will not change"), std::string::npos);
    }
}

TEST(WinePrefix, HiveThatAWriteWouldChangeIsRefusedAndKeptAsItIs)
{
    // Two names that are not UTF-8 would become one key, and the next save would merge them.
    TempDir dir;
    PrefixBuilder(dir.path())
        .userHive(
            "\n[Software\\\\caf\xe9] 1\n\"a\"=\"1\"\n\n[Software\\\\caf\xe8] 1\n\"a\"=\"2\"\n");
    const std::string user = readFile(dir.path() / "user.reg");
    try {
        WinePrefix prefix(dir.str());
        FAIL() << "a hive with bytes that are not UTF-8 was opened";
    } catch (const PrefixError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find((dir.path() / "user.reg").string() + " line 6"), std::string::npos)
            << message;
        EXPECT_NE(message.find("UTF-8"), std::string::npos) << message;
    }
    EXPECT_EQ(readFile(dir.path() / "user.reg"), user);
}

TEST(WinePrefix, KeysDeeperThanWindowsAllowsAreReportedAsDamage)
{
    TempDir dir;
    std::string path = "k";
    for (int i = 1; i < 20000; ++i)
        path += "\\\\k";
    PrefixBuilder(dir.path()).userHive("\n[Software] 1\n\n[" + path + "] 1\n");
    try {
        WinePrefix prefix(dir.str());
        FAIL() << "a key 20,000 levels deep was read";
    } catch (const PrefixError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find((dir.path() / "user.reg").string() + " line 8"), std::string::npos)
            << message.substr(0, 300);
        EXPECT_NE(message.find("512 levels"), std::string::npos) << message.substr(0, 300);
    }
}

TEST(WinePrefix, RefusesHivesOfMixedArchitectures)
{
    TempDir dir;
    PrefixBuilder(dir.path()).systemHive("", "win64").userHive("", "win32");
    try {
        WinePrefix prefix(dir.str());
        FAIL();
    } catch (const PrefixError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("user.reg line 4"), std::string::npos) << message;
        EXPECT_NE(message.find("#arch=win32"), std::string::npos) << message;
    }
}

/// A real wineserver for a prefix, stopped at the end.
class RunningWineserver
{
public:
    explicit RunningWineserver(const std::string& prefix) : m_prefix(prefix)
    {
        const auto result = runProcess({"wineserver", "-p"}, env());
        if (result.exitCode != 0)
            throw std::runtime_error("wineserver did not start: " + result.err);
    }
    ~RunningWineserver()
    {
        runProcess({"wineserver", "-k"}, env());
        runProcess({"wineserver", "-w"}, env());
    }
    std::map<std::string, std::string> env() const
    {
        return {{"WINEPREFIX", m_prefix}, {"WINEDEBUG", "-all"}};
    }

private:
    std::string m_prefix;
};

TEST(WinePrefix, OpensReadOnlyWhileWineRuns)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    {
        RunningWineserver server(dir.str());
        WinePrefix prefix(dir.str());
        ASSERT_TRUE(prefix.isReadOnly());
        EXPECT_NE(prefix.readOnlyReason().find("wineserver -k"), std::string::npos);

        KeyHandle key(prefix.registry());
        ASSERT_EQ(prefix.registry().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture",
                                            KEY_ALL_ACCESS, key.out()),
                  ERROR_SUCCESS)
            << "reading still works";
        EXPECT_EQ(prefix.registry().setValue(key.get(), "x", REG_SZ, std::string("\0", 1)),
                  ERROR_ACCESS_DENIED);
        KeyHandle created(prefix.registry());
        EXPECT_EQ(prefix.registry().createKey(HKEY_CURRENT_USER, "Software\\New", KEY_ALL_ACCESS,
                                              created.out()),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(prefix.registry().deleteKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\10"),
                  ERROR_ACCESS_DENIED);
    }
    WinePrefix afterwards(dir.str());
    EXPECT_FALSE(afterwards.isReadOnly());
}

TEST(WinePrefix, SaveRefusesWhenWineStartedMeanwhile)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    WinePrefix prefix(dir.str());
    setUserValue(prefix, "A", "1");
    const std::string user = readFile(dir.path() / "user.reg");
    RunningWineserver server(dir.str());
    EXPECT_THROW(prefix.save(), PrefixError);
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "user.reg"), user), "");
}

TEST(WinePrefix, HiveRewrittenDuringASaveIsNeverOverwritten)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    const std::string system = readFile(dir.path() / "system.reg");
    const std::string otherWriter = readFile(dir.path() / "user.reg") + "\n[Software\\\\Other] 1\n";
    WinePrefix prefix(dir.str());
    setUserValue(prefix, "A", "1");
    KeyHandle machine(prefix.registry());
    ASSERT_EQ(prefix.registry().createKey(HKEY_LOCAL_MACHINE, "Software\\Tidewell", KEY_ALL_ACCESS,
                                          machine.out()),
              ERROR_SUCCESS);
    // Someone else writes user.reg after system.reg was replaced, before user.reg's turn.
    prefix.hiveStore().setSaveObserver([&](SaveStep step, const std::string& file) {
        if (step == SaveStep::Renamed && file.find("system.reg") != std::string::npos)
            test::writeFile(dir.path() / "user.reg", otherWriter);
    });
    try {
        prefix.save();
        FAIL() << "saved over a hive that another writer had just written";
    } catch (const PrefixError& e) {
        EXPECT_NE(std::string(e.what()).find("user.reg changed on disk"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "user.reg"), otherWriter), "");
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "system.reg"), system), "")
        << "the hive replaced first is put back";
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(WinePrefix, SaveSaysSoWhenWineStartedWhileItWrote)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    WinePrefix prefix(dir.str());
    setUserValue(prefix, "A", "1");
    std::unique_ptr<RunningWineserver> server;
    prefix.hiveStore().setSaveObserver([&](SaveStep step, const std::string&) {
        if (step == SaveStep::Renamed && !server)
            server = std::make_unique<RunningWineserver>(dir.str());
    });
    try {
        prefix.save();
        FAIL() << "a save beside a wineserver that started meanwhile was reported as done";
    } catch (const PrefixError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("Wine started"), std::string::npos) << message;
        EXPECT_NE(message.find("wineserver -k"), std::string::npos) << message;
    }
    EXPECT_TRUE(prefix.isReadOnly());
}

} // namespace
} // namespace tw::wine
