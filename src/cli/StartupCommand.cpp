// tidewell-cli startup: what starts with Windows, removal of one entry, the folder of one.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "PrefixWrites.h"
#include "platform/Files.h"
#include "registry/Session.h"
#include "tools/startup/StartupManager.h"

namespace tw::cli {

namespace {

std::vector<StartupEntry> listEntries(CommandContext& context)
{
    return ListStartupEntries(context.session, ReadStartupFolders(context.session));
}

/// Row N of the list (counted from 1); a UsageError for a number that is not one.
const StartupEntry& entryAt(const std::string& text, const std::vector<StartupEntry>& entries)
{
    return entries[parseNumber(text, 1, entries.size(), "a row of the list") - 1];
}

int listStartup(CommandContext& context)
{
    const std::vector<StartupEntry> entries = listEntries(context);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().key("entries").beginArray();
        for (const StartupEntry& entry : entries) {
            json.beginObject()
                .field("kind", entry.Kind)
                .field("name", entry.Name)
                .field("path", entry.Path);
            if (entry.Kind == kKindRegistration)
                json.field("view", registryViewName(entry.view));
            json.endObject();
        }
        out << json.endArray().endObject().text() << "\n";
        return 0;
    }
    for (size_t i = 0; i < entries.size(); ++i)
        out << i + 1 << "  " << entries[i].Kind << "  "
            << withViewMark(entries[i].Name, entries[i].view) << "  " << entries[i].Path << "\n";
    return 0;
}

int removeStartup(CommandContext& context)
{
    requireWritable(context.session);
    const std::vector<StartupEntry> entries = listEntries(context);
    const StartupEntry& entry = entryAt(context.args.at(0), entries);
    const StartupRemoval removal = RemoveStartupEntry(context.session, entry);
    if (!removal.error.empty())
        throw CliError(removal.error);
    const std::string what = entry.Kind + " " + withViewMark(entry.Name, entry.view);
    if (!removal.removed)
        throw CliError("Could not remove " + context.args.at(0) + ": " + what +
                       (entry.Kind == kKindStartupFolder ? " (folders are not removed)" : ""));
    context.out << "Removed " << context.args.at(0) << ": " << what << "\n";
    if (!removal.backupPath.empty())
        context.out << "Backup: "
                    << context.session.files()
                           .unixFileName(removal.backupPath)
                           .value_or(removal.backupPath)
                    << "\n";
    return 0;
}

int openStartup(CommandContext& context)
{
    const std::vector<StartupEntry> entries = listEntries(context);
    const StartupEntry& entry = entryAt(context.args.at(0), entries);
    const std::string folder = OpenPathFolder(entry.Path);
    const std::optional<std::string> host =
        folder.empty() ? std::nullopt : context.session.files().unixFileName(folder);
    if (!host)
        throw CliError("Row " + context.args.at(0) + " names no folder: " + entry.Path);
    context.out << *host << "\n";
    return 0;
}

} // namespace

std::vector<Command> startupCommands()
{
    return {
        {"startup list",
         "",
         "what starts with Windows: the startup folders, the Run keys\nand win.ini's [Load] and "
         "[Run], in the startup manager's order",
         {kJsonOption},
         0,
         0,
         listStartup,
         true},
        changingRegistry({"startup remove",
                          "N",
                          "remove entry N of the list (counted from 1), after writing\na backup "
                          "that restores it",
                          {},
                          1,
                          1,
                          removeStartup}),
        {"startup open",
         "N",
         "print the host path of the folder of entry N's program",
         {},
         1,
         1,
         openStartup},
    };
}

} // namespace tw::cli
