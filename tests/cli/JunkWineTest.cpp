// The junk cleaner on a prefix made by Wine: what the scan lists, and that every clean mode
// does what it says, with recycled files restorable from the desktop's trash.
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <regex>

namespace tw::cli {
namespace {

using test::readFile;
using test::runProcess;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

/// Junk among sound files: nested folders, a folder whose name matches, a second drive.
const std::vector<std::pair<std::string, std::string>> kPlanted = {
    {"drive_c/Sounds/Album One/track01.wav", "wave 1"},
    {"drive_c/Sounds/Album One/track02.wav", "wave 2"},
    {"drive_c/Sounds/Album One/track02.wav.bak", "old wave 2"},
    {"drive_c/Sounds/Album One/Thumbs.db", "thumbs.db in another case"},
    {"drive_c/Sounds/Album One/~$notes.txt", "lock file"},
    {"drive_c/Sounds/Album One/Disc 2/track01.wav", "disc 2"},
    {"drive_c/Sounds/Album One/Disc 2/mix.tmp", "mix"},
    {"drive_c/Sounds/old.bak/song.wav", "song"},
    {"drive_c/Sounds/old.bak/song.log", "song log"},
    {"drive_c/Sounds/100% live.tmp", "live"},
    {"drive_d/Loops/beat.wav", "beat"},
    {"drive_d/Loops/beat.$$$", "beat temp"},
};

/// What the scan lists of them, in scan order.
const std::vector<std::string> kJunk = {
    "C:\\Sounds\\100% live.tmp",
    "C:\\Sounds\\Album One\\Disc 2\\mix.tmp",
    "C:\\Sounds\\Album One\\Thumbs.db",
    "C:\\Sounds\\Album One\\track02.wav.bak",
    "C:\\Sounds\\Album One\\~$notes.txt",
    "C:\\Sounds\\old.bak",
    "D:\\Loops\\beat.$$$",
};

/// The "path" texts of --json output, unescaped.
std::vector<std::string> pathsOf(const std::string& json)
{
    std::vector<std::string> paths;
    const std::regex path("\"path\": \"((?:[^\"\\\\]|\\\\.)*)\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), path);
         it != std::sregex_iterator(); ++it) {
        std::string text = (*it)[1];
        std::string plain;
        for (size_t i = 0; i < text.size(); ++i)
            plain.push_back(text[i] == '\\' ? text[++i] : text[i]);
        paths.push_back(plain);
    }
    return paths;
}

std::vector<std::string> statusesOf(const std::string& json)
{
    std::vector<std::string> statuses;
    const std::regex status("\"status\": \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), status);
         it != std::sregex_iterator(); ++it)
        statuses.push_back((*it)[1]);
    return statuses;
}

std::string percentDecoded(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

class JunkWine : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_root = new TempDir;
        fs::create_directories(s_root->path() / "home");
        // A copy of the prefix wineboot made once for all the test programs.
        s_bootError = test::copyBootedPrefix(prefix());
        if (!s_bootError.empty()) {
            return;
        }
        // A second drive inside the prefix.
        fs::create_directories(prefix() / "drive_d");
        fs::create_directory_symlink("../drive_d", prefix() / "dosdevices/d:");
        // Junk of the prefix itself, found before anything was planted.
        s_before = pathsOf(cli({"junk", "scan", "--json"}).out);
    }
    static void TearDownTestSuite()
    {
        runProcess({"wineserver", "-k"}, wineEnv());
        runProcess({"wineserver", "-w"}, wineEnv());
        delete s_root;
        s_root = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_bootError.empty()) << s_bootError;
        fs::remove_all(prefix() / "drive_c/Sounds");
        fs::remove_all(prefix() / "drive_d/Loops");
        fs::remove_all(home() / ".local");
        fs::remove_all(home() / "Kept Junk");
        for (const auto& [path, content] : kPlanted)
            writeFile(prefix() / path, content);
        // Behind a user folder: the link leads into $HOME, out of the prefix.
        ASSERT_TRUE(fs::is_symlink(userFolder("Music"))) << "Wine links the user folders";
        writeFile(fs::canonical(userFolder("Music")) / "outside.tmp", "host file");
    }

