#include "DesktopTrash.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::wine {

std::string trashInfoPath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(hex[byte >> 4]);
            encoded.push_back(hex[byte & 15]);
        }
    }
    return encoded;
}

namespace {

bool isDirectory(const std::string& path, struct stat* st = nullptr)
{
    struct stat own;
    struct stat& s = st ? *st : own;
    return ::lstat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

/// Makes the folder (0700) unless it is there; true when it is a folder, not a link.
bool ensureFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return isDirectory(path);
}

/// Makes the folder and the missing ones above it.
bool ensureFolderPath(const std::string& path)
{
    if (path.empty() || isDirectory(path))
        return !path.empty();
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ensureFolderPath(path.substr(0, slash)))
        return false;
    return ensureFolder(path);
}

std::string dataHome()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    std::string dir = home && home[0] == '/' ? home : "";
    if (dir.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()))
            dir = entry->pw_dir ? entry->pw_dir : "";
    }
    return dir.empty() ? std::string() : dir + "/.local/share";
}

/// A trash folder with its files/ and info/ made; empty when it cannot be used.
std::optional<std::string> usableTrash(const std::string& trash)
{
    if (!ensureFolder(trash) || !ensureFolder(trash + "/files") || !ensureFolder(trash + "/info"))
        return std::nullopt;
    return trash;
}

