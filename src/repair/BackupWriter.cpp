#include "BackupWriter.h"

#include "BackupSeal.h"
#include "FileBackup.h"
#include "platform/RegFile.h"
#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "scanner/ScanDriver.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

namespace tw {

bool CreateBackupFolder(const Session& session)
{
    const std::string folder = BackupFolder();
    return CreateFolderChain(session.files(), folder.substr(0, folder.size() - 1));
}

namespace {

std::string headerFor(std::uint8_t platformKind)
{
    if (platformKind >= 4)
        return "Windows Registry Editor Version 5.00";
    if (platformKind >= 2)
        return "REGEDIT4";
    return "";
}

/// Adds what the repair of one record removes to `writer` (or, without one, only tells
/// whether there is any); false when there is nothing (left) to save.
bool addRecord(const Session& session, platform::RegFileWriter* writer, const SectionInfo& section,
               const TContent& record)
{
    const RecordRemoval removal = RemovalOf(section.removes, record);
    if (removal.kind == RecordRemoval::Kind::File)
        return false;
    platform::Registry& registry = session.registry();
    const HKEY root = RootKeyFromName(removal.key.rootName);
    const std::string& keyPath = removal.key.path;
    const std::string_view path = std::string_view(keyPath).substr(keyPath.rfind('\\', 0) == 0);
    platform::KeyHandle handle(registry);
    if (!root || registry.openKey(root, path, win::KEY_READ, handle.out()))
        return false;
    if (removal.kind == RecordRemoval::Kind::Key) {
        if (writer)
            writer->addKeyTree(handle.get(), record.KeyPath);
        return true;
    }
    win::DWORD type = 0;
    std::string data;
    if (registry.queryValue(handle.get(), removal.valueName, &type, &data) != win::ERROR_SUCCESS)
        return false;
    if (writer) {
        writer->addKeyLine(record.KeyPath);
        writer->addValue(removal.valueName, type, data);
    }
    return true;
}

/// Calls `keep` for each ticked record of the reported sections, in report order, until it
/// returns false.
void forEachTickedRecord(const Session& session,
                         const std::function<bool(const SectionInfo&, const TContent&)>& keep)
{
    for (const int number : session.ReportRowSection) {
        if (number < 0 || number >= kSectionCountTotal)
            continue;
        const SectionInfo& section = Sections()[static_cast<size_t>(number)];
        const TRegistryContents& contents = session.SectionContents[static_cast<size_t>(number)];
        for (int i = 0; i < contents.Count(); ++i) {
            const TContent& record = contents.Items(i).Content;
            if (record.Checked && !keep(section, record))
                return;
        }
    }
}

/// Adds the record to the backup: its registry part to `writer` (or, without one, only
/// whether there is any), or the file the repair deletes to `files` when it exists. True when
/// the record has something to keep.
bool backUpRecord(const Session& session, platform::RegFileWriter* writer,
                  std::vector<std::string>* files, const SectionInfo& section,
                  const TContent& record)
{
    if (section.removes != RepairRemoves::NoRegistryData)
        return addRecord(session, writer, section, record);
    if (!session.files().fileExists(record.ItemName))
        return false;
    if (files)
        files->push_back(record.ItemName);
    return true;
}

} // namespace

/// Writes the file beside its final name first, so that no half file is left.
std::string WriteBackupBytes(const Session& session, std::string& path, const std::string& bytes)
{
    return WriteBackupStream(session, path, [&](platform::FileStream& stream) {
        stream.write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    });
}

std::string WriteBackupStream(const Session& session, std::string& path,
                              const std::function<void(platform::FileStream&)>& produce)
{
    try {
        platform::TempFile temporary(session.files(), session.processes(), path);
        produce(temporary.stream());
        temporary.close();
        if (!PlaceBackupFile(session, temporary, path))
            return "cannot rename " + temporary.path();
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}

std::string BackupFolder()
{
    return std::string(kProgramFolder) + "\\AllRegBack\\";
}

namespace {
/// The name for the backup made at `stamp`; the second and later of one second get a number.
std::string backupName(std::string_view name, const std::string& stamp, int number)
{
    return BackupFolder() + std::string(name) + "_" + stamp +
           (number > 1 ? "_" + std::to_string(number) : std::string()) + ".reg";
}
constexpr int kMaxBackupsPerSecond = 1000;
} // namespace

bool PlaceBackupFile(const Session& session, platform::TempFile& temporary, std::string& path)
{
    if (temporary.moveTo(path, false))
        return true;
    // Taken since the name was chosen: the next free one, never over another backup.
    const std::string stem = path.substr(0, path.size() - 4);
    for (int number = 2; number <= kMaxBackupsPerSecond; ++number) {
        const std::string candidate = stem + "_" + std::to_string(number) + ".reg";
        if (session.files().fileExists(candidate))
            continue;
        if (temporary.moveTo(candidate, false)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

std::string NewBackupPath(const Session& session, std::string_view name)
{
    platform::System& system = session.system();
    const platform::SystemTime now =
        platform::fileTimeToSystemTime(system.fileTimeToLocalFileTime(system.currentTime()));
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d_%02d_%02d_%02d_%02d_%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    for (int number = 1; number < kMaxBackupsPerSecond; ++number) {
        const std::string path = backupName(name, stamp, number);
        if (!session.files().fileExists(path) &&
            !session.files().directoryExists(BackupFilesFolder(path)))
            return path;
    }
    return backupName(name, stamp, kMaxBackupsPerSecond);
}

platform::RegFileWriter NewBackupFileWriter(const Session& session)
{
    const platform::RegFileFormat format = session.PlatformKind >= 4
                                               ? platform::RegFileFormat::Unicode
                                               : platform::RegFileFormat::Ansi;
    return platform::RegFileWriter(session.registry(), format,
                                   {headerFor(session.PlatformKind), false, false});
}

BackupOutcome WriteBackupFile(const Session& session)
{
    BackupOutcome outcome;
    outcome.path = NewBackupPath(session);
    // Nothing is made when no ticked record has anything left to keep.
    bool anything = false;
    forEachTickedRecord(session, [&](const SectionInfo& section, const TContent& record) {
        anything = backUpRecord(session, nullptr, nullptr, section, record);
        return !anything;
    });
    if (!anything)
        return outcome;
    if (!CreateBackupFolder(session)) {
        outcome.error = "cannot create the folder " + BackupFolder();
        return outcome;
    }
    // Written as it is made, sealed on the way: the backup never sits in memory whole.
    // Files the repair deletes (shortcuts) are kept beside it.
    std::vector<std::string> removedFiles;
    const std::string machine = MachineIdentity(session);
    outcome.error = WriteBackupStream(session, outcome.path, [&](platform::FileStream& stream) {
        platform::RegFileWriter writer = NewBackupFileWriter(session);
        BackupSealWriter seal(stream, machine);
        writer.streamTo([&](const platform::RegFilePiece& piece) { seal.write(piece); });
        forEachTickedRecord(session, [&](const SectionInfo& section, const TContent& record) {
            backUpRecord(session, &writer, &removedFiles, section, record);
            return true;
        });
        writer.finish();
        seal.finish();
    });
    if (outcome.error.empty()) {
        outcome.error = SaveFilesIntoBackup(session, outcome.path, removedFiles);
        if (!outcome.error.empty())
            session.files().deleteFile(outcome.path);
    }
    outcome.written = outcome.error.empty();
    return outcome;
}

TRegDataType LookupValueType(const Session& session, std::string_view keyPath,
                             std::string_view valueName)
{
    const RecordKeyPath key = SplitRecordKeyPath(keyPath);
    TRegistry reg(session);
    reg.SelectRoot(RootKeyFromName(key.rootName));
    if (!reg.OpenPath(key.path, false))
        return rdUnknown;
    return reg.ValueType(valueName);
}

} // namespace tw
