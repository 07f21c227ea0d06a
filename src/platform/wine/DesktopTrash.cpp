#include "DesktopTrash.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
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
    struct stat st;
    if (path.empty() || path.front() != '/' || slash + 1 == path.size() ||
        ::lstat(path.c_str(), &st) != 0)
        return false;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = path.substr(slash + 1);
    const std::optional<std::string> trash = trashFor(folder, st.st_dev);
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
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool written = writeAll(fd, info);
        ::close(fd);
        if (!written) {
            ::unlink(infoFile.c_str());
            return false;
        }
        int moved = ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL)
            moved = ::rename(path.c_str(), target.c_str());
        if (moved == 0)
            return true;
        const int error = errno;
        ::unlink(infoFile.c_str());
        if (error != EEXIST)
            return false;
    }
    return false;
}

} // namespace tw::wine
