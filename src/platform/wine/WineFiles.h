// Files, folders and drives of a Wine prefix.
#pragma once

#include "WinePlatformOnly.h"

#include "WinePaths.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <ctime>
#include <unordered_map>

namespace tw::wine {

/// Files and drives through the prefix's drive links; drive types from its registry.
class WineFiles final : public platform::Files
{
public:
    WineFiles(WinePathMapper& paths, platform::Registry& registry);

    using platform::Files::findFirstFile;
    std::unique_ptr<platform::FileFind> findFirstFile(std::string_view pattern,
                                                      platform::FindDetail detail) override;
    win::DWORD fileAttributes(std::string_view path) override;
    std::optional<platform::FileId> fileId(std::string_view path) override;
    bool fileExists(std::string_view path) override;
    bool directoryExists(std::string_view path) override;
    bool createDirectory(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool removeDirectory(std::string_view path) override;
    /// From now on every change to a file or folder fails (a preview of the prefix).
    void refuseWrites() { m_writesRefused = true; }
    bool moveFile(std::string_view from, std::string_view to, bool replaceExisting) override;
    std::unique_ptr<platform::FileStream> openFile(std::string_view path,
                                                   platform::FileStream::Mode mode) override;
    win::UINT driveType(std::string_view root) override;
    std::optional<platform::DiskSpace> diskFreeSpace(std::string_view root) override;
    std::string driveDisplayName(std::string_view root) override;
    std::string lastErrorText() override;
    std::optional<std::string> dosFileName(std::string_view hostPath) override;
    std::optional<std::string> unixFileName(std::string_view path) override;

    void beginQueryCache() override;
    void endQueryCache() override;

    const WinePathMapper& paths() const { return m_paths; }

private:
    /// What is known of a path: its attribute word (INVALID_FILE_ATTRIBUTES when it does not
    /// exist) and identity, or, when not `complete`, only whether it is a folder.
    struct PathAnswer
    {
        win::DWORD attributes = win::INVALID_FILE_ATTRIBUTES;
        platform::FileId id;
        bool complete = false;
    };
    /// The full answer for a path (a stat), kept while a query cache is open.
    const PathAnswer& lookUp(std::string_view path);
    /// At least whether the path is a folder, a file or nothing, from the folder listings
    /// where they tell it.
    PathAnswer kindOf(std::string_view path);
    /// kindOf() while a query cache is open, without its memory of the last path.
    PathAnswer listedKind(std::string_view path);
    /// Forgets the cached answers: called by every change once it is made.
    void changing();
    struct ChangeScope
    {
        WineFiles& files;
        ~ChangeScope() { files.changing(); }
    };

    /// What a search learnt of a folder while a query cache is open: enough to give its "."
    /// entry, and, when it was reached from its drive's root without links (`physical`), the
    /// ".." entry of the folders in it.
    struct FolderFacts
    {
        unsigned mode = 0;
        platform::FileId id;
        struct timespec changed = {};
        win::DWORD dosAttributes = 0;
        bool physical = false;
    };
    /// The facts of the host folder `hostPath`, kept while a query cache is open; null when
    /// they are not known.
    const FolderFacts* knownFolder(std::string_view hostPath) const;
    void rememberFolder(const std::string& hostPath, const FolderFacts& facts);
    /// The identity of a drive's root folder (read once while a query cache is open).
    std::optional<platform::FileId> driveRootId(char letter, const std::string& root);

    /// The type Wine's registry gives the drive ("hd", "cdrom", ...), empty when none.
    std::string registeredDriveType(char letter) const;

    /// Keeps errno for lastErrorText when `ok` is false; returns `ok`.
    bool noteFailure(bool ok);
    /// The folder that holds `path`, held for a change; empty, with the failure noted, when
    /// writes are refused or it cannot be reached inside the path's drive.
    std::optional<HeldFolder> holdFolderOf(std::string_view path);

    WinePathMapper& m_paths;
    platform::Registry& m_registry;
    bool m_writesRefused = false;
    int m_cacheDepth = 0;
    TextMap<PathAnswer> m_answers;
    TextMap<FolderFacts> m_folderFacts;
    std::unordered_map<char, platform::FileId> m_rootIds;
    PathAnswer m_uncached;
    /// The path kindOf() answered last, and its answer, while a query cache is open.
    struct LastKind
    {
        bool known = false;
        std::string path;
        PathAnswer answer;
    };
    LastKind m_lastKind;
    int m_lastErrno = 0;
    /// The last failure was a link on the way that leads out of the drive.
    bool m_lastLeftDrive = false;
};

/// Windows' match of a file name against a pattern with * and ?, without regard to case.
bool matchesWildcard(std::string_view name, std::string_view pattern);

} // namespace tw::wine
