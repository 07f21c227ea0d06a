// The junk file types: the built-in list, the 203-byte records and the file "FileList".
#include "cleaner/JunkFileTypes.h"

#include "cleaner/RecordStream.h"
#include "support/PrefixFixture.h"

#include <csignal>
#include <sys/resource.h>

namespace tw {
namespace {

using test::readFile;
using test::writeFile;

class JunkFileTypesTest : public test::PrefixTest
{
protected:
    test::fs::path fileList() const { return driveC() / "Program Files" / "Tidewell" / "FileList"; }
    /// A record as the file holds it.
    static std::string record(std::uint8_t checked, const std::string& pattern,
                              const std::string& description)
    {
        std::string bytes(kJunkRecordSize, '\0');
        bytes[0] = static_cast<char>(checked);
        bytes[1] = static_cast<char>(pattern.size());
        bytes.replace(2, pattern.size(), pattern);
        bytes[102] = static_cast<char>(description.size());
        bytes.replace(103, description.size(), description);
        return bytes;
    }
};

TEST_F(JunkFileTypesTest, BuiltInListSplitsEachTextIntoPatternAndDescription)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"*.swp", "Temporary Junk Files"},
        {"*.$$$", "Temporary Junk Files"},
        {"*.~*", "Temporary Junk Files"},
        {"*.___", "Temporary Junk Files"},
        {"*.^", "Temporary Junk Files"},
        {"*.tmp", "Temporary Junk Files"},
        {"*.temp", "Temporary Junk Files"},
        {"*.---", "Temporary Junk Files"},
        {"~*.*", "Temporary Junk Files"},
        {"*.??~", "Temporary Junk Files"},
        {"*.db$", "Temporary Files (Database)"},
        {"*.nch", "Temporary Files created by Outlook Express"},
        {"*.pch", "Visual Studio Temporary Files"},
        {"*.ncb", "Visual Studio Temporary Files"},
        {"*.ilk", "Visual Studio Temporary Files"},
        {"*.exp", "Visual Studio Temporary Files"},
        {"*.ilc", "C++ Builder Temporary Files"},
        {"*.ild", "C++ Builder Temporary Files"},
        {"*.ils", "C++ Builder Temporary Files"},
        {"*.ilf", "C++ Builder Temporary Files"},
        {"*.tds", "C++ Builder Temporary Files"},
        {"iebak.dat", "Internet Explorer Junk File"},
        {"ffastun.*", "Microsoft Find Fast Indexer File"},
        {"chklist.*", "Microsoft Junk File"},
        {"*.sik", "junk files..."},
        {"*.gid", "Windows Help Index Files"},
        {"*.fts", "Word List File of *.HLP"},
        {"*.ftg", "Word List File of *.HLP"},
        {"*.err", "Error Files"},
        {"*.dmp", "Memory Dump - Junk Files"},
        {"*.chk", "CHKDSK Log Files"},
        {"chklist.*", "CHKDSK Log Files"},
        {"file????._dd", "CHKDSK Log Files"},
        {"*.diz", "Description Files"},
        {"*.log", "Log File"},
        {"*.prv", "Backup Files"},
        {"*.old", "Backup Files"},
        {"*.bak", "Backup Files"},
        {"*.nu3", "Symantec Norton Utilities Backup File"},
        {"system.1st", "Windows diagnostic Registry file"},
        {"suhdlog.dat", "Windows diagnostic file"},
        {"modemdet.txt", "Windows diagnostic file"},
        {"twain???.mtx", "TWAIN Temporary file"},
        {"thumbs.db", "ThumbNails created by Windows"},
        {"mscreate.dir", "Microsoft Temporary Installation Files"},
        {"*.wri", "Readme Files"},
        {"readme.txt", "Readme Files"},
    };
    FileTypeList list = {MakeJunkFileType(0, "kept", "before")};
    BuildDefaultFileTypes(list);
    ASSERT_EQ(list.size(), 48u) << "the built-in types are appended";
    EXPECT_EQ(list[0].Pattern, "kept");
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list[i + 1].Pattern, expected[i].first) << "row " << i + 1;
        EXPECT_EQ(list[i + 1].Description, expected[i].second) << "row " << i + 1;
        const bool document = expected[i].first == "*.diz" || expected[i].first == "*.log" ||
                              expected[i].first == "*.wri" || expected[i].first == "readme.txt";
        EXPECT_EQ(list[i + 1].Checked, document ? 0 : 1)
            << "row " << i + 1 << ": types that match documents start unticked";
    }
}

TEST_F(JunkFileTypesTest, MissingFileGivesBuiltInTypesStoredOnlyWhenAsked)
{
    FileTypeList list;
    EXPECT_EQ(LoadFileTypes(*session, list, false), "");
    EXPECT_EQ(list.size(), 47u);
    EXPECT_FALSE(test::fs::exists(fileList())) << "the scan's load stores nothing";

    EXPECT_EQ(LoadFileTypes(*session, list, true), "");
    ASSERT_TRUE(test::fs::exists(fileList())) << "the program folder is made";
    const std::string bytes = readFile(fileList());
    ASSERT_EQ(bytes.size(), 9541u);
    EXPECT_EQ(bytes.substr(0, kJunkRecordSize), record(1, "*.swp", "Temporary Junk Files"));
    EXPECT_EQ(bytes.substr(41 * kJunkRecordSize, kJunkRecordSize),
              record(1, "modemdet.txt", "Windows diagnostic file"));
    EXPECT_EQ(bytes.substr(46 * kJunkRecordSize), record(0, "readme.txt", "Readme Files"));
    EXPECT_FALSE(test::fs::exists(fileList().string() + ".part"));

    FileTypeList again;
    EXPECT_EQ(LoadFileTypes(*session, again, true), "");
    EXPECT_EQ(again, list);
}

