// The locks that Tidewell's own writers of a prefix take: one so that their saves and the
// repair of an interrupted save run one at a time, one so that each writer reads, changes
// and saves the registry before the next begins.
#pragma once

#include "WinePlatformOnly.h"

#include <string>

namespace tw::wine {

class PrefixLock
{
public:
    enum class Mode
    {
        Create,    ///< make the lock file when there is none (before writing)
        IfPresent, ///< lock only when a writer made a lock file that can be opened
    };
    enum class Kind
    {
        Save,   ///< "<prefix>/.tidewell.lock", held while hives are read or replaced
        Writer, ///< "<prefix>/.tidewell.writer.lock", held from reading the hives to saving
    };

    /// Takes the lock, waiting for another holder. Throws std::system_error when the lock
    /// file cannot be opened or locked, std::runtime_error when another holder keeps it for
    /// a minute.
    PrefixLock(const std::string& prefixDir, Mode mode, Kind kind = Kind::Save);
    ~PrefixLock();
    PrefixLock(const PrefixLock&) = delete;
    PrefixLock& operator=(const PrefixLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace tw::wine
