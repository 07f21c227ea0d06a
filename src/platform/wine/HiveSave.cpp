#include "HiveSave.h"

#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace tw::wine {

namespace {

// The journal names the files of a save that has begun to rename; the rollback journal is
// the same journal once the save is being undone.
constexpr std::string_view kJournalName = ".tidewell-save.journal";
constexpr std::string_view kRollbackName = ".tidewell-rollback.journal";
constexpr std::string_view kJournalSignature = "TIDEWELL SAVE 1";
constexpr std::string_view kTemporaryMark = ".tidewell-";
constexpr std::string_view kKeptSuffix = ".tidewell-old";

struct Entry
{
    std::string target;
    std::string temporary;
    std::string kept;
    FileIdentity old;   // the target when the save began
    FileIdentity fresh; // the new file
};

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string errorText(int error)
{
    return std::generic_category().message(error);
}

[[noreturn]] void throwErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void writeJournal(const std::string& path, const std::vector<Entry>& entries)
{
    std::string text(kJournalSignature);
    text += '\n';
    for (const Entry& e : entries)
        text += baseName(e.target) + '\t' + baseName(e.temporary) + '\t' + baseName(e.kept) + '\t' +
                e.old.toText() + '\t' + e.fresh.toText() + '\n';
    writeFileAtomically(path, text);
}

std::vector<Entry> readJournal(const std::string& folder, const std::string& path,
                               const std::vector<std::string>& targets)
{
    std::ifstream in(path);
    std::string line;
    const auto damaged = [&]() {
        return SaveError("The journal " + path +
                         " of an interrupted save is damaged; Tidewell will not guess which "
                         "registry files are current. Compare the files beside it and remove it.");
    };
    if (!std::getline(in, line) || line != kJournalSignature)
        throw damaged();
    std::vector<Entry> entries;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (fields.size() != 5 ||
            std::find(targets.begin(), targets.end(), fields[0]) == targets.end() ||
            fields[1].rfind(fields[0] + std::string(kTemporaryMark), 0) != 0 ||
            fields[1].find('/') != std::string::npos ||
            fields[2] != fields[0] + std::string(kKeptSuffix))
            throw damaged();
        const auto old = FileIdentity::fromText(fields[3]);
        const auto fresh = FileIdentity::fromText(fields[4]);
        if (!old || !fresh)
            throw damaged();
        entries.push_back({folder + "/" + fields[0], folder + "/" + fields[1],
                           folder + "/" + fields[2], *old, *fresh});
    }
    if (entries.empty())
        throw damaged();
    return entries;
}

void copyFile(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throwErrno("cannot read " + from);
    struct stat st;
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        throw std::system_error(error, std::generic_category(), "cannot write " + to);
    }
    int error = 0;
    struct stat mine;
    if (::fstat(out, &mine) == 0 && (mine.st_uid != st.st_uid || mine.st_gid != st.st_gid) &&
        ::fchown(out, st.st_uid, st.st_gid) != 0)
        error = errno;
    else
        ::fchmod(out, st.st_mode & 07777);
    char buffer[1 << 16];
    while (!error) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno != EINTR)
                error = errno;
            continue;
        }
        for (ssize_t done = 0; done < n && !error;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w >= 0)
                done += w;
            else if (errno != EINTR)
                error = errno;
        }
    }
    if (!error && ::fsync(out) != 0)
        error = errno;
    ::close(in);
    if (::close(out) != 0 && !error)
        error = errno;
    if (error) {
        ::unlink(to.c_str());
        throw std::system_error(error, std::generic_category(), "cannot write " + to);
    }
}

/// A second name for the old file, to go back to: a hard link, or a copy where the file
/// system has none.
void keepOld(const Entry& e)
{
    ::unlink(e.kept.c_str());
    if (::link(e.target.c_str(), e.kept.c_str()) == 0)
        return;
    if (errno != EPERM && errno != EXDEV && errno != EOPNOTSUPP && errno != EMLINK &&
        errno != ENOSYS)
        throwErrno("cannot keep the old " + e.target);
    copyFile(e.target, e.kept);
}

/// Removes the kept old files unless the save dismissed it.
class KeptFiles
{
public:
    explicit KeptFiles(const std::vector<Entry>& entries) : m_entries(entries) {}
    ~KeptFiles()
    {
        if (m_active) {
            for (const Entry& e : m_entries)
                ::unlink(e.kept.c_str());
        }
    }
    void dismiss() { m_active = false; }

private:
    const std::vector<Entry>& m_entries;
    bool m_active = true;
};

std::string changedOnDisk(const std::string& target)
{
    return target + " changed on disk after Tidewell read it (Wine or another program wrote "
                    "it); nothing was saved. Open the prefix again and repeat the change.";
}

/// Puts back the first `renamed` targets from their kept files and removes the journal.
void rollBack(const std::string& folder, const std::vector<Entry>& entries, size_t renamed)
{
    const std::string journal = folder + "/" + std::string(kJournalName);
    const std::string rollback = folder + "/" + std::string(kRollbackName);
    const bool marked = ::rename(journal.c_str(), rollback.c_str()) == 0;
    syncFolder(folder);
    std::string failures;
    for (size_t i = 0; i < renamed; ++i) {
        if (::rename(entries[i].kept.c_str(), entries[i].target.c_str()) != 0)
            failures += " " + entries[i].target + " (" + errorText(errno) + ")";
    }
    syncFolder(folder);
    if (!failures.empty())
        throw SaveError("The old registry files could not all be put back:" + failures +
                        ". Tidewell puts them back the next time it opens the prefix.");
    for (size_t i = renamed; i < entries.size(); ++i)
        ::unlink(entries[i].kept.c_str());
    ::unlink((marked ? rollback : journal).c_str());
    syncFolder(folder);
}

} // namespace

