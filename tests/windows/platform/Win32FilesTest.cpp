#include "platform/win32/Win32Files.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>
// After windows.h, which it builds on.
#include <winioctl.h>

using tw::platform::FileStream;
using tw::platform::FindDetail;
using tw::win32::fromWide;
using tw::win32::toWide;
using tw::win32::Win32Files;

namespace {

constexpr std::int64_t kFiveGiB = 5LL << 30;

class Win32FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
        static int counter = 0;
        m_folder = fromWide(temp) + "tidewell-files-" + std::to_string(GetCurrentProcessId()) +
                   "-" + std::to_string(++counter);
        ASSERT_TRUE(CreateDirectoryW(toWide(m_folder).c_str(), nullptr)) << m_folder;
    }
    void TearDown() override
    {
        namespace fs = std::filesystem;
        std::error_code error;
        // Read-only files would stop the removal.
        for (fs::recursive_directory_iterator it(toWide(m_folder), error), end; !error && it != end;
             it.increment(error))
            SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(toWide(m_folder), error);
        EXPECT_FALSE(error) << error.message();
    }

    std::string path(const std::string& name) const { return m_folder + "\\" + name; }

    void writeFile(const std::string& name, const std::string& content, DWORD attributes = 0)
    {
        const HANDLE file = CreateFileW(toWide(path(name)).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(written, content.size());
        if (attributes) {
            ASSERT_TRUE(SetFileAttributesW(toWide(path(name)).c_str(), attributes));
        }
    }

    std::string readFile(const std::string& name)
    {
        auto stream = m_files.openFile(path(name), FileStream::Mode::Read);
        if (!stream)
            return "<missing>";
        std::string content(static_cast<size_t>(stream->size()), '\0');
        content.resize(static_cast<size_t>(stream->read(content.data(), stream->size())));
        return content;
    }

    /// A symbolic link, when the system makes one (Wine 8 reports success and makes none).
    bool makeLink(const std::string& name, const std::string& target, DWORD flags)
    {
        const std::wstring link = toWide(path(name));
        if (!CreateSymbolicLinkW(link.c_str(), toWide(path(target)).c_str(),
                                 flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
            return false;
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    /// A junction to a folder, as mklink /j makes it: a mount point whose target is an NT path.
    bool makeJunction(const std::string& name, const std::string& target)
    {
        const std::wstring link = toWide(path(name));
        if (!CreateDirectoryW(link.c_str(), nullptr))
            return false;
        const std::wstring printName = toWide(path(target));
        const std::wstring substitute = L"\\??\\" + printName;
        const auto bytes = [](const std::wstring& text) {
            return static_cast<WORD>(text.size() * sizeof(wchar_t));
        };
        // Tag, data length, reserved; then the names' offsets and lengths and the names.
        std::vector<WORD> buffer(4 + 4);
        buffer.insert(buffer.end(), substitute.begin(), substitute.end());
        buffer.push_back(0);
        buffer.insert(buffer.end(), printName.begin(), printName.end());
        buffer.push_back(0);
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        std::memcpy(buffer.data(), &tag, sizeof(tag));
        buffer[2] = static_cast<WORD>((buffer.size() - 4) * sizeof(WORD));
        buffer[4] = 0;
        buffer[5] = bytes(substitute);
        buffer[6] = static_cast<WORD>(bytes(substitute) + sizeof(wchar_t));
        buffer[7] = bytes(printName);
        const HANDLE folder =
            CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (folder == INVALID_HANDLE_VALUE)
            return false;
        DWORD returned = 0;
        const bool made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof(WORD)), nullptr,
                                          0, &returned, nullptr);
        const DWORD error = GetLastError();
        CloseHandle(folder);
        SetLastError(error);
        return made;
    }

    /// The host path of a path under Wine; empty elsewhere.
    static std::string unixPath(const std::string& path)
    {
        using UnixFileNameCall = char*(CDECL*)(const wchar_t*);
        const auto call = reinterpret_cast<UnixFileNameCall>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        char* name = call ? call(toWide(path).c_str()) : nullptr;
        if (!name)
            return {};
        std::string result(name);
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }

    std::set<std::string> names(const std::string& pattern, FindDetail detail = FindDetail::Full)
    {
        std::set<std::string> found;
        if (auto find = m_files.findFirstFile(path(pattern), detail)) {
            do
                found.insert(find->current().name);
            while (find->next());
        }
        return found;
    }

    Win32Files m_files;
    std::string m_folder;
};

TEST_F(Win32FilesTest, ListsWithWildcardsWhatTheFolderHolds)
{
    writeFile("\xc3\xa9.txt", "12345");
    writeFile("\xe4\xb8\xad\xe6\x96\x87.txt", "1");
    writeFile("plain.txt", "");
    writeFile("other.dat", "123");
    writeFile("secret.txt", "ab", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(m_files.createDirectory(path("sub")));

    EXPECT_EQ(names("*.txt"), (std::set<std::string>{"\xc3\xa9.txt", "\xe4\xb8\xad\xe6\x96\x87.txt",
                                                     "plain.txt", "secret.txt"}));
    EXPECT_EQ(names("?.txt"), std::set<std::string>{"\xc3\xa9.txt"});
    EXPECT_EQ(names("??.txt"), std::set<std::string>{"\xe4\xb8\xad\xe6\x96\x87.txt"});
    // A folder that is not a drive's root reports itself and its parent, as Windows does.
    EXPECT_EQ(names("*"),
              (std::set<std::string>{".", "..", "\xc3\xa9.txt", "\xe4\xb8\xad\xe6\x96\x87.txt",
                                     "plain.txt", "other.dat", "secret.txt", "sub"}));
    EXPECT_EQ(m_files.findFirstFile(path("*.none")), nullptr);
    EXPECT_EQ(m_files.findFirstFile(path("missing\\*")), nullptr);

    auto find = m_files.findFirstFile(path("*"));
    ASSERT_NE(find, nullptr);
    int seen = 0;
    do {
        const auto& data = find->current();
        if (data.name == "secret.txt") {
            ++seen;
            EXPECT_TRUE(data.attributes & FILE_ATTRIBUTE_HIDDEN);
            EXPECT_EQ(data.size, 2u);
            EXPECT_EQ(data.id, m_files.fileId(path("secret.txt")));
            EXPECT_NE(data.lastWriteTime, 0u);
            EXPECT_NE(find->creationTime(), 0u);
        } else if (data.name == "\xc3\xa9.txt") {
            ++seen;
            EXPECT_FALSE(data.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));
            EXPECT_EQ(data.size, 5u);
        } else if (data.name == "sub" || data.name == ".") {
            ++seen;
            EXPECT_TRUE(data.attributes & FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_EQ(data.id, m_files.fileId(path(data.name)));
        }
    } while (find->next());
    EXPECT_EQ(seen, 4);
}

TEST_F(Win32FilesTest, FolderDetailsLeavesOutOnlyTheIdOfPlainFiles)
{
    writeFile("file.txt", "123");
    ASSERT_TRUE(m_files.createDirectory(path("sub")));
    auto find = m_files.findFirstFile(path("*"), FindDetail::FolderDetails);
    ASSERT_NE(find, nullptr);
    do {
        const auto& data = find->current();
        if (data.name == "file.txt") {
            EXPECT_EQ(data.id, tw::platform::FileId());
        } else if (data.name == "sub") {
            EXPECT_EQ(data.id, m_files.fileId(path("sub")));
            EXPECT_NE(data.id, m_files.fileId(path("file.txt")));
        }
    } while (find->next());
}

TEST_F(Win32FilesTest, FileIdIsOneForEveryPathToAFolder)
{
    ASSERT_TRUE(m_files.createDirectory(path("one")));
    ASSERT_TRUE(m_files.createDirectory(path("two")));
    const auto one = m_files.fileId(path("one"));
    ASSERT_TRUE(one);
    EXPECT_EQ(m_files.fileId(path("two\\..\\ONE\\.")), one);
    EXPECT_EQ(m_files.fileId(m_folder + "/one/"), one);
    EXPECT_NE(m_files.fileId(path("two")), one);
    EXPECT_EQ(m_files.fileId(path("three")), std::nullopt);

    // Under Wine the host's root is a drive of its own too: a second way to the folder.
    if (const std::string unix = unixPath(path("one")); !unix.empty()) {
        std::string throughRoot = "Z:" + unix;
        std::replace(throughRoot.begin(), throughRoot.end(), '/', '\\');
        EXPECT_EQ(m_files.fileId(throughRoot), one) << throughRoot;
    }
    if (makeLink("link", "one", SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        EXPECT_EQ(m_files.fileId(path("link")), one);
    }
    if (!makeJunction("junction", "one"))
        GTEST_SKIP() << "no junctions here: " << tw::win32::lastErrorText();
    EXPECT_EQ(m_files.fileId(path("junction")), one);
}

TEST_F(Win32FilesTest, CreatingRefusesWhatItMustNotTouch)
{
    writeFile("kept.txt", "keep");
    EXPECT_EQ(m_files.openFile(path("kept.txt"), FileStream::Mode::CreateNew), nullptr);
    EXPECT_FALSE(m_files.lastErrorText().empty());
    EXPECT_EQ(readFile("kept.txt"), "keep");

    auto created = m_files.openFile(path("new.txt"), FileStream::Mode::CreateNew);
    ASSERT_NE(created, nullptr);
    created->write("fresh", 5);
    created.reset();
    EXPECT_EQ(readFile("new.txt"), "fresh");

    auto emptied = m_files.openFile(path("kept.txt"), FileStream::Mode::Create);
    ASSERT_NE(emptied, nullptr);
    EXPECT_EQ(emptied->size(), 0);
}

TEST_F(Win32FilesTest, CreateNeverWritesThroughALink)
{
    writeFile("target.txt", "target");
    if (!makeLink("link.txt", "target.txt", 0))
        GTEST_SKIP() << "CreateSymbolicLinkW makes no link here";
    EXPECT_EQ(m_files.openFile(path("link.txt"), FileStream::Mode::Create), nullptr);
    EXPECT_EQ(m_files.openFile(path("link.txt"), FileStream::Mode::CreateNew), nullptr);
    EXPECT_EQ(readFile("target.txt"), "target");
    EXPECT_TRUE(m_files.fileAttributes(path("link.txt")) & FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST_F(Win32FilesTest, ChangesThatAreRefusedLeaveEverything)
{
    writeFile("from.txt", "from");
    writeFile("to.txt", "to");
    EXPECT_FALSE(m_files.moveFile(path("from.txt"), path("to.txt"), false));
    EXPECT_FALSE(m_files.lastErrorText().empty());
    EXPECT_EQ(readFile("from.txt"), "from");
    EXPECT_EQ(readFile("to.txt"), "to");
    EXPECT_TRUE(m_files.moveFile(path("from.txt"), path("to.txt"), true));
    EXPECT_FALSE(m_files.fileExists(path("from.txt")));
    EXPECT_EQ(readFile("to.txt"), "from");

    writeFile("readonly.txt", "ro", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(m_files.deleteFile(path("readonly.txt")));
    EXPECT_TRUE(m_files.fileExists(path("readonly.txt")));
    ASSERT_TRUE(SetFileAttributesW(toWide(path("readonly.txt")).c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(m_files.deleteFile(path("readonly.txt")));
    EXPECT_FALSE(m_files.fileExists(path("readonly.txt")));

    ASSERT_TRUE(m_files.createDirectory(path("full")));
    writeFile("full\\inside.txt", "x");
    EXPECT_FALSE(m_files.removeDirectory(path("full")));
    EXPECT_TRUE(m_files.directoryExists(path("full")));
    EXPECT_FALSE(m_files.createDirectory(path("missing\\child")));
    EXPECT_FALSE(m_files.directoryExists(path("missing")));
}

TEST_F(Win32FilesTest, QueryCacheForgetsAfterAChange)
{
    const std::string name = path("later.txt");
    {
        tw::platform::FileQueryCache outer(m_files);
        EXPECT_FALSE(m_files.fileExists(name));
        {
            tw::platform::FileQueryCache inner(m_files);
            EXPECT_EQ(m_files.fileId(name), std::nullopt);
            writeFile("later.txt", "x");
            EXPECT_FALSE(m_files.fileExists(name)) << "answered again from the cache";
            EXPECT_EQ(m_files.fileId(name), std::nullopt);
        }
        // The outer span still holds the answers.
        EXPECT_FALSE(m_files.fileExists(name));
        ASSERT_TRUE(m_files.createDirectory(path("other")));
        EXPECT_TRUE(m_files.fileExists(name));
        EXPECT_TRUE(m_files.fileId(name).has_value());
        ASSERT_TRUE(DeleteFileW(toWide(name).c_str()));
    }
    EXPECT_FALSE(m_files.fileExists(name));
}

TEST_F(Win32FilesTest, StreamsReachPastFourGiB)
{
    {
        const HANDLE file = CreateFileW(toWide(path("big.bin")).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD returned = 0;
        // Sparse where the file system can; a plain file on Wine's host is sparse anyway.
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = kFiveGiB;
        const bool grown = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (!grown)
            GTEST_SKIP() << "no room for a 5 GiB file: " << tw::win32::lastErrorText();
    }
    auto find = m_files.findFirstFile(path("big.bin"));
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->current().size, static_cast<std::uint64_t>(kFiveGiB));

    auto stream = m_files.openFile(path("big.bin"), FileStream::Mode::ReadWrite);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->size(), kFiveGiB);
    EXPECT_EQ(stream->seek(0, SEEK_END), kFiveGiB);
    const std::int64_t past = (4LL << 30) + 10;
    EXPECT_EQ(stream->seek(past, SEEK_SET), past);
    stream->write("mark", 4);
    EXPECT_EQ(stream->seek(-4, SEEK_CUR), past);
    char back[4] = {};
    EXPECT_EQ(stream->read(back, 4), 4);
    EXPECT_EQ(std::string(back, 4), "mark");
    EXPECT_EQ(stream->seek(0, SEEK_END), kFiveGiB);
    EXPECT_EQ(stream->read(back, 4), 0);
}

TEST_F(Win32FilesTest, DrivesAndPathsAreDescribed)
{
    EXPECT_EQ(m_files.driveType("C:\\"), static_cast<UINT>(DRIVE_FIXED));
    const auto space = m_files.diskFreeSpace("C:\\");
    ASSERT_TRUE(space);
    EXPECT_GT(space->total, 0u);
    EXPECT_LE(space->freeToCaller, space->total);
    EXPECT_EQ(m_files.diskFreeSpace("missing:\\"), std::nullopt);
    const std::string display = m_files.driveDisplayName("C:\\");
    EXPECT_NE(display.find("(C:)"), std::string::npos) << display;
    EXPECT_EQ(m_files.dosFileName(m_folder + "/sub/../x.txt"), path("x.txt"));
    EXPECT_EQ(m_files.lastErrorText(), "");
}

} // namespace
