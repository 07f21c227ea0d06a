// Start-up on Windows: the session runs on the live system.
#include "OpenSystem.h"
#include "Prefixes.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Machine.h"
#include "platform/win32/WinHttpClient.h"

#include <stdexcept>
#include <windows.h>

namespace tw::app {

namespace {
class OpenedMachine : public OpenedSystem
{
public:
    platform::Platform platform() override { return m_machine.platform(); }

private:
    win32::Win32Machine m_machine;
};

std::string windowsDirectory()
{
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    return length && length <= MAX_PATH ? win32::fromWide(std::wstring_view(buffer, length))
                                        : std::string("C:\\Windows");
}

/// The folder of the running program.
std::string programDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return ".";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return win32::fromWide(slash == std::wstring::npos ? std::wstring(L".")
                                                       : path.substr(0, slash));
}
} // namespace

OpenedStart openSystem(const StartOptions& options)
{
    if (options.prefix)
        throw std::runtime_error("on Windows Tidewell works on this system itself; --prefix "
                                 "names a Wine prefix on Linux");
    if (options.preview)
        throw std::runtime_error("a preview session needs a Wine prefix");
    return {windowsDirectory(), "system", std::make_unique<OpenedMachine>()};
}

std::string dataDirectory()
{
    return programDirectory();
}

std::unique_ptr<platform::Http> makeHttp()
{
    return std::make_unique<win32::WinHttpClient>();
}

platform::PrefixList findPrefixes()
{
    return {};
}

} // namespace tw::app
