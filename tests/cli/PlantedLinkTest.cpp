// Writers of the prefix against links planted at the names they write, and the temporary files
// that writers which were killed leave behind.
#include "support/ChildProcess.h"
#include "support/CliFixture.h"
#include "support/UpdateServer.h"

#include <ctime>
#include <gtest/gtest.h>

namespace tw::cli {
namespace {

using test::readFile;
namespace fs = std::filesystem;

const char* kSystem = R"hive(
[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\gone.dll"=dword:00000002
)hive";

const std::string kStartUp = "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp";

class PlantedLinkTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        test::PrefixBuilder(dir.path() / "prefix")
            .fixtureHives("wine-8.0/fresh")
            .file("windows/win.ini", "[windows]\r\n[Load]\r\nfirst=C:\\first.exe\r\n")
            .file(kStartUp + "/tool.lnk", "shortcut")
            .folder("Program Files/Tidewell/AllRegBack");
        const fs::path system = dir.path() / "prefix" / "system.reg";
        test::writeFile(system, readFile(system) + kSystem);
        test::writeFile(canary(), kCanary);
    }

    /// A file of the user's outside the prefix that links point at.
    fs::path canary() const { return dir.path() / "canary"; }
    fs::path programFolder() const { return dir.path() / "prefix/drive_c/Program Files/Tidewell"; }
    fs::path backupFolder() const { return programFolder() / "AllRegBack"; }
    void plant(const fs::path& at) const { fs::create_symlink(canary(), at); }

    /// Links at the names a backup made in the coming half minute had: its temporary name
    /// at the canary, its own name at a file outside that does not exist.
    void plantAtBackupNames(const std::string& kind = "Full Registry Backup") const
    {
        for (std::time_t t = std::time(nullptr) - 2, end = t + 32; t < end; ++t) {
            std::tm local{};
            localtime_r(&t, &local);
            char name[64];
            std::strftime(name, sizeof name, "_%Y_%m_%d_%H_%M_%S.reg", &local);
            plant(backupFolder() / (kind + name + ".part"));
            fs::create_symlink(dir.path() / "made-outside", backupFolder() / (kind + name));
        }
    }

    /// The canary is as it was, and no file but the links is left below `folder` that is
    /// not a finished one.
    void expectUntouched(const fs::path& folder) const
    {
        EXPECT_EQ(readFile(canary()), kCanary);
        EXPECT_FALSE(fs::exists(dir.path() / "made-outside"));
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_symlink())
                continue;
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.find(".tidewell-"), std::string::npos) << entry.path();
            EXPECT_FALSE(name.ends_with(".part")) << entry.path();
        }
    }

    /// The backup file the command named on its output ("...AllRegBack\<name>.reg").
    static fs::path namedBackup(const std::string& out, const fs::path& folder)
    {
        const size_t end = out.find(".reg");
        const size_t start = out.find_last_of("\\/", end);
        if (end == std::string::npos || start == std::string::npos)
            return {};
        return folder / out.substr(start + 1, end + 4 - start - 1);
    }

    /// The 1-based row of `name` in the startup list.
    int startupRow(const std::string& name)
    {
        const std::string list = cli({"startup", "list", "--json"}).out;
        const size_t at = list.find("\"name\": \"" + name + "\"");
        if (at == std::string::npos)
            return 0;
        int row = 0;
        for (size_t pos = 0; (pos = list.find("{\"kind\"", pos)) < at; ++pos)
            ++row;
        return row;
    }

    static constexpr const char* kCanary = "canary!!!";
};

TEST_F(PlantedLinkTest, BackupsAndRepairWriteAroundLinksAtTheirNames)
{
    plantAtBackupNames();

    const auto full = cli({"backups", "full"});
    ASSERT_EQ(full.exitCode, 0) << full.err;
    const fs::path backup = namedBackup(full.out, backupFolder());
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(backup))) << full.out;
    EXPECT_TRUE(backup.stem().string().ends_with("_2")) << "the next name after the link's";
    // The whole registry, in UTF-16.
    EXPECT_NE(readFile(backup).find(std::string("g\0o\0n\0e\0.\0d\0l\0l\0", 16)),
              std::string::npos);
    expectUntouched(backupFolder());

    const auto repair = cli({"repair", "--sections", "8"});
    ASSERT_EQ(repair.exitCode, 0) << repair.err;
    EXPECT_NE(repair.out.find("Repair Succeed"), std::string::npos) << repair.out;
    const fs::path undo = namedBackup(repair.out, backupFolder());
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(undo))) << repair.out;
    EXPECT_NE(undo, backup);
    expectUntouched(backupFolder());
}

TEST_F(PlantedLinkTest, ProgramFilesAreReplacedWithoutWritingThroughALink)
{
    plant(programFolder() / "FileList.part");
    plant(programFolder() / "FileList.tmp");
    plant(programFolder() / "Update.ini.part");
    plant(programFolder() / "Update.ini.tmp");
    // A link at the final name is replaced by the file, never written through.
    plant(programFolder() / "Update.ini");

    const auto add = cli({"junk", "types", "add", "*.xyz", "Planted"});
    ASSERT_EQ(add.exitCode, 0) << add.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(programFolder() / "FileList")));
    EXPECT_NE(cli({"junk", "types"}).out.find("*.xyz"), std::string::npos);

    test::UpdateServer server;
    const auto check = cli({"update", "check", "--url", server.host("2.1"), "--json"});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(programFolder() / "Update.ini")));
    EXPECT_EQ(readFile(programFolder() / "Update.ini"),
              "; release notes\r\n[Version]\r\nVer=2.1\r\n");
    expectUntouched(programFolder());
}