void replaceFiles(const std::string& folder, const std::vector<Replacement>& files,
                  const SaveObserver& observer)
{
    const auto notify = [&](SaveStep step, const std::string& file) {
        if (observer)
            observer(step, file);
    };
    std::vector<std::unique_ptr<TemporaryFile>> temps;
    std::vector<Entry> entries;
    const auto unchanged = [&](size_t i) {
        return FileIdentity::of(files[i].target) == files[i].expected;
    };
    for (const Replacement& file : files) {
        auto temp = std::make_unique<TemporaryFile>(file.target);
        file.produce([&](std::string_view piece) { temp->write(piece); });
        temp->finish();
        entries.push_back({file.target, temp->path(), file.target + std::string(kKeptSuffix),
                           FileIdentity::of(file.target), FileIdentity::of(temp->path())});
        temps.push_back(std::move(temp));
        notify(SaveStep::TemporaryWritten, file.target);
    }
    if (entries.size() == 1) {
        // One rename replaces one file whole: nothing to journal.
        const Entry& e = entries.front();
        if (!unchanged(0))
            throw SaveError(changedOnDisk(e.target));
        if (::rename(e.temporary.c_str(), e.target.c_str()) != 0)
            throw SaveError("Cannot replace " + e.target + ": " + errorText(errno) +
                            "; it was left as it was");
        temps.front()->keep();
        syncFolder(folder);
        notify(SaveStep::Renamed, e.target);
        notify(SaveStep::Finished, e.target);
        return;
    }

    KeptFiles kept(entries);
    for (const Entry& e : entries) {
        keepOld(e);
        notify(SaveStep::OldKept, e.target);
    }
    const std::string journal = folder + "/" + std::string(kJournalName);
    writeJournal(journal, entries);
    notify(SaveStep::JournalWritten, journal);

    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (!unchanged(i)) {
            kept.dismiss();
            rollBack(folder, entries, i);
            throw SaveError(changedOnDisk(e.target));
        }
        if (::rename(e.temporary.c_str(), e.target.c_str()) != 0) {
            const int error = errno;
            kept.dismiss();
            rollBack(folder, entries, i);
            throw SaveError("Cannot replace " + e.target + ": " + errorText(error) +
                            "; the files replaced before it were put back, nothing was saved");
        }
        temps[i]->keep();
        notify(SaveStep::Renamed, e.target);
    }
    syncFolder(folder);
    kept.dismiss();
    for (const Entry& e : entries)
        ::unlink(e.kept.c_str());
    ::unlink(journal.c_str());
    syncFolder(folder);
    notify(SaveStep::Finished, journal);
}

void recoverInterruptedSave(const std::string& folder, const std::vector<std::string>& targets)
{
    const std::string journal = folder + "/" + std::string(kJournalName);
    const std::string rollback = folder + "/" + std::string(kRollbackName);
    const auto changedSince = [](const Entry& e) {
        return SaveError(e.target +
                         " changed after a save was interrupted; Tidewell will not choose "
                         "between it and " +
                         e.temporary + ". Keep the right one as " + baseName(e.target) +
                         " and remove the journal beside it.");
    };
    if (exists(rollback)) {
        // Undo: every target goes back to its kept old file.
        for (const Entry& e : readJournal(folder, rollback, targets)) {
            if (!exists(e.kept))
                continue;
            const FileIdentity now = FileIdentity::of(e.target);
            if (now.exists && !(now == e.fresh) && !(now == e.old))
                throw changedSince(e);
            if (::rename(e.kept.c_str(), e.target.c_str()) != 0)
                throw SaveError("Cannot put back " + e.target + " from " + e.kept + ": " +
                                errorText(errno));
            ::unlink(e.kept.c_str());
        }
        syncFolder(folder);
        ::unlink(rollback.c_str());
        syncFolder(folder);
    } else if (exists(journal)) {
        // Finish: the new files were complete before the journal was written.
        const std::vector<Entry> entries = readJournal(folder, journal, targets);
        for (const Entry& e : entries) {
            if (!exists(e.temporary))
                continue;
            const FileIdentity now = FileIdentity::of(e.target);
            if (now.exists && !(now == e.old))
                throw changedSince(e);
            if (::rename(e.temporary.c_str(), e.target.c_str()) != 0)
                throw SaveError("Cannot finish the interrupted save of " + e.target + ": " +
                                errorText(errno));
        }
        syncFolder(folder);
        for (const Entry& e : entries)
            ::unlink(e.kept.c_str());
        ::unlink(journal.c_str());
        syncFolder(folder);
    }

    // What is left of a save that died before its journal was written.
    std::vector<std::string> names = targets;
    names.emplace_back(kJournalName);
    if (removeTemporaryFilesOf(folder, names))
        syncFolder(folder);
}

} // namespace tw::wine
