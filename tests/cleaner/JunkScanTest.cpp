// The junk scan over a real prefix: which entries are listed, in which order, and Stop.
#include "cleaner/JunkScan.h"

#include "cleaner/JunkDrives.h"
#include "support/PrefixFixture.h"

#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace tw {
namespace {

using test::fs::perms;

/// Records what the scan shows; `onFound` lets a test act as the user would.
class RecordingScanView : public JunkScanView
{
public:
    void clearFound() override
    {
        rows.clear();
        ++clears;
    }
    void addFound(const FoundJunkRow& row) override
    {
        rows.push_back(row);
        if (onFound)
            onFound();
    }
    void scanMessage(const std::string& text) override { messages.push_back(text); }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> result;
        for (const FoundJunkRow& row : rows)
            result.push_back(row.path);
        return result;
    }

    std::vector<FoundJunkRow> rows;
    std::vector<std::string> messages;
    int clears = 0;
    std::function<void()> onFound;
};

/// An environment variable set for the object's life, then put back.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* previous = std::getenv(name))
            m_previous = previous;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_previous)
            ::setenv(m_name, m_previous->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

const char* kDrives = "\n[Software\\\\Wine\\\\Drives] 1\n\"e:\"=\"cdrom\"\n";

class JunkScanTest : public test::PrefixTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.systemHive(kDrives)
            .file("music/song.ogg")
            .file("music/cache.tmp")
            .file("music/deep/er/x.bak")
            .file("music/deep/Thumbs.db")
            .file("pictures/thumbs.db")
            .file("old.bak/inner.tmp")
            .file("old.bak/keep.txt")
            .file(".cache/h.tmp")
            .file(".hidden.tmp")
            .file("a.tmp.bak")
            .file("FILE.TMP")
            .file("README")
            .file("readme.txt")
            .file("ro.old/inside.tmp")
            .folder("users/me");
        // A read-only folder (attribute 0x11) is tested by its name only.
        test::fs::permissions(builder.dir() / "drive_c/ro.old",
                              perms::owner_write | perms::group_write | perms::others_write,
                              test::fs::perm_options::remove);
        // The user folders lead out of the prefix; a link inside the drive is a reparse point.
        test::writeFile(home.path() / "outside.tmp", "host");
        test::fs::create_directory_symlink(home.path(),
                                           builder.dir() / "drive_c/users/me/Documents");
        test::fs::create_directory_symlink("../../music",
                                           builder.dir() / "drive_c/users/me/Inside.bak");
        // A second drive in the prefix, a CD drive and the host's root.
        test::writeFile(builder.dir() / "drive_d/d1.tmp", "x");
        test::fs::create_directories(builder.dir() / "drive_e");
        test::writeFile(builder.dir() / "drive_e/e1.tmp", "x");
        builder.drive('d', "../drive_d").drive('e', "../drive_e").drive('z', "/");
    }

    std::vector<std::string> scan(const std::vector<std::string>& roots)
    {
        JunkScan junk(*session, view);
        EXPECT_EQ(junk.BeginScan(), "");
        EXPECT_EQ(session->DiskScanState, kDiskScanRunning);
        junk.ScanSelectedDrives(roots);
        EXPECT_EQ(session->DiskScanState, kDiskScanStopped);
        return view.paths();
    }

    test::TempDir home;
    RecordingScanView view;
};