    static fs::path prefix() { return s_root->path() / "prefix"; }
    static fs::path home() { return s_root->path() / "home"; }
    static fs::path trash() { return home() / ".local/share/Trash"; }
    static fs::path userFolder(const std::string& name)
    {
        for (const auto& user : fs::directory_iterator(prefix() / "drive_c/users")) {
            if (fs::exists(fs::symlink_status(user.path() / name)))
                return user.path() / name;
        }
        return prefix() / "drive_c/users/none" / name;
    }
    static std::map<std::string, std::string> wineEnv()
    {
        return {{"WINEPREFIX", prefix().string()},
                {"HOME", home().string()},
                {"WINEDEBUG", "-all"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
                {"DISPLAY", ""}};
    }
    static test::ProcessResult cli(std::vector<std::string> args)
    {
        // Without XDG_DATA_HOME the desktop's trash is $HOME/.local/share/Trash.
        std::vector<std::string> all = {"env",           "-u",       "XDG_DATA_HOME",
                                        test::cliPath(), "--prefix", prefix().string()};
        all.insert(all.end(), args.begin(), args.end());
        return runProcess(all, wineEnv());
    }
    /// The finds of a --json output that were not in the prefix before the planting.
    static std::vector<std::string> planted(const std::vector<std::string>& paths)
    {
        std::vector<std::string> result;
        for (const std::string& path : paths) {
            if (std::find(s_before.begin(), s_before.end(), path) == s_before.end())
                result.push_back(path);
        }
        return result;
    }

    static TempDir* s_root;
    static std::string s_bootError;
    static std::vector<std::string> s_before;
};

TempDir* JunkWine::s_root = nullptr;
std::string JunkWine::s_bootError;
std::vector<std::string> JunkWine::s_before;

TEST_F(JunkWine, ScanListsThePlantedJunkInOrderAndNothingOutsideThePrefix)
{
    const auto drives = cli({"junk", "drives", "--json"});
    ASSERT_EQ(drives.exitCode, 0) << drives.err;
    EXPECT_NE(drives.out.find("{\"root\": \"C:\""), std::string::npos) << drives.out;
    EXPECT_NE(drives.out.find("{\"root\": \"D:\""), std::string::npos) << drives.out;
    EXPECT_EQ(drives.out.find("\"Z:\""), std::string::npos) << "Z: is the host's root";

    const auto before = test::treeContents(prefix());
    const auto scan = cli({"junk", "scan", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.out.rfind("{\"drives\": [\"C:\", \"D:\"], \"found\": [{\"number\": 1, ", 0), 0u)
        << scan.out;
    const std::vector<std::string> found = pathsOf(scan.out);
    EXPECT_EQ(planted(found), kJunk);
    for (const std::string& path : found) {
        EXPECT_TRUE(path.rfind("C:\\", 0) == 0 || path.rfind("D:\\", 0) == 0) << path;
        EXPECT_EQ(path.find("outside.tmp"), std::string::npos) << path;
    }
    EXPECT_EQ(test::treeContents(prefix()), before) << "a scan changes nothing";
    EXPECT_FALSE(fs::exists(prefix() / "drive_c/Program Files/Tidewell/FileList"));
}

TEST_F(JunkWine, RecycledFindsWaitInTheDesktopTrashAndComeBackWhole)
{
    const auto before = test::treeContents(prefix() / "drive_c");
    const auto clean = cli({"junk", "clean", "--mode", "recycle", "--json"});
    ASSERT_EQ(clean.exitCode, 0) << clean.err << clean.out;
    EXPECT_EQ(planted(pathsOf(clean.out)), kJunk);
    for (const std::string& status : statusesOf(clean.out))
        EXPECT_EQ(status, "File Deleted");
    EXPECT_FALSE(fs::exists(prefix() / "drive_c/Sounds/old.bak"));
    EXPECT_TRUE(fs::exists(prefix() / "drive_c/Sounds/Album One/track02.wav"));

    // Each has its information file; putting them back as a file manager does, newest
    // first, gives the drive back as it was.
    std::vector<std::pair<std::string, fs::path>> trashed;
    for (const auto& info : fs::directory_iterator(trash() / "info")) {
        const std::string text = readFile(info.path());
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match,
                                     std::regex("\\[Trash Info\\]\nPath=(/[^\n]*)\n"
                                                "DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:"
                                                "\\d\\d\n")))
            << text;
        EXPECT_EQ(std::string(match[1]).find(' '), std::string::npos) << "escaped: " << text;
        trashed.push_back({match[1], info.path()});
    }
    ASSERT_EQ(trashed.size(), kJunk.size() + s_before.size());
    std::sort(trashed.begin(), trashed.end(),
              [](const auto& a, const auto& b) { return a.first.size() < b.first.size(); });
    for (const auto& [path, info] : trashed) {
        const fs::path original = percentDecoded(path);
        const fs::path inTrash = trash() / "files" / info.stem();
        fs::rename(inTrash, original);
        fs::remove(info);
    }
    EXPECT_EQ(test::treeContents(prefix() / "drive_c"), before);
    EXPECT_EQ(readFile(prefix() / "drive_c/Sounds/old.bak/song.wav"), "song");
    EXPECT_EQ(readFile(prefix() / "drive_d/Loops/beat.$$$"), "beat temp");
}

