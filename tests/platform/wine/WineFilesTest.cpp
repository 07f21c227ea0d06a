// Windows paths, directory searches and drives of a prefix.
#include "platform/wine/WineFiles.h"

#include "platform/TextCodec.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineShell.h"
#include "platform/wine/WineShortNames.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sys/xattr.h>

namespace tw::wine {

using namespace tw::win;
namespace {

using test::PrefixBuilder;
using test::TempDir;
namespace fs = std::filesystem;

const std::string kDrives =
    "\n[Software\\\\Wine\\\\Drives] 1\n\"d:\"=\"cdrom\"\n\"e:\"=\"floppy\"\n"
    "\"n:\"=\"network\"\n\"r:\"=\"ramdisk\"\n";

class WineFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrefixBuilder builder(dir.path() / "prefix");
        builder.systemHive(kDrives)
            .file("windows/system32/Kernel32.dll")
            .file("windows/win.ini", "[windows]\n")
            .file("Program Files/App/app.exe", "12345")
            .file("Program Files/App/readme.txt")
            .file("Program Files/App/.hidden")
            .folder("Program Files/App/Sub Folder")
            .drive('d', outside.path())
            .drive('e', outside.path())
            .drive('n', outside.path())
            .drive('r', outside.path())
            .drive('z', "/");
        // A user folder that points out of the drive, as Wine makes them.
        fs::create_directories(builder.dir() / "drive_c" / "users" / "me");
        fs::create_directory_symlink(outside.path(), builder.dir() / "drive_c/users/me/Documents");
        fs::create_directory_symlink("../../Program Files",
                                     builder.dir() / "drive_c/users/me/Inside");
        test::writeFile(outside.path() / "private.txt", "host file");
        prefix = std::make_unique<WinePrefix>(builder.str());
    }
    WineFiles& files() { return prefix->files(); }

    std::vector<std::string> find(const std::string& pattern)
    {
        std::vector<std::string> names;
        auto search = files().findFirstFile(pattern);
        if (!search)
            return names;
        do {
            names.push_back(search->current().name);
        } while (search->next());
        return names;
    }

    TempDir dir;
    TempDir outside;
    std::unique_ptr<WinePrefix> prefix;
};

TEST_F(WineFilesTest, MapsPathsWithoutRegardToCase)
{
    EXPECT_TRUE(files().fileExists("C:\\WINDOWS\\SYSTEM32\\kernel32.DLL"));
    EXPECT_TRUE(files().fileExists("c:/windows/win.ini"));
    EXPECT_TRUE(files().directoryExists("C:\\Program Files\\APP\\"));
    EXPECT_FALSE(files().fileExists("C:\\Program Files\\App"));
    EXPECT_FALSE(files().fileExists("C:\\windows\\missing.dll"));
    EXPECT_FALSE(files().fileExists("windows\\win.ini")) << "relative paths are on no drive";
    EXPECT_FALSE(files().fileExists("Q:\\anything")) << "no such drive";
    EXPECT_EQ(files().paths().toHost("C:\\Windows\\System32\\New.dll"),
              (prefix->hostPath() + "/drive_c/windows/system32/New.dll"));
}

TEST_F(WineFilesTest, FindsWithWildcardsAndAttributes)
{
    EXPECT_EQ(
        find("C:\\Program Files\\App\\*"),
        (std::vector<std::string>{".", "..", ".hidden", "app.exe", "readme.txt", "Sub Folder"}));
    EXPECT_EQ(find("C:\\Program Files\\app\\*.EXE"), (std::vector<std::string>{"app.exe"}));
    EXPECT_EQ(find("C:\\Program Files\\App\\r?adme.*"), (std::vector<std::string>{"readme.txt"}));
    EXPECT_TRUE(find("C:\\Program Files\\App\\*.none").empty());
    EXPECT_TRUE(find("C:\\Nowhere\\*").empty());

    auto search = files().findFirstFile("C:\\Program Files\\App\\app.exe");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->current().size, 5u);
    EXPECT_EQ(search->current().attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    search = files().findFirstFile("C:\\Program Files\\App\\Sub*");
    ASSERT_TRUE(search);
    EXPECT_NE(search->current().attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(files().fileAttributes("C:\\Program Files\\App\\.hidden") & FILE_ATTRIBUTE_HIDDEN,
              0u);
    // The root of a drive has no "." and ".." entries.
    const auto root = find("C:\\*");
    EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);
}