TEST_F(JunkScanTest, ListsMatchesDepthFirstInSearchOrder)
{
    const std::vector<std::string> expected = {
        "C:\\.cache\\h.tmp",          // a hidden folder is searched
        "C:\\.hidden.tmp",            // a hidden file is not shown but tested
        "C:\\a.tmp.bak",              //
        "C:\\FILE.TMP",               // letter case does not count
        "C:\\music\\cache.tmp",       //
        "C:\\music\\deep\\er\\x.bak", //
        "C:\\music\\deep\\Thumbs.db", // nor here
        "C:\\old.bak\\inner.tmp",     // a folder that matches is searched first
        "C:\\old.bak",                // and then listed like a file
        "C:\\pictures\\thumbs.db",    // readme.txt: a document, unticked at first
        "C:\\ro.old",                 // listed, not searched inside
        "C:\\users\\me\\Inside.bak",  // a link inside the drive: listed, not followed
        "D:\\d1.tmp",
    };
    EXPECT_EQ(scan({"C:", "D:"}), expected);
    for (size_t i = 0; i < view.rows.size(); ++i) {
        EXPECT_EQ(view.rows[i].caption, std::to_string(i + 1));
        EXPECT_TRUE(view.rows[i].checked);
    }
    EXPECT_EQ(view.clears, 1);
}

TEST_F(JunkScanTest, ShowsOnlyEntriesWithTheListedAttributes)
{
    scan({"C:"});
    auto shown = [&](const std::string& path) {
        return std::find(view.messages.begin(), view.messages.end(), path) != view.messages.end();
    };
    EXPECT_TRUE(shown("C:\\music\\song.ogg"));
    EXPECT_TRUE(shown("C:\\.cache")) << "directory + hidden";
    EXPECT_TRUE(shown("C:\\music\\.")) << "the dot entries of a folder are shown too";
    EXPECT_FALSE(shown("C:\\.hidden.tmp")) << "archive + hidden";
    EXPECT_FALSE(shown("C:\\ro.old")) << "directory + read-only";
    EXPECT_FALSE(shown("C:\\users\\me\\Inside.bak")) << "a reparse point";
    EXPECT_FALSE(shown("C:\\users\\me\\Documents"));
    for (const std::string& message : view.messages)
        EXPECT_EQ(message.find("outside"), std::string::npos) << message;
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back(), "");
}

TEST_F(JunkScanTest, UsesTheTickedTypesOfTheFile)
{
    FileTypeList types = {MakeJunkFileType(1, "*.bak", "B"), MakeJunkFileType(0, "*.tmp", "T"),
                          MakeJunkFileType(1, "Thumbs.db", "Th")};
    ASSERT_EQ(SaveFileTypes(*session, types), "");
    EXPECT_EQ(scan({"C:"}),
              (std::vector<std::string>{"C:\\a.tmp.bak", "C:\\music\\deep\\er\\x.bak",
                                        "C:\\music\\deep\\Thumbs.db", "C:\\old.bak",
                                        "C:\\pictures\\thumbs.db", "C:\\users\\me\\Inside.bak"}));

    ASSERT_EQ(SaveFileTypes(*session, {}), "");
    EXPECT_TRUE(scan({"C:", "D:"}).empty()) << "an empty list finds nothing";
}

TEST_F(JunkScanTest, TheProgramsOwnFolderIsNeverOffered)
{
    // Junk-looking files of the program's own folder, beside a junk file of another program.
    const test::fs::path own = driveC() / "Program Files/Tidewell";
    for (const char* name : {"~x.tmp", "FileList.bak", "Update.ini.old", "AllRegBack/a.bak",
                             "AllRegBack/a.files/1.tmp"})
        test::writeFile(own / name, "kept");
    test::writeFile(driveC() / "Program Files/Other/y.tmp", "junk");
    // The same folder through a drive letter of its own.
    test::fs::create_directory_symlink("../drive_c/Program Files/Tidewell",
                                       test::fs::path(prefixPath()) / "dosdevices/t:");
    reopen();
    const std::vector<std::string> found = scan({"C:", "T:"});
    EXPECT_NE(std::find(found.begin(), found.end(), "C:\\Program Files\\Other\\y.tmp"),
              found.end());
    for (const std::string& path : found) {
        EXPECT_EQ(path.find("Tidewell"), std::string::npos) << path;
        EXPECT_NE(path.substr(0, 2), "T:") << path;
    }
    EXPECT_TRUE(scan({"C:\\PROGRAM FILES\\TIDEWELL", "T:"}).empty())
        << "another spelling leads to the same folder";
}

