#include "Win32System.h"

#include "UniqueHandle.h"
#include "WideText.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <windows.h>
// After windows.h, which it builds on.
#include <sddl.h>

namespace tw::win32 {

namespace {

/// The fonts Wine registers itself for the code page in use, whatever files it ships.
constexpr std::string_view kCodePageFonts[] = {"Courier", "MS Serif", "MS Sans Serif",
                                               "Small Fonts"};

/// A folder such as GetWindowsDirectory reports, grown to the size it asks for.
template <typename Call> std::string folderFrom(Call call)
{
    std::wstring buffer(MAX_PATH, L'\0');
    UINT length = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length);
        length = call(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size())
        return {};
    buffer.resize(length);
    return fromWide(buffer);
}

/// The token of this process, for questions about the user it runs as.
KernelHandle processToken()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        throw std::runtime_error("Cannot open the process token: " + lastErrorText());
    return token;
}

struct LocalFreeDeleter
{
    void operator()(void* memory) const { LocalFree(memory); }
};

std::wstring environmentVariable(const wchar_t* name)
{
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return {};
    std::wstring value(needed, L'\0');
    const DWORD written = GetEnvironmentVariableW(name, value.data(), needed);
    if (written == 0 || written >= needed)
        return {};
    value.resize(written);
    return value;
}

/// An NT path such as Wine hands its folders over in ("\??\Z:\usr\share\wine") as one the
/// W calls take.
std::wstring fromNtPath(std::wstring path)
{
    if (path.rfind(L"\\??\\", 0) == 0)
        path[1] = L'\\';
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

} // namespace

std::string Win32System::windowsDirectory()
{
    return folderFrom(
        [](wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); });
}

std::string Win32System::systemDirectory()
{
    return folderFrom([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
}

std::string Win32System::systemWow64Directory()
{
    // Fails with ERROR_CALL_NOT_IMPLEMENTED on a 32-bit system.
    return folderFrom(
        [](wchar_t* buffer, UINT size) { return GetSystemWow64DirectoryW(buffer, size); });
}

std::string Win32System::currentUserSid()
{
    const KernelHandle token = processToken();
    DWORD needed = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed);
    if (needed == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), needed, &needed))
        throw std::runtime_error("Cannot read the user of the process token: " + lastErrorText());
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(user->User.Sid, &text))
        throw std::runtime_error("Cannot write the user's SID as text: " + lastErrorText());
    const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(text);
    return fromWide(text);
}

std::string Win32System::tempPath()
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length >= buffer.size())
        throw std::runtime_error("Cannot find the folder for temporary files: " + lastErrorText());
    buffer.resize(length);
    return fromWide(buffer);
}

platform::OsVersionInfo Win32System::versionEx()
{
    // GetVersionEx answers as Windows 8 to a program without a manifest; ntdll does not.
    using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void*>(
                                           GetProcAddress(ntdll, "RtlGetVersion")))
                                     : nullptr;
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!rtlGetVersion || rtlGetVersion(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0)
        throw std::runtime_error("Cannot read the version of Windows");
    platform::OsVersionInfo version;
    version.platformId = info.dwPlatformId;
    version.majorVersion = info.dwMajorVersion;
    version.minorVersion = info.dwMinorVersion;
    version.buildNumber = info.dwBuildNumber;
    version.csdVersion = fromWide(info.szCSDVersion);
    return version;
}

win::FILETIME Win32System::currentTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<win::FILETIME>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

win::FILETIME Win32System::fileTimeToLocalFileTime(win::FILETIME utc)
{
    FILETIME in;
    in.dwLowDateTime = static_cast<DWORD>(utc);
    in.dwHighDateTime = static_cast<DWORD>(utc >> 32);
    FILETIME local;
    if (!FileTimeToLocalFileTime(&in, &local))
        return utc;
    return (static_cast<win::FILETIME>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
}

bool Win32System::runsUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::wstring Win32System::winePrefixDriveC()
{
    if (!runsUnderWine())
        return {};
    // Wine hands each program the prefix it runs in.
    const std::wstring prefix = environmentVariable(L"WINECONFIGDIR");
    return prefix.empty() ? std::wstring() : fromNtPath(prefix) + L"\\drive_c";
}

std::vector<std::wstring> Win32System::wineFontFolders()
{
    std::vector<std::wstring> folders;
    if (!runsUnderWine())
        return folders;
    // Wine hands each program the data folder it runs with (and its build tree when run from
    // one); its own fonts lie in "fonts" there.
    for (const wchar_t* variable : {L"WINEDATADIR", L"WINEBUILDDIR"}) {
        if (const std::wstring folder = environmentVariable(variable); !folder.empty())
            folders.push_back(fromNtPath(folder) + L"\\fonts");
    }
    if (folders.empty()) {
        // An older Wine: the packaged data folder, through its host path.
        using DosFileNameCall = wchar_t*(CDECL*)(const char*);
        const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        const auto dosFileName = kernel32
                                     ? reinterpret_cast<DosFileNameCall>(reinterpret_cast<void*>(
                                           GetProcAddress(kernel32, "wine_get_dos_file_name")))
                                     : nullptr;
        if (dosFileName) {
            if (wchar_t* path = dosFileName("/usr/share/wine/fonts")) {
                folders.emplace_back(path);
                HeapFree(GetProcessHeap(), 0, path);
            }
        }
    }
    return folders;
}

bool Win32System::isBuiltInFont(std::string_view valueName, std::string_view fileName)
{
    if (!runsUnderWine() || fileName.empty() ||
        fileName.find_first_of("\\/") != std::string_view::npos)
        return false;
    if (std::any_of(std::begin(kCodePageFonts), std::end(kCodePageFonts),
                    [&](std::string_view name) { return platform::equalNoCase(name, valueName); }))
        return true;
    if (!m_builtInFonts) {
        m_builtInFonts.emplace();
        for (const std::wstring& folder : wineFontFolders()) {
            WIN32_FIND_DATAW found;
            const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                                 FindExSearchNameMatch, nullptr, 0);
            if (find == INVALID_HANDLE_VALUE)
                continue;
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    m_builtInFonts->emplace_back(found.cFileName);
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
    }
    const std::wstring wideName = toWide(fileName);
    return std::any_of(
        m_builtInFonts->begin(), m_builtInFonts->end(), [&](const std::wstring& name) {
            return CompareStringOrdinal(name.c_str(), -1, wideName.c_str(), -1, TRUE) == CSTR_EQUAL;
        });
}

} // namespace tw::win32
