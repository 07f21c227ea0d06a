#include "RepairCommand.h"

#include "CliError.h"
#include "Json.h"
#include "ScanCommand.h"
#include "platform/wine/WineFiles.h"
#include "platform/wine/WinePrefix.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "repair/BackupList.h"
#include "repair/RepairDriver.h"
#include "scanner/ScanDriver.h"
#include "scanner/ScanState.h"

#include <cstdio>

namespace tw::cli {

const char* const kRepairUsage =
    "  repair [--sections LIST] [--no-backup] [--json]\n"
    "                                    scan, select every record, back up and repair\n"
    "  backups list | full | restore FILE | remove FILE\n"
    "                                    the backups in C:\\Program Files\\Tidewell\\AllRegBack\n";

namespace {

/// Collects the result rows of a repair.
class ResultRows : public RepairView
{
public:
    int addResultRow(const std::string& problem) override
    {
        rows.push_back({problem, ""});
        return static_cast<int>(rows.size()) - 1;
    }
    void setResultStatus(int row, const std::string& status) override
    {
        rows[static_cast<size_t>(row)].second = status;
    }
    std::vector<std::pair<std::string, std::string>> rows;
};

void saveChanges(wine::WinePrefix& prefix)
{
    try {
        prefix.save();
    } catch (const wine::PrefixError& e) {
        throw CliError(e.what());
    }
}

std::string formatTime(const platform::SystemTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

/// A backup named as the program shows it (C:\...) or by its host path.
std::string windowsPathOf(wine::WinePrefix& prefix, const std::string& file)
{
    if (file.size() > 2 && file[1] == ':' && (file[2] == '\\' || file[2] == '/'))
        return file;
    const std::optional<std::string> windows = prefix.files().paths().toWindows(file);
    if (!windows)
        throw CliError(file + " is on none of the prefix's drives");
    return *windows;
}

void report(const BackupActionResult& result, std::ostream& out)
{
    if (!result.ok)
        throw CliError(result.message + (result.detail.empty() ? "" : " " + result.detail));
    out << result.message << "\n";
}

} // namespace

int runRepairCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                     std::ostream& out, std::ostream& err)
{
    std::vector<std::string> scanArgs;
    bool noBackup = false;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--no-backup")
            noBackup = true;
        else if (args[i] == "--json")
            json = true;
        else if (args[i] == "--sections" && i + 1 < args.size()) {
            scanArgs.push_back(args[i]);
            scanArgs.push_back(args[++i]);
        } else
            throw UsageError("repair takes [--sections LIST] [--no-backup] [--json]");
    }
    const SectionSelection selection = parseSectionList(scanArgs);
    prepareScan();
    DetectPlatform();
    OutcomeGrid grid;
    ScanView view;
    ScanSections(selection, grid, view);
    // As "Select All" in the details window of every reported section.
    SelectAllReportedRecords();

    // With Wine running nothing can change: no backup, and every row fails.
    const bool readOnly = prefix.isReadOnly();
    ResultRows rows;
    const RepairRun run = RepairProblems(rows, noBackup || readOnly);
    if (!run.failure.empty())
        throw CliError(run.failure);
    saveChanges(prefix);

    std::optional<std::string> backupHost;
    if (run.backupPath)
        backupHost = prefix.files().paths().toHost(*run.backupPath);
    if (json) {
        out << "{\"backup\": " << (backupHost ? jsonString(*backupHost) : "null")
            << ", \"rows\": [";
        for (size_t i = 0; i < rows.rows.size(); ++i)
            out << (i ? ", " : "") << "{\"problem\": " << jsonString(rows.rows[i].first)
                << ", \"status\": " << jsonString(rows.rows[i].second) << "}";
        out << "]}\n";
    } else {
        out << "Backup: " << (backupHost ? *backupHost : std::string("none")) << "\n";
        for (const auto& [problem, status] : rows.rows)
            out << status << "  " << problem << "\n";
        out << (run.repaired ? run.completedMessage : std::string("Nothing to repair.")) << "\n";
    }
    if (readOnly && !rows.rows.empty()) {
        err << "tidewell-cli: " << prefix.readOnlyReason() << "\n";
        return 1;
    }
    return 0;
}

void runBackupsCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                       std::ostream& out)
{
    const std::string command = args.empty() ? "list" : args[0];
    if (command == "list" && args.size() <= 1) {
        for (const BackupEntry& entry : ListBackups()) {
            const std::string host = prefix.files().paths().toHost(entry.path).value_or("");
            out << formatTime(entry.time) << "  " << entry.path << "  " << host << "\n";
        }
    } else if (command == "full" && args.size() == 1) {
        const BackupActionResult result = FullBackup();
        report(result, out);
        saveChanges(prefix);
        if (result.added)
            out << result.added->path << "\n";
    } else if (command == "restore" && args.size() == 2) {
        if (prefix.isReadOnly())
            throw CliError(prefix.readOnlyReason());
        report(RestoreBackup(windowsPathOf(prefix, args[1])), out);
        saveChanges(prefix);
    } else if (command == "remove" && args.size() == 2) {
        const BackupActionResult result = RemoveBackup(windowsPathOf(prefix, args[1]));
        if (!result.ok && result.message.empty())
            throw CliError("There is no backup " + args[1]);
        report(result, out);
    } else {
        throw UsageError("backups takes list, full, restore FILE or remove FILE");
    }
}

} // namespace tw::cli