TEST_F(WineFilesTest, SearchesNeverLeaveTheDriveThroughLinks)
{
    const auto names = find("C:\\users\\me\\*");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Documents"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Inside"), 1) << "links within the drive stay";
    // As Wine reports them: a link to a folder is a reparse point, a link to a file is not.
    fs::create_symlink("../../Program Files/App/app.exe",
                       prefix->hostPath() + "/drive_c/users/me/app.lnk.exe");
    auto search = files().findFirstFile("C:\\users\\me\\Inside");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->current().attributes,
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    search = files().findFirstFile("C:\\users\\me\\app.lnk.exe");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->current().attributes, FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(WineFilesTest, MapsHostPathsBothWaysAndSaysWhyACallFailed)
{
    const std::string driveC = fs::canonical(prefix->hostPath() + "/drive_c").string();
    EXPECT_EQ(files().dosFileName(driveC + "/Program Files/App"), "C:\\Program Files\\App");
    EXPECT_EQ(files().unixFileName("c:\\program files\\APP"), driveC + "/Program Files/App");
    EXPECT_EQ(files().dosFileName("/"), "Z:\\");
    EXPECT_EQ(files().lastErrorText(), "");
    EXPECT_FALSE(files().openFile("C:\\No Folder\\x", platform::FileStream::Mode::Create));
    EXPECT_EQ(files().lastErrorText(), "No such file or directory");
    EXPECT_FALSE(files().deleteFile("C:\\Program Files\\App\\Sub Folder"));
    EXPECT_EQ(files().lastErrorText(), "Is a directory");
}

TEST_F(WineFilesTest, EntriesAndPathsTellWhichFolderTheyName)
{
    const fs::path host = prefix->hostPath();
    fs::create_directory_symlink(".", host / "drive_c/Program Files/App/Self");
    const std::optional<platform::FileId> app = files().fileId("C:\\Program Files\\app");
    const std::optional<platform::FileId> programs = files().fileId("C:\\Program Files");
    ASSERT_TRUE(app && programs);
    EXPECT_NE(*app, *programs);
    EXPECT_EQ(files().fileId("C:\\Program Files\\App\\Self\\Self"), app);
    EXPECT_EQ(files().fileId("C:\\users\\me\\Inside"), programs);
    EXPECT_EQ(files().fileId("C:\\Program Files\\App\\missing"), std::nullopt);

    std::map<std::string, platform::FileId> ids;
    auto search = files().findFirstFile("C:\\Program Files\\App\\*");
    ASSERT_TRUE(search);
    do {
        ids[search->current().name] = search->current().id;
    } while (search->next());
    EXPECT_EQ(ids.at("."), *app);
    EXPECT_EQ(ids.at(".."), *programs);
    EXPECT_EQ(ids.at("Self"), *app) << "a link names the folder it leads to";
    EXPECT_EQ(ids.at("app.exe"), files().fileId("C:\\Program Files\\App\\app.exe"));
    EXPECT_NE(ids.at("app.exe"), ids.at("readme.txt"));
    EXPECT_NE(ids.at("Sub Folder"), *app);

    search = files().findFirstFile("C:\\users\\me\\Ins*");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->current().id, *programs);
}