/// The top folder of the file system that holds `folder`.
std::string topDirectory(const std::string& folder, dev_t device)
{
    std::string top = folder;
    while (top != "/") {
        const size_t slash = top.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : top.substr(0, slash);
        struct stat st;
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

std::optional<std::string> trashFor(const std::string& folder, dev_t device)
{
    const std::string home = dataHome();
    if (!home.empty() && ensureFolderPath(home)) {
        struct stat st;
        if (::stat(home.c_str(), &st) == 0 && st.st_dev == device)
            return usableTrash(home + "/Trash");
    }
    const std::string top = topDirectory(folder, device);
    const std::string base = top == "/" ? std::string() : top;
    const std::string uid = std::to_string(::getuid());
    // An administrator's $topdir/.Trash: a folder with the sticky bit, not a link.
    struct stat shared;
    if (isDirectory(base + "/.Trash", &shared) && (shared.st_mode & S_ISVTX)) {
        if (std::optional<std::string> trash = usableTrash(base + "/.Trash/" + uid))
            return trash;
    }
    struct stat own;
    const std::string mine = base + "/.Trash-" + uid;
    if (::mkdir(mine.c_str(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!isDirectory(mine, &own) || own.st_uid != ::getuid())
        return std::nullopt;
    return usableTrash(mine);
}

std::optional<std::string> resolvedPathOfFd(int fd)
{
    char resolved[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    if (!::realpath(link.c_str(), resolved))
        return std::nullopt;
    return std::string(resolved);
}

std::string deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool moveToDesktopTrash(const std::string& hostPath)
{
    std::string path = hostPath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    if (path.empty() || path.front() != '/' || slash + 1 == path.size())
        return false;
    const int folder =
        ::open(slash == 0 ? "/" : path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    const bool moved = moveToDesktopTrash(folder, path.substr(slash + 1));
    ::close(folder);
    return moved;
}

bool moveToDesktopTrash(int folderFd, const std::string& name)
{
    struct stat st;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    // Where the folder is now, as the information file records it.
    const std::optional<std::string> folder = resolvedPathOfFd(folderFd);
    if (!folder)
        return false;
    const std::string path = (*folder == "/" ? std::string() : *folder) + "/" + name;
    const std::optional<std::string> trash = trashFor(*folder, st.st_dev);
    if (!trash)
        return false;

    const std::string info =
        "[Trash Info]\nPath=" + trashInfoPath(path) + "\nDeletionDate=" + deletionDate() + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string trashedName = n == 1 ? name : name + "." + std::to_string(n);
        const std::string infoFile = *trash + "/info/" + trashedName + ".trashinfo";
        const std::string target = *trash + "/files/" + trashedName;
        struct stat taken;
        if (::lstat(target.c_str(), &taken) == 0)
            continue;
        // The information file comes first, made exclusively: it reserves the name.
        const int fd =
            ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool written = writeAll(fd, info);
        ::close(fd);
        if (!written) {
            const int error = errno;
            ::unlink(infoFile.c_str());
            errno = error;
            return false;
        }
        int moved = ::renameat2(folderFd, name.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL)
            moved = ::renameat(folderFd, name.c_str(), AT_FDCWD, target.c_str());
        if (moved == 0)
            return true;
        const int error = errno;
        ::unlink(infoFile.c_str());
        errno = error;
        if (error != EEXIST)
            return false;
    }
    return false;
}

} // namespace tw::wine

namespace tw::wine {

std::string decodedTrashInfoPath(const std::string& value)
{
    std::string decoded;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() &&
            std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
            decoded.push_back(static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            decoded.push_back(value[i]);
        }
    }
    return decoded;
}

namespace {

/// The path with "." and ".." and doubled slashes taken out, without looking at the disk.
std::string lexicallyNormal(const std::string& path)
{
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

bool lexicallyInside(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder == "/" || path[folder.size()] == '/');
}

/// False when the folder that held `original` still exists but lies, links resolved, outside
/// every root: the item came there through a link and is not the roots' own.
bool parentStaysInside(const std::string& original, const std::vector<std::string>& roots)
{
    const size_t slash = original.rfind('/');
    char resolved[PATH_MAX];
    if (slash == std::string::npos ||
        !::realpath(slash == 0 ? "/" : original.substr(0, slash).c_str(), resolved))
        return true;
    const std::string folder = resolved;
    for (const std::string& root : roots) {
        if (folder == root || lexicallyInside(folder, root))
            return true;
    }
    return false;
}

/// The Path key of a .trashinfo file; empty when it has none.
std::string pathKeyOf(const std::string& infoFile)
{
    std::ifstream in(infoFile);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[')
            inSection = line == "[Trash Info]";
        else if (inSection && line.rfind("Path=", 0) == 0)
            return decodedTrashInfoPath(line.substr(5));
    }
    return std::string();
}

/// The trashes that may hold files of `folder`: the home trash and the two at the top of
/// its file system.
std::vector<std::pair<std::string, std::string>> trashesFor(const std::string& folder)
{
    // Pairs of trash folder and the folder its relative Path keys start from.
    std::vector<std::pair<std::string, std::string>> trashes;
    const std::string home = dataHome();
    if (!home.empty())
        trashes.emplace_back(home + "/Trash", "/");
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
        const std::string top = topDirectory(folder, st.st_dev);
        const std::string base = top == "/" ? std::string() : top;
        const std::string uid = std::to_string(::getuid());
        trashes.emplace_back(base + "/.Trash/" + uid, top);
        trashes.emplace_back(base + "/.Trash-" + uid, top);
    }
    return trashes;
}

} // namespace

std::vector<TrashedItem> trashedItemsFrom(const std::vector<std::string>& folders)
{
    std::vector<std::string> roots;
    for (const std::string& folder : folders) {
        roots.push_back(lexicallyNormal(folder));
        char resolved[PATH_MAX];
        if (::realpath(folder.c_str(), resolved))
            roots.push_back(lexicallyNormal(resolved));
    }
    std::vector<TrashedItem> items;
    std::set<std::string> seenTrashes;
    for (const std::string& folder : folders) {
        for (const auto& [trash, top] : trashesFor(folder)) {
            char resolvedTrash[PATH_MAX];
            if (!::realpath(trash.c_str(), resolvedTrash) ||
                !seenTrashes.insert(resolvedTrash).second)
                continue;
            const std::string infoFolder = trash + "/info";
            DIR* dir = ::opendir(infoFolder.c_str());
            if (!dir)
                continue;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string file = entry->d_name;
                const std::string suffix = ".trashinfo";
                if (file.size() <= suffix.size() ||
                    file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
                    continue;
                std::string original = pathKeyOf(infoFolder + "/" + file);
                if (original.empty())
                    continue;
                if (original.front() != '/')
                    original = (top == "/" ? std::string() : top) + "/" + original;
                original = lexicallyNormal(original);
                bool inside = false;
                for (const std::string& root : roots)
                    inside = inside || lexicallyInside(original, root);
                if (!inside || !parentStaysInside(original, roots))
                    continue;
                const std::string name = file.substr(0, file.size() - suffix.size());
                items.push_back({original, trash + "/files/" + name, infoFolder + "/" + file});
            }
            ::closedir(dir);
        }
    }
    return items;
}

bool removeTrashedItem(const TrashedItem& item)
{
    std::error_code error;
    std::filesystem::remove_all(item.storedPath, error);
    struct stat st;
    if (error || ::lstat(item.storedPath.c_str(), &st) == 0)
        return false;
    return ::unlink(item.infoPath.c_str()) == 0 || errno == ENOENT;
}

} // namespace tw::wine

namespace tw::wine {

namespace {

/// A mount point as /proc/self/mountinfo writes it, its octal escapes (\040) decoded.
std::string decodedMountPoint(const std::string& field)
{
    std::string decoded;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            decoded.push_back(static_cast<char>((field[i + 1] - '0') * 64 +
                                                (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            decoded.push_back(field[i]);
        }
    }
    return decoded;
}

/// The mount points of this process's view of the file systems.
std::vector<std::string> mountPoints()
{
    std::vector<std::string> points;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // ID, parent ID, major:minor, root, then the mount point.
        size_t start = 0;
        for (int field = 0; field < 4 && start != std::string::npos; ++field) {
            start = line.find(' ', start);
            if (start != std::string::npos)
                ++start;
        }
        if (start == std::string::npos)
            continue;
        points.push_back(decodedMountPoint(line.substr(start, line.find(' ', start) - start)));
    }
    return points;
}

bool insideOrSame(const std::string& path, const std::vector<std::string>& roots)
{
    for (const std::string& root : roots) {
        if (path == root || lexicallyInside(path, root))
            return true;
    }
    return false;
}

} // namespace

std::vector<std::string> trashFoldersWithin(const std::vector<std::string>& roots)
{
    std::vector<std::string> tops = roots;
    for (const std::string& point : mountPoints()) {
        if (insideOrSame(point, roots))
            tops.push_back(point);
    }
    std::vector<std::string> candidates;
    if (const std::string home = dataHome(); !home.empty())
        candidates.push_back(home + "/Trash");
    const std::string uid = std::to_string(::getuid());
    for (const std::string& top : tops) {
        const std::string base = top == "/" ? std::string() : top;
        candidates.push_back(base + "/.Trash");
        candidates.push_back(base + "/.Trash-" + uid);
    }
    std::vector<std::string> found;
    std::set<std::string> seen;
    for (const std::string& candidate : candidates) {
        // Links are followed: what matters is the folder the scan would reach.
        struct stat st;
        char resolved[PATH_MAX];
        if (::stat(candidate.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            !::realpath(candidate.c_str(), resolved))
            continue;
        if (insideOrSame(resolved, roots) && seen.insert(resolved).second)
            found.push_back(resolved);
    }
    return found;
}

} // namespace tw::wine
