#include "Win32Programs.h"

#include "UniqueHandle.h"
#include "WideText.h"
#include "platform/CommandLineArgs.h"

#include <windows.h>

namespace tw::win32 {

/// A started program: owns its process handle.
class Win32Process final : public platform::Process
{
public:
    explicit Win32Process(HANDLE process) : m_process(process) {}
    ~Win32Process() override { CloseHandle(m_process); }
    Win32Process(const Win32Process&) = delete;
    Win32Process& operator=(const Win32Process&) = delete;

    bool hasEnded() override { return WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }
    void wait() override { WaitForSingleObject(m_process, INFINITE); }
    win::DWORD exitCode() override
    {
        DWORD code = platform::kStillActive;
        if (!GetExitCodeProcess(m_process, &code))
            return platform::kStillActive;
        return code;
    }

private:
    HANDLE m_process;
};

namespace {

bool isFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool hasExtension(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    const size_t separator = name.find_last_of(L"\\/");
    return dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator);
}

/// Where CreateProcess finds a program name: a bare name through the system's search order,
/// a path as it stands; ".exe" is added to a name without an extension.
std::optional<std::wstring> existingProgram(const std::wstring& name)
{
    if (name.find_first_of(L"\\/:") == std::wstring::npos) {
        wchar_t found[MAX_PATH];
        const DWORD length = SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, found, nullptr);
        if (length > 0 && length < MAX_PATH && isFile(found))
            return std::wstring(found);
        return std::nullopt;
    }
    if (!hasExtension(name) && isFile(name + L".exe"))
        return name + L".exe";
    if (isFile(name))
        return name;
    return std::nullopt;
}

/// Reads a pipe to its end.
std::string readAll(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

} // namespace

Win32Programs::Win32Programs(platform::Storage& storage) : m_storage(storage) {}

Win32Programs::~Win32Programs() = default;

std::optional<std::wstring> Win32Programs::findProgram(const std::string& commandLine) const
{
    for (const platform::ProgramReading& reading : platform::programReadings(commandLine)) {
        if (std::optional<std::wstring> program = existingProgram(toWide(reading.program)))
            return program;
    }
    return std::nullopt;
}

std::string Win32Programs::startRefusal(const std::string& commandLine) const
{
    const std::vector<std::string> words = platform::commandLineToArgv(commandLine);
    if (words.empty())
        return "There is no command line to start.";
    if (!findProgram(commandLine))
        return "Cannot start \"" + commandLine + "\": the program " + words.front() +
               " was not found.";
    return {};
}

platform::ProgramRun Win32Programs::start(const platform::ProgramStart& start)
{
    platform::ProgramRun run;
    const std::string& line = start.commandLine;
    const auto fail = [&](const std::string& why) {
        run.error = "Cannot start \"" + line + "\": " + why;
        return run;
    };
    if (std::string refusal = startRefusal(line); !refusal.empty()) {
        run.error = std::move(refusal);
        return run;
    }
    try {
        m_storage.commit();
    } catch (const platform::StorageError& e) {
        return fail(std::string("the registry changes made so far could not be saved first, "
                                "so nothing was started. ") +
                    e.what());
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(start.show);

    const bool capture = start.wait && start.captureOutput;
    KernelHandle readEnd, writeEnd, input, errors;
    if (capture) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 0))
            return fail(lastErrorText());
        // Only the writing end goes to the program.
        SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
        *input.out() = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, 0, nullptr);
        *errors.out() = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, OPEN_EXISTING, 0, nullptr);
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = writeEnd.get();
        startup.hStdError = errors.get();
    }

    std::wstring commandLine = toWide(line);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, capture ? TRUE : FALSE, 0,
                        nullptr, nullptr, &startup, &info))
        return fail(lastErrorText());
    CloseHandle(info.hThread);
    auto process = std::make_shared<Win32Process>(info.hProcess);
    m_running.push_back(process);

    if (!start.wait) {
        run.process = process;
        return run;
    }
    if (capture) {
        // Our copy of the writing end goes, so the read ends when the program's copies do.
        writeEnd.reset();
        run.output = readAll(readEnd.get());
    }
    process->wait();
    run.exitCode = process->exitCode();
    return run;
}

bool Win32Programs::busy()
{
    std::erase_if(m_running, [](const std::shared_ptr<Win32Process>& p) { return p->hasEnded(); });
    return !m_running.empty();
}

void Win32Programs::waitUntilIdle()
{
    for (const auto& process : m_running)
        process->wait();
    m_running.clear();
    m_storage.refresh();
}

} // namespace tw::win32
