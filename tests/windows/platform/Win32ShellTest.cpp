// The shell and the installation of the Win32 platform, on files in a temporary folder and the
// registry of the Wine prefix the tests run in.
#include "platform/win32/Win32Shell.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Installation.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tw::win32 {
namespace {

namespace fs = std::filesystem;

class Win32ShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
        static int counter = 0;
        m_folder = fs::path(temp) / ("tidewell-shell-" + std::to_string(GetCurrentProcessId()) +
                                     "-" + std::to_string(++counter));
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    std::string path(const std::string& name) const
    {
        return fromWide((m_folder / name).wstring());
    }
    void write(const std::string& name, const std::string& text) const
    {
        fs::create_directories((m_folder / name).parent_path());
        std::ofstream(m_folder / name, std::ios::binary) << text;
    }
    static std::string read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_folder;
    Win32Shell m_shell;
};

/// A shortcut made as installers make them.
void makeShortcut(const std::wstring& file, const std::wstring& target)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IShellLinkW* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkW, reinterpret_cast<void**>(&link))));
    link->SetPath(target.c_str());
    IPersistFile* persist = nullptr;
    ASSERT_TRUE(
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))));
    EXPECT_TRUE(SUCCEEDED(persist->Save(file.c_str(), TRUE)));
    persist->Release();
    link->Release();
    CoUninitialize();
}

TEST_F(Win32ShellTest, ReadsTheTargetOfAShortcutAndNothingFromOtherFiles)
{
    write("Café\\app.exe", "MZ");
    makeShortcut((m_folder / "app.lnk").wstring(), toWide(path("Café\\app.exe")));
    EXPECT_EQ(m_shell.shortcutTarget(path("app.lnk")), path("Café\\app.exe"));
    // The target need not exist for the shortcut to name it.
    makeShortcut((m_folder / "gone.lnk").wstring(), L"C:\\Program Files\\Gone\\gone.exe");
    EXPECT_EQ(m_shell.shortcutTarget(path("gone.lnk")), "C:\\Program Files\\Gone\\gone.exe");

    write("text.lnk", "not a shortcut");
    EXPECT_EQ(m_shell.shortcutTarget(path("text.lnk")), "");
    EXPECT_EQ(m_shell.shortcutTarget(path("missing.lnk")), "");
}

TEST_F(Win32ShellTest, MovesIntoAFolderUnderAFreeNameAndNeverReplaces)
{
    write("from\\report.txt", "new");
    write("from\\again\\report.txt", "newer");
    write("into\\report.txt", "kept");
    write("into\\report (2).txt", "kept too");
    ASSERT_TRUE(m_shell.moveToFolder(path("from\\report.txt"), path("into")))
        << m_shell.lastErrorText();
    EXPECT_EQ(read(m_folder / "into/report.txt"), "kept");
    EXPECT_EQ(read(m_folder / "into/report (2).txt"), "kept too");
    EXPECT_EQ(read(m_folder / "into/report (3).txt"), "new");
    EXPECT_FALSE(fs::exists(m_folder / "from/report.txt"));

    // A folder moves with what it holds; a folder name keeps its dots.
    write("from\\v1.0\\data.bin", "data");
    write("into\\v1.0\\other.bin", "other");
    ASSERT_TRUE(m_shell.moveToFolder(path("from\\v1.0"), path("into")));
    EXPECT_EQ(read(m_folder / "into/v1.0 (2)/data.bin"), "data");
    EXPECT_EQ(read(m_folder / "into/v1.0/other.bin"), "other");
}

TEST_F(Win32ShellTest, AMoveThatCannotBeMadeChangesNothingAndSaysWhy)
{
    write("into\\keep.txt", "keep");
    EXPECT_FALSE(m_shell.moveToFolder(path("missing.txt"), path("into")));
    EXPECT_NE(m_shell.lastErrorText(), "");

    write("file.txt", "stays");
    EXPECT_FALSE(m_shell.moveToFolder(path("file.txt"), path("no such folder")));
    EXPECT_NE(m_shell.lastErrorText(), "");
    EXPECT_EQ(read(m_folder / "file.txt"), "stays");

    write("into\\here.txt", "here");
    EXPECT_FALSE(m_shell.moveToFolder(path("into\\here.txt"), path("into")))
        << "a file is in its own folder already";
    EXPECT_EQ(read(m_folder / "into/here.txt"), "here");
}

TEST_F(Win32ShellTest, RecyclesFilesAndFoldersAndRefusesWhatIsNotThere)
{
    write("old.tmp", "x");
    write("cache\\a.tmp", "a");
    EXPECT_TRUE(m_shell.recycle(path("old.tmp"))) << m_shell.lastErrorText();
    EXPECT_FALSE(fs::exists(m_folder / "old.tmp"));
    EXPECT_TRUE(m_shell.recycle(path("cache"))) << m_shell.lastErrorText();
    EXPECT_FALSE(fs::exists(m_folder / "cache"));

    EXPECT_FALSE(m_shell.recycle(path("never.tmp")));
    EXPECT_NE(m_shell.lastErrorText(), "");
}

TEST(Win32InstallationTest, TheProgramFileTimeIsTheExecutablesAndAutostartIsRefusedWhole)
{
    Win32Installation installation;
    wchar_t self[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    HANDLE file = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written{};
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    EXPECT_EQ(installation.programFileTime(),
              (win::FILETIME(written.dwHighDateTime) << 32) | written.dwLowDateTime);

    // No window to start: turning autostart on changes nothing and says why.
    const bool before = installation.autostartEnabled();
    EXPECT_THROW(installation.setAutostart(true), std::runtime_error);
    EXPECT_EQ(installation.autostartEnabled(), before);

    // An entry another build left is removed when autostart is turned off.
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &run, nullptr),
              ERROR_SUCCESS);
    const wchar_t entry[] = L"\"C:\\Tidewell\\tidewell.exe\"";
    RegSetValueExW(run, L"Tidewell", 0, REG_SZ, reinterpret_cast<const BYTE*>(entry), sizeof entry);
    RegCloseKey(run);
    EXPECT_TRUE(installation.autostartEnabled());
    installation.setAutostart(false);
    EXPECT_FALSE(installation.autostartEnabled());
    EXPECT_NO_THROW(installation.setAutostart(false)) << "nothing to remove is no error";
    EXPECT_NE(installation.autostartLocation().find("CurrentVersion\\Run"), std::string::npos);
}

} // namespace
} // namespace tw::win32
