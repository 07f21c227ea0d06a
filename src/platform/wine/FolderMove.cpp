#include "FolderMove.h"

#include "WinePaths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace tw::wine {

namespace fs = std::filesystem;

std::string numberedName(const std::string& name, int n, bool isFolder)
{
    const std::string number = " (" + std::to_string(n) + ")";
    const size_t dot = name.rfind('.');
    if (isFolder || dot == std::string::npos || dot == 0)
        return name + number;
    return name.substr(0, dot) + number + name.substr(dot);
}

namespace {

enum class Placed
{
    Done,
    Taken,
    Failed
};

/// Copies a file or folder to `target`, which must not exist, keeping modes and times.
bool copyTree(const fs::path& source, const fs::path& target)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(source))) {
        if (!fs::create_directory(target, ec) || ec)
            return false;
        fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    } else {
        fs::copy(source, target, fs::copy_options::copy_symlinks, ec);
    }
    if (ec)
        return false;
    // Keep the times, as a move on one file system does.
    auto keepTime = [](const fs::path& from, const fs::path& to) {
        std::error_code ignored;
        if (!fs::is_symlink(fs::symlink_status(from)))
            fs::last_write_time(to, fs::last_write_time(from, ignored), ignored);
    };
    if (fs::is_directory(fs::symlink_status(source))) {
        for (auto it = fs::recursive_directory_iterator(source, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            keepTime(it->path(), target / fs::relative(it->path(), source, ec));
    }
    keepTime(source, target);
    return true;
}

Placed placeAt(const std::string& source, const std::string& target)
{
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return Placed::Done;
    if (errno == EEXIST)
        return Placed::Taken;
    if (errno == EINVAL) {
        // A file system without RENAME_NOREPLACE.
        struct stat st;
        if (::lstat(target.c_str(), &st) == 0)
            return Placed::Taken;
        return ::rename(source.c_str(), target.c_str()) == 0 ? Placed::Done : Placed::Failed;
    }
    if (errno != EXDEV)
        return Placed::Failed;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0)
        return Placed::Taken;
    if (!copyTree(source, target)) {
        std::error_code ec;
        fs::remove_all(target, ec);
        return Placed::Failed;
    }
    std::error_code ec;
    fs::remove_all(source, ec);
    // The copy stays where it is: the files are kept, but the move did not finish.
    return ec ? Placed::Failed : Placed::Done;
}

} // namespace

bool moveIntoFolder(const std::string& source, const std::string& folder)
{
    std::string path = source;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st;
    struct stat folderStat;
    if (::lstat(path.c_str(), &st) != 0 || ::stat(folder.c_str(), &folderStat) != 0 ||
        !S_ISDIR(folderStat.st_mode))
        return false;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size())
        return false;
    const std::string name = path.substr(slash + 1);
    const std::optional<std::string> realFolder = resolvedPath(folder);
    const std::optional<std::string> realParent = resolvedPath(slash ? path.substr(0, slash) : "/");
    // Moving a file into the folder it is in already is refused, as Windows does.
    if (!realFolder || !realParent || *realParent == *realFolder)
        return false;
    // A folder never goes into itself.
    const std::string realSource = *realParent + (*realParent == "/" ? "" : "/") + name;
    if (S_ISDIR(st.st_mode) && WinePathMapper::isInside(*realFolder, realSource))
        return false;

    const std::string base = *realFolder == "/" ? std::string() : *realFolder;
    for (int n = 1; n < 10000; ++n) {
        const std::string target =
            base + "/" + (n == 1 ? name : numberedName(name, n, S_ISDIR(st.st_mode)));
        switch (placeAt(path, target)) {
        case Placed::Done:
            return true;
        case Placed::Failed:
            return false;
        case Placed::Taken:
            break;
        }
    }
    return false;
}

} // namespace tw::wine
