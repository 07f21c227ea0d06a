// Saves that change two hives are all or nothing: a process killed at any moment of a save,
// or a rename that fails, leaves both hives old or both new.
#include "platform/wine/HiveSave.h"

#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "support/TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tw::wine {

using namespace tw::win;
namespace {

using platform::KeyHandle;
using test::PrefixBuilder;
using test::readFile;
using test::TempDir;
namespace fs = std::filesystem;

/// Sets "Gen" in HKLM\Software\Tidewell and HKCU\Software\Tidewell: one change in two hives.
void setGeneration(WinePrefix& prefix, int generation)
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        KeyHandle key(prefix.registry());
        if (prefix.registry().createKey(root, "Software\\Tidewell", KEY_ALL_ACCESS, key.out()) ||
            prefix.registry().setValue(key.get(), "Gen", REG_SZ, std::to_string(generation) + '\0'))
            throw std::runtime_error("cannot set the generation");
    }
}

std::string generation(WinePrefix& prefix, HKEY root)
{
    KeyHandle key(prefix.registry());
    std::string data;
    if (prefix.registry().openKey(root, "Software\\Tidewell", KEY_READ, key.out()) ||
        prefix.registry().queryValue(key.get(), "Gen", nullptr, &data))
        return "none";
    return data.substr(0, data.find('\0'));
}

/// Files a save leaves only while it runs: temporary and kept files, journals.
std::vector<std::string> saveLeftovers(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tidewell-") != std::string::npos)
            names.push_back(name);
    }
    return names;
}

/// Opens the prefix (which finishes or undoes an interrupted save) and returns the
/// generation that both hives hold; fails when they differ.
std::string consistentGeneration(const std::string& dir)
{
    WinePrefix prefix(dir);
    const std::string machine = generation(prefix, HKEY_LOCAL_MACHINE);
    const std::string user = generation(prefix, HKEY_CURRENT_USER);
    EXPECT_EQ(machine, user) << "system.reg and user.reg are of different saves";
    return machine;
}