TEST_F(JunkFileTypesTest, RecordCountIgnoresAPartialRecordAtTheEnd)
{
    const std::string two = record(1, "*.a", "A") + record(0, "*.b", "B");
    writeFile(fileList(), two);
    FileTypeList list;
    EXPECT_EQ(LoadFileTypes(*session, list, true), "");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], (TJunkFileType{0, "*.b", "B"}));

    writeFile(fileList(), two.substr(0, 405));
    EXPECT_EQ(LoadFileTypes(*session, list, true), "");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Pattern, "*.a");

    // Empty, or shorter than one record: an empty list, and no built-in types either.
    for (const std::string& content : {std::string(), two.substr(0, 202)}) {
        writeFile(fileList(), content);
        EXPECT_EQ(LoadFileTypes(*session, list, true), "");
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(readFile(fileList()), content) << "an existing file is left as it is";
    }
}

TEST_F(JunkFileTypesTest, ReadsTheFlagAsItIsAndLongLengthsAsOneHundred)
{
    std::string bytes = record(7, "*.tmp", "");
    bytes[1] = static_cast<char>(250);
    bytes.replace(2, 100, std::string(100, 'p'));
    bytes[102] = static_cast<char>(101);
    bytes.replace(103, 100, std::string(100, 'd'));
    writeFile(fileList(), bytes);
    FileTypeList list;
    EXPECT_EQ(LoadFileTypes(*session, list, false), "");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Checked, 7);
    EXPECT_EQ(list[0].Pattern, std::string(100, 'p'));
    EXPECT_EQ(list[0].Description, std::string(100, 'd'));
}

TEST_F(JunkFileTypesTest, SavedTextsAreCutToOneHundredCharacters)
{
    const std::string longPattern(150, 'x');
    // 99 letters and a two-byte character: the character is not split.
    const std::string description = std::string(99, 'd') + "\xc3\xa9" + "tail";
    const FileTypeList list = {MakeJunkFileType(1, longPattern, description),
                               MakeJunkFileType(0, " *.tmp ", "")};
    EXPECT_EQ(list[0].Pattern.size(), 100u);
    EXPECT_EQ(list[0].Description, std::string(99, 'd'));
    EXPECT_EQ(SaveFileTypes(*session, list), "");
    const std::string bytes = readFile(fileList());
    ASSERT_EQ(bytes.size(), 2u * kJunkRecordSize);
    EXPECT_EQ(bytes.substr(0, kJunkRecordSize),
              record(1, std::string(100, 'x'), std::string(99, 'd')));
    EXPECT_EQ(bytes.substr(kJunkRecordSize), record(0, " *.tmp ", ""));
}

TEST_F(JunkFileTypesTest, AFailedSaveLeavesTheOldFileWholeAndNoTemporaryFile)
{
    const std::string old = record(1, "*.old", "Old");
    writeFile(fileList(), old);
    std::string error;
    {
        // The disk fills before the first record is written.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &limit);
        error = SaveFileTypes(*session, {MakeJunkFileType(1, "*.new", "New")});
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }
    EXPECT_EQ(error.find("Cannot write "), 0u) << error;
    EXPECT_EQ(readFile(fileList()), old);
    std::vector<std::string> names;
    for (const auto& entry : test::fs::directory_iterator(fileList().parent_path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"FileList"});
}

TEST_F(JunkFileTypesTest, RecordStreamSteps)
{
    writeFile(fileList(), record(1, "*.a", "") + record(1, "*.b", "") + "tail");
    TRecordStream stream(session->files(), FileListPath(), TRecordStream::Mode::Read);
    EXPECT_EQ(stream.GetRecordSize(), 203);
    EXPECT_EQ(stream.RecordCount(), 2);
    EXPECT_EQ(stream.CurrentRecord(), 1);
    JunkRecord buffer{};
    EXPECT_EQ(stream.ReadRecord(buffer.data()), 203);
    EXPECT_EQ(stream.Position(), 0) << "reading does not move on";
    stream.NextRecord();
    EXPECT_EQ(stream.CurrentRecord(), 2);
    stream.ReadRecord(buffer.data());
    EXPECT_EQ(DecodeJunkRecord(buffer.data()).Pattern, "*.b");
    try {
        stream.NextRecord();
        FAIL() << "NextRecord went past the last record";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot read beyond end of file");
    }
    stream.FirstRecord();
    EXPECT_EQ(stream.CurrentRecord(), 1);

    try {
        TRecordStream missing(session->files(), "C:\\No Folder\\FileList",
                              TRecordStream::Mode::Create);
        FAIL() << "created a file in a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"C:\\No Folder\\FileList\". No such file or directory");
    }
}

TEST_F(JunkFileTypesTest, AppendedRecordsFollowOneAnother)
{
    {
        TRecordStream stream(session->files(), "C:\\records", TRecordStream::Mode::Create);
        stream.AppendRecord(EncodeJunkRecord({1, "*.a", "A"}).data());
        stream.FirstRecord();
        stream.AppendRecord(EncodeJunkRecord({0, "*.b", "B"}).data());
        EXPECT_EQ(stream.RecordCount(), 2);
    }
    EXPECT_EQ(readFile(driveC() / "records"), record(1, "*.a", "A") + record(0, "*.b", "B"));
    // Create mode empties a file that exists.
    TRecordStream again(session->files(), "C:\\records", TRecordStream::Mode::Create);
    EXPECT_EQ(again.RecordCount(), 0);
}

} // namespace
} // namespace tw
