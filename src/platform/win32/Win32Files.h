// Files, folders and drives of the live system through the Win32 file functions.
#pragma once

#include "platform/Files.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace tw::win32 {

class Win32Files : public platform::Files
{
public:
    Win32Files() = default;

    std::unique_ptr<platform::FileFind> findFirstFile(std::string_view pattern,
                                                      platform::FindDetail detail) override;
    using platform::Files::findFirstFile;
    win::DWORD fileAttributes(std::string_view path) override;
    std::optional<platform::FileId> fileId(std::string_view path) override;
    bool fileExists(std::string_view path) override;
    bool directoryExists(std::string_view path) override;
    bool createDirectory(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool removeDirectory(std::string_view path) override;
    bool moveFile(std::string_view from, std::string_view to, bool replaceExisting) override;
    std::unique_ptr<platform::FileStream> openFile(std::string_view path,
                                                   platform::FileStream::Mode mode) override;
    win::UINT driveType(std::string_view root) override;
    std::optional<platform::DiskSpace> diskFreeSpace(std::string_view root) override;
    std::string driveDisplayName(std::string_view root) override;
    std::string lastErrorText() override;
    std::optional<std::string> dosFileName(std::string_view hostPath) override;
    std::optional<std::string> unixFileName(std::string_view path) override;
    void beginQueryCache() override;
    void endQueryCache() override;

private:
    /// Records GetLastError() of a failed call; returns false for chaining.
    bool failed();
    void changed();

    unsigned long m_lastError = 0;
    int m_cacheDepth = 0;
    std::unordered_map<std::wstring, win::DWORD> m_attributes;
    std::unordered_map<std::wstring, std::optional<platform::FileId>> m_ids;
};

} // namespace tw::win32
