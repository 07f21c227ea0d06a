#include "platform/win32/Win32System.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <windows.h>

using tw::win32::fromWide;
using tw::win32::toWide;
using tw::win32::Win32System;

namespace {

std::string environment(const wchar_t* name)
{
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length && length < 32768 ? fromWide(std::wstring_view(value, length)) : std::string();
}

bool sameText(const std::string& a, const std::string& b)
{
    return CompareStringOrdinal(toWide(a).c_str(), -1, toWide(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool isFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class RegistryKey
{
public:
    RegistryKey(HKEY root, const wchar_t* path)
    {
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~RegistryKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return m_key; }

    std::string text(const wchar_t* name) const
    {
        wchar_t value[1024];
        DWORD size = sizeof(value) - sizeof(wchar_t);
        DWORD type = 0;
        if (!m_key ||
            RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return {};
        value[size / sizeof(wchar_t)] = 0;
        return fromWide(value);
    }

private:
    HKEY m_key = nullptr;
};

TEST(Win32SystemTest, FoldersAgreeWithTheEnvironment)
{
    Win32System system;
    const std::string windows = system.windowsDirectory();
    EXPECT_TRUE(sameText(windows, environment(L"windir"))) << windows;
    EXPECT_TRUE(isFolder(windows));
    EXPECT_NE(windows.back(), '\\');

    const std::string systemFolder = system.systemDirectory();
    EXPECT_TRUE(isFolder(systemFolder)) << systemFolder;
    EXPECT_TRUE(sameText(systemFolder.substr(0, windows.size() + 1), windows + "\\"));

    // A 64-bit program only runs on a 64-bit system, which keeps 32-bit system files apart.
    const std::string wow64 = system.systemWow64Directory();
    EXPECT_TRUE(isFolder(wow64)) << wow64;
    EXPECT_FALSE(sameText(wow64, systemFolder));

    const std::string temp = system.tempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    std::string expected = environment(L"TMP");
    if (expected.empty())
        expected = environment(L"TEMP");
    EXPECT_TRUE(sameText(temp, expected + "\\")) << temp << " / " << expected;
    EXPECT_TRUE(isFolder(temp));
}

TEST(Win32SystemTest, UserSidNamesTheUsersHive)
{
    Win32System system;
    const std::string sid = system.currentUserSid();
    EXPECT_TRUE(std::regex_match(sid, std::regex(R"(S-1-5-21(-\d+){4})"))) << sid;
    const RegistryKey hive(HKEY_USERS, toWide(sid).c_str());
    EXPECT_NE(hive.get(), nullptr) << "HKEY_USERS has no key " << sid;
}

TEST(Win32SystemTest, VersionIsTheOneTheRegistryRecords)
{
    const RegistryKey current(HKEY_LOCAL_MACHINE,
                              L"Software\\Microsoft\\Windows NT\\CurrentVersion");
    const std::string build = current.text(L"CurrentBuildNumber");
    ASSERT_FALSE(build.empty());
    const tw::platform::OsVersionInfo version = Win32System().versionEx();
    EXPECT_EQ(version.platformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(std::to_string(version.buildNumber), build);
    EXPECT_EQ(version.csdVersion, current.text(L"CSDVersion"));
    DWORD major = 0;
    DWORD size = sizeof(major);
    if (RegQueryValueExW(current.get(), L"CurrentMajorVersionNumber", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&major), &size) == ERROR_SUCCESS)
        EXPECT_EQ(version.majorVersion, major);
    else
        EXPECT_EQ(std::to_string(version.majorVersion) + "." + std::to_string(version.minorVersion),
                  current.text(L"CurrentVersion"));
}

TEST(Win32SystemTest, TimesAgreeWithTheFileSystemAndTheClock)
{
    Win32System system;
    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring path =
        std::wstring(temp) + L"tidewell-time-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const tw::win::FILETIME before = system.currentTime();
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written;
    const bool known = GetFileTime(file, nullptr, nullptr, &written);
    const tw::win::FILETIME after = system.currentTime();
    CloseHandle(file);
    ASSERT_TRUE(known);
    const tw::win::FILETIME fileTime =
        (static_cast<tw::win::FILETIME>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    const tw::win::FILETIME slack = 20000000; // 2 s: the coarsest file-system clock
    EXPECT_GE(fileTime + slack, before);
    EXPECT_LE(fileTime, after + slack);

    // The offset the local calendar shows now.
    SYSTEMTIME utcNow;
    SYSTEMTIME localNow;
    GetSystemTime(&utcNow);
    GetLocalTime(&localNow);
    FILETIME utcFile;
    FILETIME localFile;
    SystemTimeToFileTime(&utcNow, &utcFile);
    SystemTimeToFileTime(&localNow, &localFile);
    const auto value = [](const FILETIME& time) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                         time.dwLowDateTime);
    };
    const std::int64_t offset = value(localFile) - value(utcFile);
    const tw::win::FILETIME now = system.currentTime();
    const std::int64_t applied = static_cast<std::int64_t>(system.fileTimeToLocalFileTime(now)) -
                                 static_cast<std::int64_t>(now);
    EXPECT_LT(std::llabs(applied - offset), 600000000LL) << applied << " / " << offset;
}

TEST(Win32SystemTest, BuiltInFontsAreWinesOwn)
{
    Win32System system;
    EXPECT_TRUE(Win32System::runsUnderWine()) << "these tests run under Wine";
    EXPECT_FALSE(system.isBuiltInFont("Made Up Sans (TrueType)", "madeupsans.ttf"));
    EXPECT_FALSE(system.isBuiltInFont("Made Up Sans (TrueType)", ""));

    const RegistryKey fonts(HKEY_LOCAL_MACHINE,
                            L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    ASSERT_NE(fonts.get(), nullptr);
    const std::string windowsFonts = Win32System().windowsDirectory() + "\\Fonts\\";
    int builtIn = 0;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (RegEnumValueW(fonts.get(), index, name, &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        const std::string file = fonts.text(name);
        if (file.empty() || file.find('\\') != std::string::npos ||
            GetFileAttributesW(toWide(windowsFonts + file).c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        ++builtIn;
        EXPECT_TRUE(system.isBuiltInFont(fromWide(name), file)) << fromWide(name) << " " << file;
        EXPECT_FALSE(system.isBuiltInFont(fromWide(name), "..\\" + file));
    }
    EXPECT_GT(builtIn, 0) << "Wine registers fonts of its own";
}

TEST(Win32SystemTest, FilesOfWinesFontFoldersAreBuiltIn)
{
    const std::vector<std::wstring> folders = Win32System::wineFontFolders();
    ASSERT_FALSE(folders.empty()) << "Wine names its data folder";
    EXPECT_TRUE(std::any_of(folders.begin(), folders.end(), [](const std::wstring& folder) {
        return isFolder(fromWide(folder));
    })) << fromWide(folders.front());
    std::wstring file;
    for (const std::wstring& folder : folders) {
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((folder + L"\\*.?t?").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            file = found.cFileName;
            FindClose(find);
            break;
        }
    }
    if (file.empty())
        GTEST_SKIP() << "Wine's font folder holds no fonts (its fonts are not installed)";
    Win32System system;
    EXPECT_TRUE(system.isBuiltInFont("Any Name (TrueType)", fromWide(file)));
    EXPECT_FALSE(system.isBuiltInFont("Any Name (TrueType)", "made-up-" + fromWide(file)));
}

} // namespace
