#include "WineFiles.h"

#include "FolderReader.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace tw::wine {

using namespace tw::win;
using platform::FileStream;
using platform::FindData;

namespace {

FILETIME toFileTime(const struct timespec& ts)
{
    return TICKS_1601_TO_1970 + static_cast<FILETIME>(ts.tv_sec) * TICKS_PER_SECOND +
           static_cast<FILETIME>(ts.tv_nsec / 100);
}

platform::FileId idOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

/// The DOS attributes Wine keeps in an extended attribute ("0x22"), as its ntdll reads
/// them: only hidden and system count; other text gives none.
DWORD dosAttributesFrom(char* text, ssize_t length);

DWORD dosAttributesOf(const char* hostPath)
{
    char text[65];
    return dosAttributesFrom(text, ::getxattr(hostPath, "user.DOSATTRIB", text, sizeof text - 1));
}

DWORD dosAttributesOf(int fd)
{
    char text[65];
    return dosAttributesFrom(text, ::fgetxattr(fd, "user.DOSATTRIB", text, sizeof text - 1));
}

/// Parses the attribute's text (`length` bytes read into `text`, which has room for one more).
DWORD dosAttributesFrom(char* text, ssize_t length)
{
    if (length <= 2 || text[0] != '0' || text[1] != 'x' ||
        !std::isxdigit(static_cast<unsigned char>(text[2])))
        return 0;
    text[length] = '\0';
    char* end = nullptr;
    const unsigned long value = std::strtoul(text + 2, &end, 16);
    if (*end != '\0')
        return 0;
    return static_cast<DWORD>(value) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

/// The attribute word Wine reports for a file or folder of this mode and name, without the
/// flags of its extended attribute: its type, read-only when the owner may not write, hidden
/// for a name with a leading dot.
DWORD attributesOf(unsigned mode, std::string_view name)
{
    DWORD attributes = S_ISDIR(mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (name.size() > 1 && name.front() == '.' && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

bool matchFrom(const std::u16string& name, size_t n, const std::u16string& pattern, size_t p)
{
    while (p < pattern.size()) {
        const char16_t pc = pattern[p];
        if (pc == u'*') {
            while (p < pattern.size() && pattern[p] == u'*')
                ++p;
            if (p == pattern.size())
                return true;
            for (size_t i = n; i <= name.size(); ++i) {
                if (matchFrom(name, i, pattern, p))
                    return true;
            }
            return false;
        }
        if (n == name.size())
            return false;
        if (pc != u'?' && platform::foldCase(pc) != platform::foldCase(name[n]))
            return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

/// The birth time where the file system keeps one, else the last write time.
FILETIME creationTimeOf(const std::string& path, FILETIME fallback)
{
    struct statx sx;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME))
        return TICKS_1601_TO_1970 + static_cast<FILETIME>(sx.stx_btime.tv_sec) * TICKS_PER_SECOND +
               sx.stx_btime.tv_nsec / 100;
    return fallback;
}

class ListedFind final : public platform::FileFind
{
public:
    ListedFind(std::string hostFolder, std::vector<FindData> entries)
        : m_hostFolder(std::move(hostFolder)), m_entries(std::move(entries))
    {
    }
    const FindData& current() const override { return m_entries[m_index]; }
    FILETIME creationTime() const override
    {
        const FindData& entry = m_entries[m_index];
        return creationTimeOf(m_hostFolder + "/" + entry.name, entry.lastWriteTime);
    }
    bool next() override
    {
        if (m_index + 1 >= m_entries.size())
            return false;
        ++m_index;
        return true;
    }

private:
    std::string m_hostFolder;
    std::vector<FindData> m_entries;
    size_t m_index = 0;
};

class HostFileStream final : public FileStream
{
public:
    HostFileStream(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~HostFileStream() override { ::close(m_fd); }

    std::int64_t read(void* buffer, std::int64_t size) override
    {
        ssize_t n;
        do {
            n = ::read(m_fd, buffer, static_cast<size_t>(size));
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throw std::runtime_error("Cannot read " + m_path);
        return n;
    }
    void write(const void* buffer, std::int64_t size) override
    {
        const char* p = static_cast<const char*>(buffer);
        while (size > 0) {
            const ssize_t n = ::write(m_fd, p, static_cast<size_t>(size));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw std::runtime_error("Cannot write " + m_path);
            }
            p += n;
            size -= n;
        }
    }
    std::int64_t seek(std::int64_t offset, int whence) override
    {
        return ::lseek(m_fd, offset, whence);
    }
    std::int64_t size() const override
    {
        struct stat st;
        return ::fstat(m_fd, &st) == 0 ? st.st_size : -1;
    }

private:
    int m_fd;
    std::string m_path;
};


char driveLetterOf(std::string_view root)
{
    if (root.size() >= 2 && root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0])))
        return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    return 0;
}

} // namespace

bool matchesWildcard(std::string_view name, std::string_view pattern)
{
    if (pattern == "*.*")
        pattern = "*";
    return matchFrom(platform::utf8ToUtf16(name), 0, platform::utf8ToUtf16(pattern), 0);
}

WineFiles::WineFiles(WinePathMapper& paths, platform::Registry& registry)
    : m_paths(paths), m_registry(registry)
{
}

std::unique_ptr<platform::FileFind> WineFiles::findFirstFile(std::string_view pattern,
                                                             platform::FindDetail detail)
{
    const size_t sep = pattern.find_last_of("\\/");
    if (sep == std::string_view::npos)
        return nullptr;
    const std::string_view folder = pattern.substr(0, sep + 1);
    const std::string_view mask = pattern.substr(sep + 1);
    const bool everything = mask == "*" || mask == "*.*";
    const std::optional<std::string> host = m_paths.toHost(folder);
    if (!host)
        return nullptr;
    const std::optional<std::string> driveRoot = m_paths.driveRoot(folder[0]);
    const std::optional<platform::FileId> rootId =
        driveRoot ? driveRootId(folder[0], *driveRoot) : std::nullopt;
    if (!rootId)
        return nullptr;

    // A folder the path lookups have read already is not read again.
    std::vector<std::pair<std::string, unsigned char>> listedBefore;
    const bool readBefore = m_paths.listedEntries(*host, listedBefore);
    std::unique_ptr<FolderReader> dir;
    if (!readBefore) {
        dir = std::make_unique<FolderReader>(*host);
        if (!dir->isOpen())
            return nullptr;
    }
    // One system call per entry: each is looked at relative to the open folder, or by its
    // full path when the folder was not opened.
    const int dirFd = dir ? dir->fd() : AT_FDCWD;
    FolderFacts self;
    if (const FolderFacts* known = knownFolder(*host)) {
        self = *known;
    } else {
        struct stat folderSt;
        if (dir ? ::fstat(dirFd, &folderSt) != 0 : ::stat(host->c_str(), &folderSt) != 0)
            return nullptr;
        self = {folderSt.st_mode, idOf(folderSt), folderSt.st_mtim,
                dir ? dosAttributesOf(dirFd) : dosAttributesOf(host->c_str()), *host == *driveRoot};
        rememberFolder(*host, self);
    }
    const bool isRoot = self.id == *rootId;
    // The folder above, when this one was reached without links and it was read already.
    const FolderFacts* parent = nullptr;
    if (self.physical && !isRoot) {
        const size_t slash = host->rfind('/');
        parent = knownFolder(std::string_view(*host).substr(0, slash == 0 ? 1 : slash));
    }
    const auto listedFolder = [](std::string_view name, const FolderFacts& facts) {
        FindData data;
        data.name = name;
        data.attributes = attributesOf(facts.mode, name) | facts.dosAttributes;
        data.lastWriteTime = toFileTime(facts.changed);
        data.id = facts.id;
        return data;
    };
    struct Listed
    {
        /// The name folded to lower case, so that names compare as Wine compares them.
        std::u16string key;
        FindData data;
    };
    std::vector<Listed> entries;
    // While caching, what is read here spares the path lookups below reading it again.
    const bool remember = !readBefore && m_paths.wantsListing(*host);
    std::vector<std::pair<std::string, unsigned char>> read;
    size_t nextListed = 0;
    const auto nextEntry = [&]() -> std::optional<std::pair<std::string_view, unsigned char>> {
        if (readBefore) {
            if (nextListed == listedBefore.size())
                return std::nullopt;
            const auto& [name, type] = listedBefore[nextListed++];
            return std::pair<std::string_view, unsigned char>(name, type);
        }
        std::string_view name;
        unsigned char type = 0;
        if (!dir->next(name, type))
            return std::nullopt;
        return std::pair<std::string_view, unsigned char>(name, type);
    };
    std::string full;
    while (const auto entry = nextEntry()) {
        const auto [name, type] = *entry;
        if (remember)
            read.emplace_back(name, type);
        const bool dots = name == "." || name == "..";
        if (isRoot && dots)
            continue;
        // A name Windows cannot hold is never handed out: made into a path it would name
        // something else.
        if (!dots && !isWindowsFileName(name))
            continue;
        if (!everything && !matchesWildcard(name, mask))
            continue;
        if (detail == platform::FindDetail::FolderDetails && type == DT_REG) {
            Listed listed;
            listed.data.name = name;
            listed.data.attributes = FILE_ATTRIBUTE_ARCHIVE;
            if (name.front() == '.')
                listed.data.attributes |= FILE_ATTRIBUTE_HIDDEN;
            listed.key = platform::foldedName(name);
            entries.push_back(std::move(listed));
            continue;
        }
        if (name == "." || (name == ".." && parent)) {
            // The open folder itself and the one above: known without looking again.
            Listed listed;
            listed.data = listedFolder(name, name == "." ? self : *parent);
            entries.push_back(std::move(listed));
            continue;
        }
        full.assign(*host).append("/").append(name);
        struct stat st;
        if (::fstatat(dirFd, dir ? full.c_str() + host->size() + 1 : full.c_str(), &st,
                      AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const bool link = S_ISLNK(st.st_mode);
        if (link) {
            // A walk never leaves its drive through a link (user folders point into $HOME).
            const std::optional<std::string> target = resolvedPath(full);
            if (!target || !WinePathMapper::isInside(*target, *driveRoot) ||
                ::stat(full.c_str(), &st) != 0)
                continue;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;
        Listed listed;
        FindData& data = listed.data;
        data.name = name;
        const DWORD dosAttributes = dosAttributesOf(full.c_str());
        data.attributes = attributesOf(st.st_mode, name) | dosAttributes;
        if (S_ISDIR(st.st_mode) && !dots)
            rememberFolder(
                full, {st.st_mode, idOf(st), st.st_mtim, dosAttributes, self.physical && !link});
        // Wine reports a link to a folder as a reparse point.
        if (link && S_ISDIR(st.st_mode))
            data.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        data.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
        data.lastWriteTime = toFileTime(st.st_mtim);
        data.id = idOf(st);
        if (!dots)
            listed.key = platform::foldedName(name);
        entries.push_back(std::move(listed));
    }
    if (remember)
        m_paths.rememberListing(*host, self.changed, std::move(read));
    if (entries.empty())
        return nullptr;
    // Directory order on Linux is arbitrary; Wine's is too, but a stable one serves users.
    std::stable_sort(entries.begin(), entries.end(), [](const Listed& a, const Listed& b) {
        const bool aDot = a.key.empty();
        const bool bDot = b.key.empty();
        if (aDot != bDot)
            return aDot;
        if (aDot)
            return a.data.name.size() < b.data.name.size();
        return a.key < b.key;
    });
    std::vector<FindData> found;
    found.reserve(entries.size());
    for (Listed& listed : entries)
        found.push_back(std::move(listed.data));
    return std::make_unique<ListedFind>(*host, std::move(found));
}

void WineFiles::beginQueryCache()
{
    if (m_cacheDepth++ == 0)
        m_paths.setCaching(true);
}

void WineFiles::endQueryCache()
{
    if (m_cacheDepth > 0 && --m_cacheDepth == 0) {
        m_lastKind.known = false;
        m_answers.clear();
        m_folderFacts.clear();
        m_rootIds.clear();
        m_paths.setCaching(false);
    }
}

void WineFiles::changing()
{
    if (m_cacheDepth > 0) {
        m_lastKind.known = false;
        m_answers.clear();
        m_folderFacts.clear();
        m_rootIds.clear();
        m_paths.forgetCached();
    }
}

const WineFiles::FolderFacts* WineFiles::knownFolder(std::string_view hostPath) const
{
    if (m_cacheDepth == 0)
        return nullptr;
    const auto known = m_folderFacts.find(hostPath);
    return known == m_folderFacts.end() ? nullptr : &known->second;
}

void WineFiles::rememberFolder(const std::string& hostPath, const FolderFacts& facts)
{
    if (m_cacheDepth > 0)
        m_folderFacts.insert_or_assign(hostPath, facts);
}

std::optional<platform::FileId> WineFiles::driveRootId(char letter, const std::string& root)
{
    if (m_cacheDepth > 0) {
        const auto known = m_rootIds.find(letter);
        if (known != m_rootIds.end())
            return known->second;
    }
    struct stat st;
    if (::stat(root.c_str(), &st) != 0)
        return std::nullopt;
    if (m_cacheDepth > 0)
        m_rootIds.emplace(letter, idOf(st));
    return idOf(st);
}

const WineFiles::PathAnswer& WineFiles::lookUp(std::string_view path)
{
    PathAnswer* answer = &m_uncached;
    if (m_cacheDepth > 0) {
        auto [it, added] = m_answers.try_emplace(std::string(path));
        if (!added && it->second.complete)
            return it->second;
        answer = &it->second;
    }
    *answer = PathAnswer();
    answer->complete = true;
    const std::optional<std::string> host = m_paths.toHost(path);
    struct stat st;
    if (host && ::stat(host->c_str(), &st) == 0) {
        const size_t sep = host->rfind('/');
        answer->attributes = attributesOf(st.st_mode, std::string_view(*host).substr(sep + 1)) |
                             dosAttributesOf(host->c_str());
        answer->id = idOf(st);
    }
    return *answer;
}

WineFiles::PathAnswer WineFiles::kindOf(std::string_view path)
{
    if (m_cacheDepth == 0)
        return lookUp(path);
    // Scans ask about one path several times in a row (a file? a folder? the program?).
    if (m_lastKind.known && m_lastKind.path == path)
        return m_lastKind.answer;
    m_lastKind.answer = listedKind(path);
    m_lastKind.path.assign(path);
    m_lastKind.known = true;
    return m_lastKind.answer;
}

WineFiles::PathAnswer WineFiles::listedKind(std::string_view path)
{
    // The listing of the folder tells a file from a folder (and is the cache of it); links
    // and unknown types need a stat.
    const std::optional<int> type = m_paths.listedType(path);
    if (!type)
        return PathAnswer();
    if (*type < 0)
        return lookUp(path);
    PathAnswer answer;
    if (*type > 0)
        answer.attributes = *type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    return answer;
}

DWORD WineFiles::fileAttributes(std::string_view path)
{
    return lookUp(path).attributes;
}

std::optional<platform::FileId> WineFiles::fileId(std::string_view path)
{
    const PathAnswer& answer = lookUp(path);
    if (answer.attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return answer.id;
}

bool WineFiles::fileExists(std::string_view path)
{
    const DWORD attributes = kindOf(path).attributes;
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WineFiles::directoryExists(std::string_view path)
{
    const DWORD attributes = kindOf(path).attributes;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WineFiles::noteFailure(bool ok)
{
    if (!ok) {
        m_lastErrno = errno ? errno : ENOENT;
        m_lastLeftDrive = false;
    }
    return ok;
}

std::optional<HeldFolder> WineFiles::holdFolderOf(std::string_view path)
{
    if (m_writesRefused) {
        errno = EROFS;
        noteFailure(false);
        return std::nullopt;
    }
    HeldFolder::Failure failure;
    std::optional<HeldFolder> folder = m_paths.holdFolderOf(path, failure);
    if (!folder) {
        errno = failure.error;
        noteFailure(false);
        m_lastLeftDrive = failure.leavesDrive;
    }
    return folder;
}

bool WineFiles::createDirectory(std::string_view path)
{
    const ChangeScope change{*this};
    const std::optional<HeldFolder> folder = holdFolderOf(path);
    return folder && noteFailure(::mkdirat(folder->fd(), folder->name().c_str(), 0755) == 0);
}

bool WineFiles::removeDirectory(std::string_view path)
{
    const ChangeScope change{*this};
    const std::optional<HeldFolder> folder = holdFolderOf(path);
    if (!folder)
        return false;
    struct stat st;
    if (::fstatat(folder->fd(), folder->name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return noteFailure(false);
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return noteFailure(false);
    }
    return noteFailure(::unlinkat(folder->fd(), folder->name().c_str(), AT_REMOVEDIR) == 0);
}

bool WineFiles::deleteFile(std::string_view path)
{
    const ChangeScope change{*this};
    const std::optional<HeldFolder> folder = holdFolderOf(path);
    if (!folder)
        return false;
    struct stat st;
    if (::fstatat(folder->fd(), folder->name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return noteFailure(false);
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return noteFailure(false);
    }
    // DeleteFile refuses a read-only file, as Windows and Wine do (root could unlink it).
    if (attributesOf(st.st_mode, "") & FILE_ATTRIBUTE_READONLY) {
        errno = EACCES;
        return noteFailure(false);
    }
    return noteFailure(::unlinkat(folder->fd(), folder->name().c_str(), 0) == 0);
}

bool WineFiles::moveFile(std::string_view from, std::string_view to, bool replaceExisting)
{
    const ChangeScope change{*this};
    const std::optional<HeldFolder> source = holdFolderOf(from);
    if (!source)
        return false;
    const std::optional<HeldFolder> target = holdFolderOf(to);
    if (!target)
        return false;
    return noteFailure(::renameat2(source->fd(), source->name().c_str(), target->fd(),
                                   target->name().c_str(),
                                   replaceExisting ? 0 : RENAME_NOREPLACE) == 0);
}

std::unique_ptr<FileStream> WineFiles::openFile(std::string_view path, FileStream::Mode mode)
{
    if (mode == FileStream::Mode::Read) {
        const std::optional<std::string> host = m_paths.toHost(path);
        errno = ENOENT;
        const int fd = host ? ::open(host->c_str(), O_RDONLY | O_CLOEXEC) : -1;
        if (!noteFailure(fd >= 0))
            return nullptr;
        return std::make_unique<HostFileStream>(fd, *host);
    }
    // Written only through the folder reached inside the drive, and never through a link.
    const ChangeScope change{*this};
    const std::optional<HeldFolder> folder = holdFolderOf(path);
    if (!folder)
        return nullptr;
    int flags = O_CLOEXEC | O_NOFOLLOW | O_RDWR;
    if (mode == FileStream::Mode::Create)
        flags |= O_CREAT | O_TRUNC;
    else if (mode == FileStream::Mode::CreateNew)
        flags |= O_CREAT | O_EXCL;
    const int fd = ::openat(folder->fd(), folder->name().c_str(), flags, 0644);
    if (!noteFailure(fd >= 0))
        return nullptr;
    return std::make_unique<HostFileStream>(fd, folder->currentPath());
}

std::string WineFiles::registeredDriveType(char letter) const
{
    platform::KeyHandle drives(m_registry);
    if (m_registry.openKey(HKEY_LOCAL_MACHINE, "Software\\Wine\\Drives", KEY_QUERY_VALUE,
                           drives.out()) != ERROR_SUCCESS)
        return {};
    const char name[] = {static_cast<char>(std::tolower(static_cast<unsigned char>(letter))), ':',
                         '\0'};
    DWORD type = 0;
    std::string text;
    if (m_registry.queryValue(drives.get(), name, &type, &text) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    text = text.substr(0, text.find('\0'));
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

UINT WineFiles::driveType(std::string_view root)
{
    const char letter = driveLetterOf(root);
    if (!letter)
        return DRIVE_NO_ROOT_DIR;
    const std::optional<std::string> host = m_paths.driveRoot(letter);
    if (!host)
        return DRIVE_NO_ROOT_DIR;
    const std::string registered = registeredDriveType(letter);
    if (registered == "floppy")
        return DRIVE_REMOVABLE;
    if (registered == "cdrom")
        return DRIVE_CDROM;
    if (registered == "ramdisk")
        return DRIVE_RAMDISK;
    if (registered == "network")
        return DRIVE_REMOTE;
    // Anything outside the prefix is the host's own: treat it as a network share.
    return m_paths.isInsidePrefix(*host) ? DRIVE_FIXED : DRIVE_REMOTE;
}

std::optional<platform::DiskSpace> WineFiles::diskFreeSpace(std::string_view root)
{
    const char letter = driveLetterOf(root);
    const std::optional<std::string> host = letter ? m_paths.driveRoot(letter) : std::nullopt;
    struct statvfs vfs;
    if (!host || ::statvfs(host->c_str(), &vfs) != 0)
        return std::nullopt;
    platform::DiskSpace space;
    space.total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    space.totalFree = static_cast<std::uint64_t>(vfs.f_bfree) * vfs.f_frsize;
    space.freeToCaller = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return space;
}

std::string WineFiles::driveDisplayName(std::string_view root)
{
    const char letter = driveLetterOf(root);
    if (!letter)
        return std::string(root);
    const std::string suffix = std::string(" (") + letter + ":)";
    if (const std::optional<std::string> host = m_paths.driveRoot(letter)) {
        std::ifstream labelFile(*host + "/.windows-label");
        std::string label;
        if (labelFile && std::getline(labelFile, label) && !label.empty())
            return label + suffix;
    }
    return platform::driveKindName(letter, driveType(root));
}

std::string WineFiles::lastErrorText()
{
    if (m_lastLeftDrive)
        return "A folder on the way is a link that leads out of its drive";
    return m_lastErrno ? std::string(std::strerror(m_lastErrno)) : std::string();
}

std::optional<std::string> WineFiles::dosFileName(std::string_view hostPath)
{
    return m_paths.toWindows(std::string(hostPath));
}

std::optional<std::string> WineFiles::unixFileName(std::string_view path)
{
    return m_paths.toHost(path);
}

} // namespace tw::wine
