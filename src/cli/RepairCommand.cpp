#include "CliError.h"
#include "Json.h"
#include "PrefixWrites.h"
#include "ScanCommand.h"
#include "app/SessionStart.h"
#include "platform/Files.h"
#include "registry/Session.h"
#include "repair/BackupList.h"
#include "repair/BackupSeal.h"
#include "repair/RepairDriver.h"

#include <cstdio>

namespace tw::cli {

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

std::string formatTime(const platform::SystemTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

/// A backup named as the program shows it (C:\...) or by its host path.
std::string windowsPathOf(const Session& session, const std::string& file)
{
    if (file.size() > 2 && file[1] == ':' && (file[2] == '\\' || file[2] == '/'))
        return file;
    const std::optional<std::string> windows = session.files().dosFileName(file);
    if (!windows)
        throw CliError(file + " is on none of the prefix's drives");
    return *windows;
}

void report(const BackupActionResult& result, std::ostream& out)
{
    if (!result.ok)
        throw CliError(result.message + (result.error.empty() ? "" : " " + result.error));
    out << result.message << "\n";
}

int runRepair(CommandContext& context)
{
    Session& session = context.session;
    std::ostream& out = context.out;
    const bool noBackup = context.args.has("no-backup");
    const bool json = context.args.has("json");
    const SectionSelection selection = sectionSelection(context.args);
    requireAddonList(context.started);
    OutcomeGrid grid;
    ScanView view;
    ScanSections(session, selection, grid, view);
    // As "Select All" in the details window of every reported section.
    SelectAllReportedRecords(session);

    // With Wine running (or hives that cannot be written) nothing is begun.
    ResultRows rows;
    const RepairRun run = RepairProblems(session, rows, noBackup);
    if (!run.error.empty() && rows.rows.empty())
        throw CliError(run.error);

    std::optional<std::string> backupHost;
    if (run.backupPath)
        backupHost = session.files().unixFileName(*run.backupPath);
    if (json) {
        JsonWriter json;
        json.beginObject().field("backup", backupHost).key("rows").beginArray();
        for (const auto& [problem, status] : rows.rows)
            json.beginObject().field("problem", problem).field("status", status).endObject();
        out << json.endArray().endObject().text() << "\n";
    } else {
        out << "Backup: " << (backupHost ? *backupHost : std::string("none")) << "\n";
        for (const auto& [problem, status] : rows.rows)
            out << status << "  " << problem << "\n";
        out << (run.repaired ? run.completedMessage : std::string("Nothing to repair.")) << "\n";
    }
    if (!run.error.empty()) {
        context.err << "tidewell-cli: " << run.error << "\n";
        return 1;
    }
    return 0;
}

int listBackups(CommandContext& context)
{
    for (const BackupEntry& entry : ListBackups(context.session)) {
        const std::string host = context.session.files().unixFileName(entry.path).value_or("");
        context.out << formatTime(entry.time) << "  " << entry.path << "  " << host << "\n";
    }
    return 0;
}

int fullBackup(CommandContext& context)
{
    const BackupActionResult result = FullBackup(context.session);
    report(result, context.out);
    if (result.added)
        context.out << result.added->path << "\n";
    return 0;
}

int restoreBackup(CommandContext& context)
{
    requireWritable(context.session);
    const std::string path = windowsPathOf(context.session, context.args.at(0));
    const BackupCheck check = CheckBackup(context.session, path);
    if (check.needsConfirmation() && !context.args.has("force"))
        throw CliError(check.warning + " Nothing was restored; add --force to restore it anyway.");
    report(RestoreBackup(context.session, path), context.out);
    return 0;
}

int removeBackup(CommandContext& context)
{
    const BackupActionResult result =
        RemoveBackup(context.session, windowsPathOf(context.session, context.args.at(0)));
    if (!result.ok && result.message.empty())
        throw CliError("There is no backup " + context.args.at(0));
    report(result, context.out);
    return 0;
}

} // namespace

std::vector<Command> repairCommands()
{
    return {changingRegistry({"repair",
                              "",
                              "scan, select every record, write the backup, repair",
                              {kSectionsOption, {"no-backup", ""}, kJsonOption},
                              0,
                              0,
                              runRepair})};
}

std::vector<Command> backupCommands()
{
    return {
        {"backups list",
         "",
         "the backups in C:\\Program Files\\Tidewell\\AllRegBack",
         {},
         0,
         0,
         listBackups,
         true},
        {"backups full", "", "export the whole registry into a new backup", {}, 0, 0, fullBackup},
        changingRegistry(
            {"backups restore",
             "FILE",
             "import a backup; FILE as the list shows it or as a host\npath; --force restores one "
             "that was changed or\ncomes from another prefix",
             {{"force", ""}},
             1,
             1,
             restoreBackup}),
        {"backups remove", "FILE", "delete a backup", {}, 1, 1, removeBackup},
    };
}

} // namespace tw::cli