TEST_F(WineFilesTest, FolderDetailSearchListsTheSameEntriesWithFullFolderData)
{
    const fs::path app = fs::path(prefix->hostPath()) / "drive_c/Program Files/App";
    fs::create_directory_symlink("Sub Folder", app / "Link");
    fs::permissions(app / "Sub Folder", fs::perms::owner_write, fs::perm_options::remove);
    const auto listAll = [&](platform::FindDetail detail) {
        std::vector<platform::FindData> entries;
        auto search = files().findFirstFile("C:\\Program Files\\App\\*", detail);
        if (search) {
            do {
                entries.push_back(search->current());
            } while (search->next());
        }
        return entries;
    };
    const std::vector<platform::FindData> full = listAll(platform::FindDetail::Full);
    const std::vector<platform::FindData> brief = listAll(platform::FindDetail::FolderDetails);
    fs::permissions(app / "Sub Folder", fs::perms::owner_write, fs::perm_options::add);
    ASSERT_EQ(brief.size(), full.size());
    ASSERT_GE(full.size(), 7u);
    for (size_t i = 0; i < full.size(); ++i) {
        const platform::FindData& a = full[i];
        const platform::FindData& b = brief[i];
        ASSERT_EQ(b.name, a.name) << "same order";
        if (a.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            EXPECT_EQ(b.attributes, a.attributes) << a.name;
            EXPECT_EQ(b.id, a.id) << a.name;
            EXPECT_EQ(b.lastWriteTime, a.lastWriteTime) << a.name;
        } else {
            EXPECT_EQ(b.attributes, a.attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN))
                << a.name;
        }
    }
    const auto link = std::find_if(brief.begin(), brief.end(),
                                   [](const platform::FindData& e) { return e.name == "Link"; });
    ASSERT_NE(link, brief.end());
    EXPECT_EQ(link->attributes,
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST_F(WineFilesTest, AWalkUnderAQueryCacheSeesWhatAWalkWithoutOneSees)
{
    // Walks every folder of drive C depth first, as the shortcut search does, "." and ".."
    // included, and folders reached through links (whose ".." is not the folder above).
    const fs::path drive = fs::path(prefix->hostPath()) / "drive_c";
    fs::create_directories(drive / "Deep/Er/Est");
    fs::create_directory_symlink("Er/Est", drive / "Deep/Jump");
    const std::string hidden = (drive / "Deep/Er").string();
    ASSERT_EQ(::setxattr(hidden.c_str(), "user.DOSATTRIB", "0x2", 3, 0), 0) << std::strerror(errno);
    fs::permissions(drive / "Deep/Er/Est", fs::perms::owner_write, fs::perm_options::remove);
    struct Seen
    {
        std::string path;
        DWORD attributes;
        platform::FileId id;
        FILETIME lastWriteTime;
        bool operator==(const Seen&) const = default;
    };
    const auto walk = [&](platform::FindDetail detail) {
        std::vector<Seen> seen;
        std::vector<std::string> folders = {"C:"};
        while (!folders.empty()) {
            const std::string folder = folders.back();
            folders.pop_back();
            auto search = files().findFirstFile(folder + "\\*", detail);
            if (!search)
                continue;
            do {
                const platform::FindData& entry = search->current();
                const std::string path = folder + "\\" + entry.name;
                seen.push_back({path, entry.attributes, entry.id, entry.lastWriteTime});
                if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && entry.name != "." &&
                    entry.name != "..")
                    folders.push_back(path);
            } while (search->next());
        }
        return seen;
    };
    for (const platform::FindDetail detail :
         {platform::FindDetail::Full, platform::FindDetail::FolderDetails}) {
        const std::vector<Seen> plain = walk(detail);
        std::vector<Seen> cached;
        {
            const platform::FileQueryCache cache(files());
            cached = walk(detail);
        }
        fs::permissions(drive / "Deep/Er/Est", fs::perms::owner_write, fs::perm_options::add);
        ASSERT_EQ(cached.size(), plain.size());
        for (size_t i = 0; i < plain.size(); ++i) {
            EXPECT_EQ(cached[i].path, plain[i].path);
            EXPECT_EQ(cached[i].attributes, plain[i].attributes) << plain[i].path;
            EXPECT_EQ(cached[i].id, plain[i].id) << plain[i].path;
            EXPECT_EQ(cached[i].lastWriteTime, plain[i].lastWriteTime) << plain[i].path;
        }
        fs::permissions(drive / "Deep/Er/Est", fs::perms::owner_write, fs::perm_options::remove);
        const auto at = [&](const std::string& path) {
            return std::find_if(plain.begin(), plain.end(),
                                [&](const Seen& e) { return e.path == path; });
        };
        ASSERT_NE(at("C:\\Deep\\Er\\Est\\.."), plain.end());
        EXPECT_EQ(at("C:\\Deep\\Er\\Est\\..")->attributes,
                  FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(at("C:\\Deep\\Er\\Est\\.")->attributes,
                  FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
        // Through the link, ".." is the folder above the link's target.
        ASSERT_NE(at("C:\\Deep\\Jump\\.."), plain.end());
        EXPECT_EQ(at("C:\\Deep\\Jump\\..")->id, at("C:\\Deep\\Er")->id);
    }
    fs::permissions(drive / "Deep/Er/Est", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(WineFilesTest, DriveTypesComeFromTheRegistryAndTheLinks)
{
    EXPECT_EQ(files().driveType("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(files().driveType("D:\\"), DRIVE_CDROM);
    EXPECT_EQ(files().driveType("e:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(files().driveType("N:\\"), DRIVE_REMOTE);
    EXPECT_EQ(files().driveType("R:\\"), DRIVE_RAMDISK);
    EXPECT_EQ(files().driveType("Z:\\"), DRIVE_REMOTE) << "the host's own files count as network";
    EXPECT_EQ(files().driveType("Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(files().driveDisplayName("C:\\"), "Local Disk (C:)");
    EXPECT_EQ(files().driveDisplayName("D:\\"), "CD Drive (D:)");
    test::writeFile(prefix->hostPath() + "/drive_c/.windows-label", "System\n");
    EXPECT_EQ(files().driveDisplayName("C:\\"), "System (C:)");
    const auto space = files().diskFreeSpace("C:\\");
    ASSERT_TRUE(space);
    EXPECT_GT(space->total, 0u);
    EXPECT_LE(space->freeToCaller, space->total);
}

TEST_F(WineFilesTest, CreatesAndDeletesFilesAndFolders)
{
    EXPECT_TRUE(files().createDirectory("C:\\Program Files\\Tidewell"));
    EXPECT_FALSE(files().createDirectory("C:\\Program Files\\Tidewell")) << "exists already";
    EXPECT_FALSE(files().createDirectory("C:\\No\\Parent"));
    {
        auto stream = files().openFile("C:\\Program Files\\Tidewell\\data.bin",
                                       platform::FileStream::Mode::Create);
        ASSERT_TRUE(stream);
        stream->write("0123456789", 10);
        EXPECT_EQ(stream->seek(4, SEEK_SET), 4);
        char buffer[3] = {};
        EXPECT_EQ(stream->read(buffer, 3), 3);
        EXPECT_EQ(std::string(buffer, 3), "456");
        EXPECT_EQ(stream->size(), 10);
    }
    EXPECT_FALSE(files().deleteFile("C:\\Program Files\\Tidewell")) << "folders are not files";
    EXPECT_TRUE(files().deleteFile("c:\\program files\\tidewell\\DATA.BIN"));
    EXPECT_FALSE(files().fileExists("C:\\Program Files\\Tidewell\\data.bin"));
}

TEST_F(WineFilesTest, ChangesNeverLandOutsideTheDriveThroughALink)
{
    // C:\users\me\Documents leads to a folder outside the prefix, as Wine's user folders do.
    const fs::path driveC = dir.path() / "prefix" / "drive_c";
    const fs::path victim = outside.path() / "private.txt";
    const auto unchanged = [&] {
        EXPECT_EQ(test::readFile(victim), "host file");
        EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()),
                  1)
            << "nothing was made outside";
    };
    EXPECT_FALSE(files().deleteFile("C:\\users\\me\\Documents\\private.txt"));
    EXPECT_EQ(files().lastErrorText(), "A folder on the way is a link that leads out of its drive");
    EXPECT_FALSE(files().deleteFile("C:\\Program Files\\..\\users\\me\\Documents\\private.txt"));
    EXPECT_FALSE(files().openFile("C:\\users\\me\\Documents\\private.txt",
                                  platform::FileStream::Mode::Create));
    EXPECT_FALSE(
        files().openFile("C:\\users\\me\\Documents\\new.txt", platform::FileStream::Mode::Create));
    EXPECT_FALSE(files().createDirectory("C:\\users\\me\\Documents\\made"));
    EXPECT_FALSE(files().moveFile("C:\\users\\me\\Documents\\private.txt", "C:\\taken.txt", false));
    EXPECT_FALSE(
        files().moveFile("C:\\windows\\win.ini", "C:\\users\\me\\Documents\\win.ini", false));
    EXPECT_TRUE(fs::exists(driveC / "windows/win.ini"));
    EXPECT_FALSE(prefix->shell().recycle("C:\\users\\me\\Documents\\private.txt"));
    EXPECT_FALSE(
        prefix->shell().moveToFolder("C:\\users\\me\\Documents\\private.txt", "C:\\Program Files"));
    unchanged();

    // A NUL would end the path where the kernel reads it: "C:\..\0x\made" is no path.
    using namespace std::string_literals;
    EXPECT_FALSE(files().createDirectory("C:\\..\0x\\made"s));
    EXPECT_FALSE(fs::exists(dir.path() / "prefix" / "made"));
    EXPECT_FALSE(files().unixFileName("C:\\a\0b"s));

    // A link planted at the name itself: written never through it, deleted as the link alone.
    fs::create_symlink(victim, driveC / "planted.tmp");
    EXPECT_FALSE(files().openFile("C:\\planted.tmp", platform::FileStream::Mode::Create));
    EXPECT_TRUE(files().deleteFile("C:\\planted.tmp"));
    EXPECT_FALSE(fs::is_symlink(driveC / "planted.tmp"));
    unchanged();

    // A folder swapped for a link after it was seen: refused, not followed.
    test::writeFile(driveC / "Junk/a.tmp", "junk");
    ASSERT_TRUE(files().fileExists("C:\\Junk\\a.tmp"));
    fs::remove_all(driveC / "Junk");
    fs::create_directory_symlink(outside.path(), driveC / "Junk");
    EXPECT_FALSE(files().deleteFile("C:\\Junk\\private.txt"));
    EXPECT_FALSE(prefix->shell().recycle("C:\\Junk\\private.txt"));
    EXPECT_FALSE(prefix->shell().moveToFolder("C:\\Junk\\private.txt", "C:\\Program Files"));
    EXPECT_FALSE(files().moveFile("C:\\Junk\\private.txt", "C:\\private.txt", false));
    unchanged();

    // Links that stay inside the drive are followed, as Wine follows them.
    EXPECT_TRUE(files().deleteFile("C:\\users\\me\\Inside\\App\\readme.txt"));
    EXPECT_FALSE(fs::exists(driveC / "Program Files/App/readme.txt"));
    EXPECT_TRUE(files().createDirectory("C:\\users\\me\\Inside\\Made"));
    EXPECT_TRUE(fs::is_directory(driveC / "Program Files/Made"));
}

TEST_F(WineFilesTest, NamesWindowsCannotHoldAreNeverListed)
{
    // Linux names that, made into Windows paths, would name something else.
    const fs::path folder = dir.path() / "prefix" / "drive_c" / "names";
    for (const char* name : {"a\\..\\..\\b.tmp", "c:d.tmp", "trail.tmp ", "dot.tmp.", "q?.tmp",
                             "star*.tmp", "pipe|.tmp", "quote\".tmp", "lt<.tmp", "ctl\x01.tmp",
                             "ok.tmp", " lead.tmp", "caf\xc3\xa9.tmp"})
        test::writeFile(folder / name, "x");
    EXPECT_EQ(find("C:\\names\\*"),
              (std::vector<std::string>{".", "..", " lead.tmp", "caf\xc3\xa9.tmp", "ok.tmp"}));
    EXPECT_EQ(find("C:\\names\\*.tmp"),
              (std::vector<std::string>{" lead.tmp", "caf\xc3\xa9.tmp", "ok.tmp"}));
    EXPECT_TRUE(isWindowsFileName("..a"));
    EXPECT_FALSE(isWindowsFileName(".."));
    EXPECT_FALSE(isWindowsFileName(""));
}

TEST_F(WineFilesTest, CreateNewTakesOnlyANameNothingHas)
{
    const fs::path app = prefix->hostPath() + "/drive_c/Program Files/App";
    const fs::path canary = outside.path() / "canary";
    test::writeFile(canary, "canary!!!");
    fs::create_symlink(canary, app / "linked");
    fs::create_symlink(outside.path() / "made-outside", app / "dangling");
    for (const char* taken : {"linked", "dangling", "app.exe", "Sub Folder"}) {
        EXPECT_FALSE(files().openFile("C:\\Program Files\\App\\" + std::string(taken),
                                      platform::FileStream::Mode::CreateNew))
            << taken;
    }
    EXPECT_EQ(test::readFile(canary), "canary!!!");
    EXPECT_FALSE(fs::exists(outside.path() / "made-outside"));
    EXPECT_EQ(test::readFile(app / "app.exe"), "12345");
    auto fresh =
        files().openFile("C:\\Program Files\\App\\new.txt", platform::FileStream::Mode::CreateNew);
    ASSERT_TRUE(fresh);
    fresh->write("new", 3);
    fresh.reset();
    EXPECT_EQ(test::readFile(app / "new.txt"), "new");
}

TEST_F(WineFilesTest, ReadOnlyFilesAreNotDeletedAsWindowsRefusesThem)
{
    const fs::path file = dir.path() / "prefix" / "drive_c" / "locked.lnk";
    test::writeFile(file, "x");
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(files().fileAttributes("C:\\locked.lnk") & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(files().deleteFile("C:\\locked.lnk"));
    EXPECT_TRUE(fs::exists(file)) << "even root, who may unlink it, keeps it";
}

TEST_F(WineFilesTest, HiddenAndSystemComeFromWinesExtendedAttribute)
{
    const fs::path app = dir.path() / "prefix" / "drive_c" / "Program Files" / "App";
    // The text Wine's ntdll writes ("0x%x"), a trailing NUL as other writers add, a folder,
    // a read-only bit Wine does not take from it, and text it does not understand.
    const std::map<std::string, std::string> marks = {
        {"app.exe", "0x6"},      {"readme.txt", std::string("0x2\0", 4)},
        {"Sub Folder", "0x2"},   {"plain.txt", "0x21"},
        {"garbage.txt", "0x2z"}, {"binary.txt", std::string("\x03\0\x02\0", 4)},
    };
    test::writeFile(app / "plain.txt", "p");
    test::writeFile(app / "garbage.txt", "g");
    test::writeFile(app / "binary.txt", "b");
    for (const auto& [name, value] : marks) {
        if (::setxattr((app / name).c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) !=
            0) {
            if (errno == ENOTSUP)
                GTEST_SKIP() << "the file system of " << app << " keeps no user attributes";
            FAIL() << "setxattr " << name << ": " << std::strerror(errno);
        }
    }
    std::map<std::string, DWORD> listed;
    auto search = files().findFirstFile("C:\\Program Files\\App\\*");
    ASSERT_TRUE(search);
    do {
        listed[search->current().name] = search->current().attributes;
    } while (search->next());

    const std::map<std::string, DWORD> expected = {
        {"app.exe", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"readme.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
        {"Sub Folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {"plain.txt", FILE_ATTRIBUTE_ARCHIVE},
        {"garbage.txt", FILE_ATTRIBUTE_ARCHIVE},
        {"binary.txt", FILE_ATTRIBUTE_ARCHIVE},
        {".hidden", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
    };
    for (const auto& [name, attributes] : expected) {
        EXPECT_EQ(listed[name], attributes) << name << " as listed";
        EXPECT_EQ(files().fileAttributes("C:\\Program Files\\App\\" + name), attributes)
            << name << " as GetFileAttributes gives it";
    }
    EXPECT_TRUE(files().fileExists("C:\\Program Files\\App\\app.exe"));
    EXPECT_TRUE(files().directoryExists("C:\\Program Files\\App\\Sub Folder"));

    // The "." entry of a search is the folder searched, with its own marks.
    search = files().findFirstFile("C:\\Program Files\\App\\Sub Folder\\*");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->current().name, ".");
    EXPECT_EQ(search->current().attributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(search->current().id, files().fileId("C:\\Program Files\\App\\Sub Folder"));
}

TEST_F(WineFilesTest, QueryCacheGivesTheAnswersTheFileSystemGives)
{
    const fs::path driveC = prefix->hostPath() + "/drive_c";
    fs::create_symlink("../Program Files/App/app.exe", driveC / "windows/app-link.exe");
    fs::create_symlink("nowhere.exe", driveC / "windows/dangling.exe");
    fs::create_directory_symlink("../Program Files", driveC / "windows/programs");
    // Names that differ only in case: each is found as written, others by the folder's order.
    test::writeFile(driveC / "Program Files/App/Twin.txt", "upper");
    test::writeFile(driveC / "Program Files/App/twin.txt", "lower");
    fs::create_directory(driveC / "Program Files/App/Both");
    test::writeFile(driveC / "Program Files/App/both", "file");
    const std::string shortName =
        platform::utf16ToUtf8(wineShortName(platform::utf8ToUtf16("Sub Folder")));
    const std::vector<std::string> paths = {"C:\\WINDOWS\\SYSTEM32\\kernel32.DLL",
                                            "C:\\windows\\system32\\kernel32.dll",
                                            "c:/windows/win.ini",
                                            "C:\\windows\\win.ini\\below",
                                            "C:\\windows\\missing.dll",
                                            "C:\\Missing\\Deeper\\file.exe",
                                            "C:\\Program Files\\APP\\",
                                            "C:\\Program Files\\App",
                                            "C:\\Program Files\\App\\.hidden",
                                            "C:\\Program Files\\App\\" + shortName,
                                            "C:\\Program Files\\App\\" + shortName + "\\x.txt",
                                            "C:\\windows\\app-link.exe",
                                            "C:\\windows\\dangling.exe",
                                            "C:\\windows\\programs\\app\\APP.EXE",
                                            "C:\\windows\\..\\Program Files\\App\\readme.txt",
                                            "C:\\..\\..\\windows\\win.ini",
                                            "\\\\?\\C:\\windows\\win.ini",
                                            "C:\\Program Files\\App\\.\\\\app.exe",
                                            "C:\\windows\\.\\win.ini",
                                            "C:\\windows\\..",
                                            "C:\\windows\\...",
                                            "C:\\windows\\..\\",
                                            "C:\\windows/win.ini",
                                            "C:\\Program Files\\App\\Twin.txt",
                                            "C:\\Program Files\\App\\twin.txt",
                                            "C:\\Program Files\\App\\TWIN.TXT",
                                            "C:\\Program Files\\App\\Both",
                                            "C:\\Program Files\\App\\both",
                                            "C:\\Program Files\\App\\BOTH\\x",
                                            "C:\\",
                                            "C:",
                                            "Q:\\anything",
                                            "windows\\win.ini",
                                            "C:\\users\\me\\Documents\\private.txt"};
    struct Answer
    {
        bool file, folder;
        DWORD attributes;
        std::optional<platform::FileId> id;
        bool operator==(const Answer&) const = default;
    };
    const auto ask = [&](const std::string& path) {
        return Answer{files().fileExists(path), files().directoryExists(path),
                      files().fileAttributes(path), files().fileId(path)};
    };
    std::vector<Answer> plain;
    std::vector<std::optional<std::string>> hosts;
    for (const std::string& path : paths) {
        plain.push_back(ask(path));
        hosts.push_back(files().paths().toHost(path));
    }
    const std::string app = prefix->hostPath() + "/drive_c/Program Files/App/";
    EXPECT_EQ(files().paths().toHost("C:\\Program Files\\app\\Twin.txt"), app + "Twin.txt");
    EXPECT_EQ(files().paths().toHost("C:\\Program Files\\app\\twin.txt"), app + "twin.txt");
    EXPECT_EQ(files().paths().toHost("C:\\..\\..\\windows\\win.ini"),
              prefix->hostPath() + "/drive_c/windows/win.ini");
    EXPECT_EQ(files().paths().toHost("C:\\windows\\.\\win.ini"),
              prefix->hostPath() + "/drive_c/windows/win.ini");
    EXPECT_EQ(files().paths().toHost("C:\\windows\\.."), prefix->hostPath() + "/drive_c");
    EXPECT_EQ(files().paths().toHost("C:\\windows\\..."),
              prefix->hostPath() + "/drive_c/windows/...");
    EXPECT_TRUE(files().directoryExists("C:\\Program Files\\App\\Both"));
    EXPECT_TRUE(files().fileExists("C:\\Program Files\\App\\both"));
    const platform::FileQueryCache cache(files());
    // Folders a search read first: the lookups take over what it read.
    EXPECT_FALSE(find("C:\\Program Files\\App\\*").empty());
    EXPECT_FALSE(find("C:\\windows\\*.exe").empty());
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(files().paths().toHost(paths[i]), hosts[i]) << paths[i];
            // Existence first: it may be answered from the folder listings alone.
            EXPECT_EQ(files().fileExists(paths[i]), plain[i].file) << paths[i];
            EXPECT_EQ(files().directoryExists(paths[i]), plain[i].folder) << paths[i];
            EXPECT_TRUE(ask(paths[i]) == plain[i]) << paths[i] << " round " << round;
        }
    }
}

TEST_F(WineFilesTest, QueryCacheForgetsWhatAChangeThroughTheFilesAltered)
{
    const std::string folder = "C:\\Program Files\\Tidewell";
    const std::string file = "c:\\program files\\TIDEWELL\\Data.bin";
    const std::string moved = "C:\\Program Files\\tidewell\\moved.bin";
    {
        const platform::FileQueryCache cache(files());
        EXPECT_FALSE(files().directoryExists(folder));
        EXPECT_FALSE(files().fileExists(file));
        ASSERT_TRUE(files().createDirectory(folder));
        EXPECT_TRUE(files().directoryExists(folder));
        EXPECT_FALSE(files().fileExists(file));
        ASSERT_TRUE(files().openFile(file, platform::FileStream::Mode::Create));
        EXPECT_TRUE(files().fileExists(file)) << "the folder found now, in any case";
        EXPECT_EQ(files().unixFileName(file),
                  prefix->hostPath() + "/drive_c/Program Files/Tidewell/Data.bin");
        const std::optional<platform::FileId> id = files().fileId(file);
        ASSERT_TRUE(id);
        ASSERT_TRUE(files().moveFile(file, moved, false));
        EXPECT_FALSE(files().fileExists(file));
        EXPECT_EQ(files().fileId(moved), id);
        ASSERT_TRUE(files().deleteFile(moved));
        EXPECT_FALSE(files().fileExists(moved));
        EXPECT_EQ(files().fileAttributes(moved), INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(files().removeDirectory(folder));
        EXPECT_FALSE(files().directoryExists(folder));
        EXPECT_EQ(files().fileId(folder), std::nullopt);
    }
    {
        // Changes made some other way are seen once the span is over.
        const platform::FileQueryCache cache(files());
        EXPECT_FALSE(files().fileExists("C:\\windows\\later.dll"));
    }
    test::writeFile(prefix->hostPath() + "/drive_c/windows/Later.dll", "x");
    EXPECT_TRUE(files().fileExists("C:\\windows\\later.dll"));
    const platform::FileQueryCache cache(files());
    EXPECT_TRUE(files().fileExists("C:\\WINDOWS\\LATER.DLL"));
}

TEST_F(WineFilesTest, SearchesTellCreationTimesWhenAsked)
{
    auto search = files().findFirstFile("C:\\Program Files\\App\\app.exe");
    ASSERT_TRUE(search);
    EXPECT_GT(search->creationTime(), TICKS_1601_TO_1970);
    EXPECT_LE(search->creationTime(), search->current().lastWriteTime);
}

TEST(WildcardMatch, FollowsWindowsRules)
{
    EXPECT_TRUE(matchesWildcard("README", "*.*"));
    EXPECT_TRUE(matchesWildcard("a.tmp", "*.TMP"));
    EXPECT_TRUE(matchesWildcard("~$doc.tmp", "~*"));
    EXPECT_FALSE(matchesWildcard("a.tmp1", "*.tmp"));
    EXPECT_TRUE(matchesWildcard("ab", "a?"));
    EXPECT_FALSE(matchesWildcard("a", "a?"));
    EXPECT_TRUE(matchesWildcard("R\xc3\x89SUM\xc3\x89.txt", "r\xc3\xa9sum\xc3\xa9.*"));
}

} // namespace
} // namespace tw::wine
