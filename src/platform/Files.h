// Files, folders and drives as the Win32 file functions present them (Windows paths).
#pragma once

#include "WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tw::platform {

/// Which file or folder a path names, as GetFileInformationByHandle tells it: the volume's
/// serial number and the file's index on it. Paths through links to one folder share it.
struct FileId
{
    std::uint64_t volumeSerial = 0;
    std::uint64_t fileIndex = 0;

    bool operator==(const FileId&) const = default;
};

/// One entry that FindFirstFile/FindNextFile report.
struct FindData
{
    win::DWORD attributes = 0;
    std::uint64_t size = 0;
    win::FILETIME lastWriteTime = 0;
    std::string name;
    /// The file or folder the entry names (for a link, the one it leads to).
    FileId id;
};

/// An open directory search (FindFirstFile .. FindClose); closing is the destructor.
class FileFind
{
public:
    virtual ~FileFind() = default;
    /// The entry found last.
    virtual const FindData& current() const = 0;
    /// FindNextFile: false when there are no more entries.
    virtual bool next() = 0;
    /// The creation time of the entry found last (read only when asked; the last write time
    /// where the file system keeps none).
    virtual win::FILETIME creationTime() const = 0;
};

/// How much a directory search reads of each entry.
enum class FindDetail
{
    /// Everything FindData holds.
    Full,
    /// Everything for folders and links; for a plain file only its name, with the archive
    /// attribute (hidden too for a leading dot), no size, time or id. For walks that look at
    /// file names and descend into folders: a file then costs no system call.
    FolderDetails,
};

/// A file opened for reading and/or writing, with 64-bit positions; closed by the destructor.
class FileStream
{
public:
    enum class Mode
    {
        Read,
        ReadWrite,
        /// CREATE_ALWAYS: a new file, or the existing one emptied; never through a link.
        Create,
        /// CREATE_NEW: a new file only; fails when anything, a link included, has the name.
        CreateNew
    };
    virtual ~FileStream() = default;
    /// Reads up to `size` bytes; returns how many were read (0 at the end).
    virtual std::int64_t read(void* buffer, std::int64_t size) = 0;
    /// Writes all bytes or throws std::runtime_error.
    virtual void write(const void* buffer, std::int64_t size) = 0;
    virtual std::int64_t seek(std::int64_t offset, int whence) = 0;
    virtual std::int64_t size() const = 0;
};

struct DiskSpace
{
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    std::uint64_t totalFree = 0;
};

/// File-system functions over Windows paths ("C:\windows\win.ini").
class Files
{
public:
    virtual ~Files() = default;

    /// FindFirstFile: `pattern` is a folder path and a name with * and ? wildcards.
    /// Returns null when nothing matches or the folder does not exist.
    virtual std::unique_ptr<FileFind> findFirstFile(std::string_view pattern,
                                                    FindDetail detail) = 0;
    std::unique_ptr<FileFind> findFirstFile(std::string_view pattern)
    {
        return findFirstFile(pattern, FindDetail::Full);
    }
    /// GetFileAttributes: INVALID_FILE_ATTRIBUTES when the path does not exist.
    virtual win::DWORD fileAttributes(std::string_view path) = 0;
    /// The identity of the file or folder at `path` (links followed); empty when it does not
    /// exist.
    virtual std::optional<FileId> fileId(std::string_view path) = 0;
    /// True for an existing file that is not a folder.
    virtual bool fileExists(std::string_view path) = 0;
    virtual bool directoryExists(std::string_view path) = 0;
    /// CreateDirectory: the parent must exist.
    virtual bool createDirectory(std::string_view path) = 0;
    /// DeleteFile: files only; a read-only file is refused.
    virtual bool deleteFile(std::string_view path) = 0;
    /// RemoveDirectory: an empty folder only.
    virtual bool removeDirectory(std::string_view path) = 0;
    /// MoveFileEx: renames a file; an existing `to` is replaced only with `replaceExisting`
    /// (MOVEFILE_REPLACE_EXISTING), otherwise the move fails and both files stay.
    virtual bool moveFile(std::string_view from, std::string_view to, bool replaceExisting) = 0;
    /// Opens or creates a file; null when that fails.
    virtual std::unique_ptr<FileStream> openFile(std::string_view path, FileStream::Mode mode) = 0;
    /// GetDriveType of a root such as "C:\".
    virtual win::UINT driveType(std::string_view root) = 0;
    /// GetDiskFreeSpaceEx of a root.
    virtual std::optional<DiskSpace> diskFreeSpace(std::string_view root) = 0;
    /// The shell's display name of a drive root, such as "Local Disk (C:)".
    virtual std::string driveDisplayName(std::string_view root) = 0;
    /// The system's text for why the last failed openFile, createDirectory, deleteFile or
    /// moveFile of this object failed (GetLastError and FormatMessage); empty when none did.
    virtual std::string lastErrorText() = 0;
    /// The path a host file-system path has here (wine_get_dos_file_name), for paths a
    /// desktop dialog hands out; empty when it lies on none of the drives.
    virtual std::optional<std::string> dosFileName(std::string_view hostPath) = 0;
    /// The host file-system path of a path (wine_get_unix_file_name); empty when it has none.
    virtual std::optional<std::string> unixFileName(std::string_view path) = 0;

    /// Begins a span (a scan) in which a question about a path asked again is answered from
    /// what was found before, and folders are read once; any change made through this object
    /// forgets it all. Spans nest; endQueryCache() ends the innermost one.
    virtual void beginQueryCache() = 0;
    virtual void endQueryCache() = 0;
};

/// Answers about paths reused while the object lives (see Files::beginQueryCache).
class FileQueryCache
{
public:
    explicit FileQueryCache(Files& files) : m_files(files) { m_files.beginQueryCache(); }
    ~FileQueryCache() { m_files.endQueryCache(); }
    FileQueryCache(const FileQueryCache&) = delete;
    FileQueryCache& operator=(const FileQueryCache&) = delete;

private:
    Files& m_files;
};

/// What a drive without a volume label is called by its kind, as the shell names it:
/// "Local Disk (C:)", "Network Drive (Z:)", ...
std::string driveKindName(char letter, win::UINT driveType);

} // namespace tw::platform

template <> struct std::hash<tw::platform::FileId>
{
    std::size_t operator()(const tw::platform::FileId& id) const noexcept
    {
        return std::hash<std::uint64_t>()(id.fileIndex * 0x9E3779B97F4A7C15ULL ^ id.volumeSerial);
    }
};
