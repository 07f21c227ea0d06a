// Start-up on Windows: the session runs on the live system.
#include "OpenSystem.h"
#include "Prefixes.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Installation.h"
#include "platform/win32/Win32Machine.h"
#include "platform/win32/WinHttpClient.h"

#include <stdexcept>

namespace tw::app {

namespace {
class OpenedMachine : public OpenedSystem
{
public:
    platform::Platform platform() override { return m_machine.platform(); }

private:
    win32::Win32Machine m_machine;
};
} // namespace

OpenedStart openSystem(const StartOptions& options)
{
    if (options.prefix)
        throw std::runtime_error("on Windows Tidewell works on this system itself; --prefix "
                                 "names a Wine prefix on Linux");
    if (options.preview)
        throw std::runtime_error("a preview session needs a Wine prefix");
    auto machine = std::make_unique<OpenedMachine>();
    std::string windows = machine->platform().system->windowsDirectory();
    return {std::move(windows), "system", std::move(machine)};
}

std::string dataDirectory()
{
    const std::wstring program = win32::programFilePath();
    const size_t slash = program.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string(".")
                                       : win32::fromWide(program.substr(0, slash));
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
