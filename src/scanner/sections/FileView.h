// Files named by registry values, looked for as the programs that read the values see them:
// on a 64-bit system a 32-bit program's system32 is syswow64 and its %ProgramFiles% the
// "(x86)" folder.
#pragma once

#include "registry/Session.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw::sections {

/// Which programs read a registry value.
enum class ValueReaders
{
    /// 64-bit and 32-bit programs alike: keys outside Wow6432Node (the user's hive is not
    /// split, and Wine links many 32-bit keys to the 64-bit ones).
    Any,
    /// 32-bit programs only: the value is below a Wow6432Node key.
    Wow64,
};

/// The readers of the values of a key, by its path (with or without a root name).
ValueReaders readersOfKey(std::string_view keyPath);

/// The system's folders, read once, and file tests that find what either kind of program
/// would: on a 64-bit system a 32-bit program's system32 is syswow64 (but for the folders
/// Windows never redirects), a 64-bit program's is system32, and keys the two share hold
/// values of both.
class FileView
{
public:
    explicit FileView(const Session& session);

    /// True when the path names an existing file as it stands or, for a path in system32,
    /// in syswow64 (and a path in a 32-bit program's sysnative, in system32).
    bool fileExists(std::string_view path) const;
    bool directoryExists(std::string_view path) const;
    /// The folders that %ProgramFiles% (selector 0) or %CommonProgramFiles% (1) stand for:
    /// the one the value's readers see first ("(x86)" for 32-bit readers), then the other.
    std::vector<std::string> programFilesFolders(int selector, ValueReaders readers) const;

private:
    /// True when `test` holds for a place on disk the path may name: the path itself, or the
    /// other system folder's path a 32-bit or 64-bit reader would be sent to.
    bool anyPlace(std::string_view path, bool (platform::Files::*test)(std::string_view)) const;

    const Session& m_session;
    platform::Files& m_files;
    std::string m_system;
    std::string m_systemWow64;
    std::string m_sysnative;
    mutable bool m_programFilesRead = false;
    mutable std::string m_programFiles[2];
    mutable std::string m_programFilesX86[2];
};

} // namespace tw::sections
