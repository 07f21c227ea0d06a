// The folder that holds a path, opened from its drive's root one name at a time, so that a
// change made through it never lands outside the drive.
#pragma once

#include "WinePlatformOnly.h"

#include <optional>
#include <string>

namespace tw::wine {

/// An open folder (O_PATH) and the name of an entry in it. Changes are made relative to the
/// folder (unlinkat, renameat2, openat with O_NOFOLLOW), so that a folder on the way that is
/// swapped for a link after the walk cannot redirect them.
class HeldFolder
{
public:
    /// Why opening failed: the errno of the failing call, or a link that leads out of the
    /// drive (`leavesDrive`, errno EXDEV).
    struct Failure
    {
        int error = 0;
        bool leavesDrive = false;
    };

    /// Opens the folder that holds `hostPath`, which must lie under `driveRoot` (a resolved
    /// drive root), walking down from the root without letting the kernel follow a link. A
    /// link on the way counts only when the place it leads to lies inside the drive; that
    /// place is then walked from the root by its names. The last name is not looked at.
    /// Empty, with `failure` set, when the folder cannot be reached that way.
    static std::optional<HeldFolder> open(const std::string& hostPath, const std::string& driveRoot,
                                          Failure& failure);

    HeldFolder(HeldFolder&& other) noexcept;
    HeldFolder& operator=(HeldFolder&& other) noexcept;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder();

    int fd() const { return m_fd; }
    /// The entry's name in the folder.
    const std::string& name() const { return m_name; }
    /// A path of the entry that leads through the open folder itself (/proc/self/fd/N/name),
    /// for calls that take a path; valid while this object lives.
    std::string pinnedPath() const;
    /// Where the folder is now (resolved), with the entry's name.
    std::string currentPath() const;

private:
    HeldFolder(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}

    int m_fd = -1;
    std::string m_name;
};

} // namespace tw::wine