TEST_F(PlantedLinkTest, StartupRemovalAndItsRestoreWriteNoLink)
{
    const fs::path windows = dir.path() / "prefix/drive_c/windows";
    plant(windows / "win.ini.part");
    plantAtBackupNames("Startup Entry Removal Backup");

    const int first = startupRow("first");
    ASSERT_GT(first, 0);
    const auto removeIni = cli({"startup", "remove", std::to_string(first)});
    ASSERT_EQ(removeIni.exitCode, 0) << removeIni.err;
    EXPECT_EQ(readFile(windows / "win.ini"), "[windows]\r\n[Load]\r\n");

    const int tool = startupRow("tool.lnk");
    ASSERT_GT(tool, 0);
    const auto removeFile = cli({"startup", "remove", std::to_string(tool)});
    ASSERT_EQ(removeFile.exitCode, 0) << removeFile.err;
    const fs::path lnk = dir.path() / "prefix/drive_c" / kStartUp / "tool.lnk";
    ASSERT_FALSE(fs::exists(fs::symlink_status(lnk)));
    expectUntouched(backupFolder());
    expectUntouched(windows);

    // A link put where the file was is left alone by the restore, which says so.
    fs::create_symlink(dir.path() / "made-outside", lnk);
    fs::path kept;
    for (const auto& entry : fs::directory_iterator(backupFolder()))
        if (entry.path().extension() == ".files" &&
            readFile(entry.path() / "index.txt").find("tool.lnk") != std::string::npos)
            kept = fs::path(entry.path()).replace_extension(".reg");
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(kept))) << kept;
    const auto restore = cli({"backups", "restore", kept.string()});
    EXPECT_EQ(restore.exitCode, 1);
    EXPECT_NE(restore.err.find("tool.lnk: cannot copy it back"), std::string::npos) << restore.err;
    EXPECT_TRUE(fs::is_symlink(lnk));
    expectUntouched(dir.path() / "prefix/drive_c" / kStartUp);
}

TEST_F(PlantedLinkTest, LockFilesAreNeverMadeThroughALink)
{
    // A dangling link at each lock file's name: a writer must not make the file it names.
    fs::create_symlink(dir.path() / "made-outside", dir.path() / "prefix/.tidewell.lock");
    fs::create_symlink(dir.path() / "made-outside-too",
                       dir.path() / "prefix/.tidewell.writer.lock");
    const auto set = test::runProcess({test::cliPath(), "--prefix", prefix(), "reg", "set",
                                       "HKCU\\Software\\T", "v", "REG_SZ", "x"},
                                      {{"HOME", dir.str()}});
    EXPECT_NE(set.exitCode, 0) << set.out;
    EXPECT_NE(set.err.find(".tidewell"), std::string::npos) << set.err;
    EXPECT_FALSE(fs::exists(dir.path() / "made-outside"));
    EXPECT_FALSE(fs::exists(dir.path() / "made-outside-too"));
    const auto scan =
        test::runProcess({test::cliPath(), "--prefix", prefix(), "scan"}, {{"HOME", dir.str()}});
    EXPECT_EQ(scan.exitCode, 0) << "reading goes on without the lock: " << scan.err;
}

TEST_F(PlantedLinkTest, TemporaryFilesOfWritersThatAreGoneGoAtTheNextWrite)
{
    test::ChildProcess gone({"true"});
    gone.wait();
    test::ChildProcess alive({"cat"});
    const std::string random = "k3v9q0z2m1xa";
    const auto ours = [&](pid_t pid) {
        return programFolder() /
               ("FileList.tidewell-" + std::to_string(pid) + "-" + random + ".part");
    };
    const std::vector<fs::path> others = {
        ours(alive.pid()),
        programFolder() / ("FileList.tidewell-" + std::to_string(gone.pid()) + "-SHORT.part"),
        programFolder() / ("notes-" + std::to_string(gone.pid()) + ".part"),
        programFolder() / "FileList.part",
    };
    test::writeFile(ours(gone.pid()), "half");
    for (const fs::path& path : others)
        test::writeFile(path, "keep");
    const fs::path folder = programFolder() / ("Update.ini.tidewell-" + std::to_string(gone.pid()) +
                                               "-" + random + ".part");
    fs::create_directory(folder);

    const auto add = cli({"junk", "types", "add", "*.xyz", "Planted"});
    ASSERT_EQ(add.exitCode, 0) << add.err;
    EXPECT_FALSE(fs::exists(ours(gone.pid())));
    for (const fs::path& path : others)
        EXPECT_EQ(readFile(path), "keep") << path;
    EXPECT_TRUE(fs::is_directory(folder));
}

} // namespace
} // namespace tw::cli
