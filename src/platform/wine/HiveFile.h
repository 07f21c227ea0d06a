// Wine's registry hive files (system.reg, user.reg, userdef.reg): reading and writing.
#pragma once

#include "WinePlatformOnly.h"

#include "HiveKey.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tw::wine {

/// A hive file that does not follow Wine's format; names the file and line.
class HiveFormatError : public std::runtime_error
{
public:
    HiveFormatError(const std::string& file, int line, const std::string& problem);
    const std::string& file() const { return m_file; }
    int line() const { return m_line; }

private:
    std::string m_file;
    int m_line;
};

/// What a hive file says before its first key.
struct HiveHeader
{
    /// The text before the first key section, kept as it was.
    std::string prologue;
    /// The path of the ";; All keys relative to" line, such as REGISTRY\User\S-1-5-...
    std::u16string relativeTo;
    /// The #arch option ("win32", "win64" or empty) and its line.
    std::string arch;
    int archLine = 0;
};

/// Reads a hive file. `baseFor` is called once the header is read and returns the key
/// that the file's key paths are relative to. Throws HiveFormatError for a damaged file and
/// std::system_error when the file cannot be read.
HiveHeader readHiveFile(const std::string& path,
                        const std::function<HiveKey*(const HiveHeader&)>& baseFor);

/// Writes `base` and its subtree in Wine's format, after `prologue`. The text is passed
/// to `sink` in pieces.
void writeHive(const HiveKey& base, std::string_view prologue,
               const std::function<void(std::string_view)>& sink);

/// The standard prologue Wine writes for a hive relative to `relativeTo`.
std::string standardPrologue(std::u16string_view relativeTo, std::string_view arch);

} // namespace tw::wine