TEST_F(JunkWine, MoveGathersTheFindsAndDeleteRemovesThem)
{
    const fs::path kept = home() / "Kept Junk";
    fs::create_directories(kept);
    auto clean = cli({"junk", "clean", "--mode", "move", "--to", kept.string(), "--json"});
    ASSERT_EQ(clean.exitCode, 0) << clean.err << clean.out;
    EXPECT_EQ(planted(pathsOf(clean.out)), kJunk);
    EXPECT_EQ(readFile(kept / "100% live.tmp"), "live");
    EXPECT_EQ(readFile(kept / "Thumbs.db"), "thumbs.db in another case");
    EXPECT_EQ(readFile(kept / "old.bak/song.log"), "song log") << "*.log starts unticked";
    EXPECT_EQ(readFile(kept / "old.bak/song.wav"), "song") << "a folder moves whole";
    EXPECT_EQ(readFile(kept / "beat.$$$"), "beat temp");
    EXPECT_TRUE(fs::exists(prefix() / "drive_c/Sounds/Album One/track01.wav"));
    EXPECT_FALSE(fs::exists(trash()));

    SetUp();
    clean = cli({"junk", "clean", "--mode", "delete", "--json"});
    EXPECT_EQ(clean.exitCode, 1) << "the folder cannot be deleted as a file";
    const std::vector<std::string> paths = pathsOf(clean.out);
    const std::vector<std::string> statuses = statusesOf(clean.out);
    ASSERT_EQ(paths.size(), statuses.size());
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(statuses[i], paths[i] == "C:\\Sounds\\old.bak" ? "Deleted Error" : "File Deleted")
            << paths[i];
    EXPECT_FALSE(fs::exists(prefix() / "drive_c/Sounds/Album One/~$notes.txt"));
    EXPECT_FALSE(fs::exists(prefix() / "drive_d/Loops/beat.$$$"));
    EXPECT_EQ(readFile(prefix() / "drive_c/Sounds/old.bak/song.wav"), "song");
    EXPECT_FALSE(fs::exists(trash()));
}

TEST_F(JunkWine, AFolderReachedThroughTwoDrivesIsSearchedOnce)
{
    // E: shows the Sounds folder of C: once more: its finds are listed, and cleaned, once.
    const fs::path link = prefix() / "dosdevices/e:";
    fs::create_directory_symlink("../drive_c/Sounds", link);
    const auto clean = cli({"junk", "clean", "--mode", "recycle", "--json"});
    fs::remove(link);
    EXPECT_EQ(clean.exitCode, 0) << clean.err << clean.out;
    EXPECT_EQ(planted(pathsOf(clean.out)), kJunk);
    for (const std::string& status : statusesOf(clean.out))
        EXPECT_EQ(status, "File Deleted");
    EXPECT_TRUE(fs::exists(trash() / "files/old.bak/song.wav"));
    EXPECT_TRUE(fs::exists(trash() / "files/beat.$$$"));
}

} // namespace
} // namespace tw::cli
