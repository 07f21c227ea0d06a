#include "FileBackup.h"

#include "platform/TempFile.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "scanner/sections/SectionText.h"

#include <functional>
#include <sstream>

namespace tw {

namespace {

constexpr const char* kIndexName = "index.txt";

std::string indexPath(const std::string& backupPath)
{
    return BackupFilesFolder(backupPath) + "\\" + kIndexName;
}

/// Writes `to` through a TempFile beside it that `produce` fills; an existing `to` (or a link
/// there) is replaced only with `replace`. False when anything fails; nothing is left then.
bool writeFile(const Session& session, const std::string& to, bool replace,
               const std::function<void(platform::FileStream&)>& produce)
{
    try {
        platform::TempFile out(session.files(), session.processes(), to);
        produce(out.stream());
        return out.moveTo(to, replace);
    } catch (const std::exception&) {
        return false;
    }
}

bool copyFile(const Session& session, const std::string& from, const std::string& to, bool replace)
{
    auto in = session.files().openFile(from, platform::FileStream::Mode::Read);
    if (!in)
        return false;
    return writeFile(session, to, replace, [&](platform::FileStream& out) {
        char buffer[64 * 1024];
        for (std::int64_t got; (got = in->read(buffer, sizeof buffer)) > 0;)
            out.write(buffer, got);
    });
}

std::string readAll(platform::Files& files, const std::string& path)
{
    auto in = files.openFile(path, platform::FileStream::Mode::Read);
    if (!in)
        return std::string();
    std::string text(static_cast<size_t>(in->size()), '\0');
    in->read(text.data(), static_cast<std::int64_t>(text.size()));
    return text;
}

/// One index line: "copy<TAB>original", with "<TAB>replace" for a file put back over the
/// one that is there.
struct IndexEntry
{
    std::string copy;
    std::string original;
    bool replace = false;
};

constexpr const char* kReplaceMark = "\treplace";

std::vector<IndexEntry> readIndex(platform::Files& files, const std::string& backupPath)
{
    std::vector<IndexEntry> entries;
    std::istringstream lines(readAll(files, indexPath(backupPath)));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const bool replace = line.ends_with(kReplaceMark);
        if (replace)
            line.resize(line.size() - std::string_view(kReplaceMark).size());
        entries.push_back({line.substr(0, tab), line.substr(tab + 1), replace});
    }
    return entries;
}

} // namespace

std::string BackupFilesFolder(const std::string& backupPath)
{
    const size_t dot = backupPath.rfind('.');
    const size_t slash = backupPath.rfind('\\');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? backupPath.substr(0, dot) : backupPath) + ".files";
}

std::string SaveFilesIntoBackup(const Session& session, const std::string& backupPath,
                                const std::vector<std::string>& paths)
{
    std::vector<KeptFile> kept;
    for (const std::string& path : paths)
        kept.push_back({path, false});
    return SaveFilesIntoBackup(session, backupPath, kept);
}

std::string SaveFilesIntoBackup(const Session& session, const std::string& backupPath,
                                const std::vector<KeptFile>& kept)
{
    if (kept.empty())
        return std::string();
    platform::Files& files = session.files();
    const std::string folder = BackupFilesFolder(backupPath);
    if (!files.createDirectory(folder))
        return "cannot create the folder " + folder;
    std::string index;
    std::string error;
    int number = 0;
    for (const KeptFile& file : kept) {
        const std::string& path = file.path;
        if (!files.fileExists(path))
            continue;
        const std::string copy = std::to_string(++number) + sections::ExtractFileExt(path);
        if (!copyFile(session, path, folder + "\\" + copy, false)) {
            error = "cannot copy " + path + " into " + folder;
            break;
        }
        index += copy + "\t" + path + (file.replaceOnRestore ? kReplaceMark : "") + "\n";
    }
    if (error.empty() &&
        !writeFile(session, indexPath(backupPath), false, [&](platform::FileStream& out) {
            out.write(index.data(), static_cast<std::int64_t>(index.size()));
        }))
        error = "cannot write " + indexPath(backupPath);
    if (!error.empty())
        RemoveBackupFiles(session, backupPath);
    return error;
}

FilesRestore RestoreFilesFromBackup(const Session& session, const std::string& backupPath)
{
    FilesRestore result;
    platform::Files& files = session.files();
    const std::string folder = BackupFilesFolder(backupPath);
    for (const IndexEntry& entry : readIndex(files, backupPath)) {
        if (!entry.replace && files.fileExists(entry.original))
            continue;
        const std::string parent = sections::ExtractFilePath(entry.original);
        if (!parent.empty() &&
            !CreateFolderChain(session.files(), parent.substr(0, parent.size() - 1))) {
            result.failed.push_back(entry.original + ": cannot create its folder");
            continue;
        }
        // Copied beside its place first, then renamed there in one step; a file that
        // appeared meanwhile is replaced only when the entry says so.
        if (copyFile(session, folder + "\\" + entry.copy, entry.original, entry.replace))
            ++result.restored;
        else
            result.failed.push_back(entry.original + ": cannot copy it back");
    }
    return result;
}

bool RemoveBackupFiles(const Session& session, const std::string& backupPath)
{
    platform::Files& files = session.files();
    const std::string folder = BackupFilesFolder(backupPath);
    if (!files.directoryExists(folder))
        return true;
    for (const IndexEntry& entry : readIndex(files, backupPath))
        files.deleteFile(folder + "\\" + entry.copy);
    files.deleteFile(indexPath(backupPath));
    // What a copy cut off by a kill left there.
    platform::removeStaleTempFiles(files, session.processes(), folder);
    return files.removeDirectory(folder);
}

} // namespace tw