TEST_F(JunkScanTest, TheRecycleBinsFoldersAreNeverWalked)
{
    namespace fs = test::fs;
    // The trashes at the top of a drive that is a file system of its own, as the desktop
    // makes them, and a folder that only has a trash's name.
    const std::string uid = std::to_string(::getuid());
    const fs::path driveD = dir.path() / "prefix/drive_d";
    test::writeFile(driveD / (".Trash-" + uid) / "files/old.tmp", "recycled");
    test::writeFile(driveD / (".Trash-" + uid) / "info/old.tmp.trashinfo", "[Trash Info]\n");
    test::writeFile(driveD / ".Trash" / uid / "files/shared.bak", "recycled");
    test::writeFile(driveD / "games" / (".Trash-" + uid) / "save.tmp", "not a trash");
    // The home trash, here inside drive C:, takes what is recycled on C:.
    const ScopedVariable dataHome("XDG_DATA_HOME", (driveC() / "users/me/share").string());
    fs::create_directories(driveC() / "users/me/share");
    ASSERT_TRUE(session->shell().recycle("C:\\music\\cache.tmp"));
    ASSERT_TRUE(fs::exists(driveC() / "users/me/share/Trash/files/cache.tmp"));
    // The same trash through a drive letter of its own.
    fs::create_directory_symlink("../drive_d/.Trash-" + uid, dir.path() / "prefix/dosdevices/t:");
    reopen();

    FileTypeList types;
    for (const char* name : {"cache.tmp", "old.tmp", "shared.bak", "save.tmp", "d1.tmp"})
        types.push_back(MakeJunkFileType(1, name, "Junk"));
    ASSERT_EQ(SaveFileTypes(*session, types), "");
    const std::vector<std::string> expected = {"D:\\d1.tmp",
                                               "D:\\games\\.Trash-" + uid + "\\save.tmp"};
    EXPECT_EQ(scan({"C:", "D:", "T:"}), expected);
}

TEST_F(JunkScanTest, NoDriveTickedEndsAtOnce)
{
    EXPECT_TRUE(scan({}).empty());
    EXPECT_EQ(view.clears, 1);
    EXPECT_EQ(view.messages, std::vector<std::string>{""});
}

TEST_F(JunkScanTest, StopKeepsWhatWasFoundAndEndsTheScan)
{
    view.onFound = [&] {
        if (view.rows.size() == 4)
            session->DiskScanState = kDiskScanStopped;
    };
    const std::vector<std::string> found = scan({"C:", "D:"});
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found.back(), "C:\\FILE.TMP");
}

TEST_F(JunkScanTest, NumbersGoOnUntilTheWindowIsShownAgain)
{
    JunkScan junk(*session, view);
    junk.BeginScan();
    junk.ScanSelectedDrives({"D:"});
    junk.BeginScan();
    junk.ScanSelectedDrives({"D:"});
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].caption, "2");
    junk.ResetNumbers();
    junk.BeginScan();
    junk.ScanSelectedDrives({"D:"});
    EXPECT_EQ(view.rows[0].caption, "1");
}

TEST_F(JunkScanTest, DrivesAreTheFixedOnesOfThePrefix)
{
    const std::vector<JunkDrive> drives = ListJunkDrives(*session);
    ASSERT_EQ(drives.size(), 2u) << "E: is a CD drive, Z: is the host's";
    EXPECT_EQ(drives[0].root, "C:");
    EXPECT_EQ(drives[0].name, "Local Disk (C:)");
    EXPECT_EQ(drives[1].root, "D:");
    EXPECT_GT(drives[1].sizeMiB, 0u);
    EXPECT_GT(drives[1].freeMiB, 0u);
    EXPECT_LE(drives[1].freeMiB, drives[1].sizeMiB);
}

} // namespace
} // namespace tw
