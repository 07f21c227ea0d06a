#include "Win32Installation.h"

#include "WideText.h"

#include <stdexcept>
#include <windows.h>

namespace tw::win32 {

namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunValue = L"Tidewell";

} // namespace

std::wstring programFilePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::optional<win::FILETIME> Win32Installation::programFileTime()
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::wstring path = programFilePath();
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (win::FILETIME(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool Win32Installation::autostartEnabled()
{
    HKEY run = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &run) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(run, kRunValue, nullptr, &type, nullptr, nullptr);
    RegCloseKey(run);
    return rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
}

void Win32Installation::setAutostart(bool enabled)
{
    if (enabled)
        throw std::runtime_error("Tidewell's window is not part of the Windows build yet, so "
                                 "there is nothing to start with Windows");
    const LONG rc = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("Cannot remove the value Tidewell of HKEY_CURRENT_USER\\" +
                                 fromWide(kRunKey) + ": " + errorText(DWORD(rc)));
}

std::string Win32Installation::autostartLocation()
{
    return "HKEY_CURRENT_USER\\" + fromWide(kRunKey) + " (value Tidewell)";
}

} // namespace tw::win32