/// Runs `child` in a forked process and returns its wait status.
template <typename Child> int inChild(Child child)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            child();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(HiveSave, ProcessKilledAtAnyStepOfASaveLeavesBothHivesOfOneSave)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    std::vector<SaveStep> steps;
    {
        WinePrefix prefix(dir.str());
        prefix.hiveStore().setSaveObserver(
            [&](SaveStep step, const std::string&) { steps.push_back(step); });
        setGeneration(prefix, 1);
        prefix.save();
    }
    ASSERT_GE(steps.size(), 8u) << "two new files, two kept, journal, two renames, finish";

    std::string expected = "1";
    for (size_t killAt = 0; killAt < steps.size(); ++killAt) {
        const int next = static_cast<int>(killAt) + 2;
        const int status = inChild([&] {
            WinePrefix prefix(dir.str());
            size_t seen = 0;
            prefix.hiveStore().setSaveObserver([&](SaveStep, const std::string&) {
                if (seen++ == killAt)
                    ::raise(SIGKILL);
            });
            setGeneration(prefix, next);
            prefix.save();
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << "step " << killAt << " was not reached";
        // Once the journal is written the save is finished on the next open.
        if (steps[killAt] >= SaveStep::JournalWritten)
            expected = std::to_string(next);
        EXPECT_EQ(consistentGeneration(dir.str()), expected) << "killed at step " << killAt;
        EXPECT_TRUE(saveLeftovers(dir.path()).empty()) << "killed at step " << killAt;
    }
}

TEST(HiveSave, ProcessKilledAtRandomMomentsLeavesBothHivesOfOneSave)
{
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/fresh");
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delay(0, 40000);
    for (int round = 0; round < 40; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Saves new generations until it is killed.
            try {
                WinePrefix prefix(dir.str());
                for (int generation = round * 100000;; ++generation) {
                    setGeneration(prefix, generation);
                    prefix.save();
                }
            } catch (...) {
                ::_exit(3);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving process ended by itself";
        consistentGeneration(dir.str());
        EXPECT_TRUE(saveLeftovers(dir.path()).empty());
    }
}

TEST(HiveSave, ReaderThatFoundNoLockFileLeavesASaveInProgressAlone)
{
    // A reader that looked for the lock file before the writer made it reads without the
    // lock: it must not take the writer's files for the leftovers of an interrupted save.
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    const fs::path lockFile = dir.path() / ".tidewell.lock";
    WinePrefix writer(dir.str());
    std::vector<std::string> seenMeanwhile;
    int generation = 0;
    for (const SaveStep during : {SaveStep::TemporaryWritten, SaveStep::JournalWritten}) {
        bool met = false;
        writer.hiveStore().setSaveObserver([&](SaveStep step, const std::string&) {
            if (step != during || met)
                return;
            met = true;
            fs::rename(lockFile, dir.path() / "lock-aside");
            seenMeanwhile.push_back(consistentGeneration(dir.str()));
            fs::rename(dir.path() / "lock-aside", lockFile);
        });
        setGeneration(writer, ++generation);
        EXPECT_NO_THROW(writer.save());
        EXPECT_TRUE(saveLeftovers(dir.path()).empty());
    }
    // The reader saw what was saved before each save, and each save went through.
    EXPECT_EQ(seenMeanwhile, std::vector<std::string>({"none", "1"}));
    EXPECT_EQ(consistentGeneration(dir.str()), "2");
}

TEST(HiveSave, FailedRenamePutsBackTheHivesAlreadyReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "an immutable file needs root";
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    const fs::path user = dir.path() / "user.reg";
    const std::string system = readFile(dir.path() / "system.reg");
    const std::string userText = readFile(user);
    WinePrefix prefix(dir.str());
    setGeneration(prefix, 7);
    // user.reg is renamed last: system.reg is already replaced when its rename fails.
    if (test::runProcess({"chattr", "+i", user.string()}).exitCode != 0)
        GTEST_SKIP() << "the file system keeps no immutable flag";
    try {
        prefix.save();
        ADD_FAILURE() << "saved over an immutable hive";
    } catch (const PrefixError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(user.string()), std::string::npos) << message;
        EXPECT_NE(message.find("put back"), std::string::npos) << message;
    }
    test::runProcess({"chattr", "-i", user.string()});
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "system.reg"), system), "");
    EXPECT_EQ(test::firstDifference(readFile(user), userText), "");
    EXPECT_TRUE(saveLeftovers(dir.path()).empty());
    EXPECT_TRUE(prefix.hasUnsavedChanges()) << "the change is still there to save again";
}

TEST(HiveSave, RenameThatFailsAfterOthersSucceededIsUndone)
{
    // Works as any user: the new user.reg is swapped for a folder just before the renames,
    // so its rename fails after system.reg was replaced.
    TempDir dir;
    PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
    const std::string system = readFile(dir.path() / "system.reg");
    const std::string user = readFile(dir.path() / "user.reg");
    WinePrefix prefix(dir.str());
    setGeneration(prefix, 9);
    fs::path blocked;
    prefix.hiveStore().setSaveObserver([&](SaveStep step, const std::string&) {
        if (step != SaveStep::JournalWritten)
            return;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("user.reg.tidewell-", 0) == 0 && name != "user.reg.tidewell-old")
                blocked = entry.path();
        }
        fs::remove(blocked);
        fs::create_directory(blocked);
    });
    try {
        prefix.save();
        ADD_FAILURE() << "the save reported success";
    } catch (const PrefixError& e) {
        EXPECT_NE(
            std::string(e.what()).find("Cannot replace " + (dir.path() / "user.reg").string()),
            std::string::npos)
            << e.what();
    }
    ASSERT_FALSE(blocked.empty());
    fs::remove(blocked);
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "system.reg"), system), "");
    EXPECT_EQ(test::firstDifference(readFile(dir.path() / "user.reg"), user), "");
    EXPECT_TRUE(saveLeftovers(dir.path()).empty());

    // Saving again once nothing is in the way writes both.
    prefix.hiveStore().setSaveObserver({});
    prefix.save();
    EXPECT_EQ(consistentGeneration(dir.str()), "9");
}

} // namespace
} // namespace tw::wine
