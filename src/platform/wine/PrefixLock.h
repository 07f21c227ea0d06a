// The lock that Tidewell's own writers of a prefix take, so that their saves and the
// repair of an interrupted save run one at a time.
#pragma once

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

    /// Takes the lock on "<prefix>/.tidewell.lock", waiting for another holder. Throws
    /// std::runtime_error when the lock cannot be had.
    PrefixLock(const std::string& prefixDir, Mode mode);
    ~PrefixLock();
    PrefixLock(const PrefixLock&) = delete;
    PrefixLock& operator=(const PrefixLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace tw::wine
