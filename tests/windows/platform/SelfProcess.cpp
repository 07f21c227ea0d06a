#include "SelfProcess.h"

#include "platform/win32/WideText.h"

#include <windows.h>

namespace tw::win32::test {

namespace {

constexpr const wchar_t* kSleepArgument = L"--tidewell-sleep-until-ended";

/// Before the tests start: a child started with the sleep argument only sleeps.
const bool sleeper = [] {
    if (std::wstring(GetCommandLineW()).find(kSleepArgument) != std::wstring::npos) {
        Sleep(INFINITE);
        ExitProcess(0);
    }
    return false;
}();

} // namespace

std::string selfPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fromWide(std::wstring_view(path, length));
}

std::string selfFileName()
{
    const std::string path = selfPath();
    return path.substr(path.find_last_of("\\/") + 1);
}

std::string selfSleepCommandLine()
{
    return "\"" + selfPath() + "\" " + fromWide(kSleepArgument);
}

} // namespace tw::win32::test
