// Starting Windows programs with CreateProcess.
#pragma once

#include "platform/Programs.h"
#include "platform/Storage.h"

#include <memory>
#include <optional>
#include <vector>

namespace tw::win32 {

class Win32Process;

class Win32Programs final : public platform::Programs
{
public:
    explicit Win32Programs(platform::Storage& storage);
    ~Win32Programs() override;

    platform::ProgramRun start(const platform::ProgramStart& start) override;
    std::string startRefusal(const std::string& commandLine) const override;
    bool busy() override;
    void waitUntilIdle() override;

private:
    /// The file CreateProcess would run for this command line, if there is one.
    std::optional<std::wstring> findProgram(const std::string& commandLine) const;

    platform::Storage& m_storage;
    std::vector<std::shared_ptr<Win32Process>> m_running;
};

} // namespace tw::win32
