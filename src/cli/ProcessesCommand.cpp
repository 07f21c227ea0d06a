// tidewell-cli processes: the running processes, the modules of one, and ending one.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "registry/Session.h"
#include "tools/processes/ProcessManager.h"

#include <iomanip>
#include <limits>

namespace tw::cli {

namespace {

/// The PID argument; a UsageError for a word that is not one.
win::DWORD processIdArgument(const std::string& text)
{
    return static_cast<win::DWORD>(
        parseNumber(text, 0, std::numeric_limits<win::DWORD>::max(), "a process ID"));
}

ListRows processRows(CommandContext& context)
{
    ListRows listing = listProcesses(context.session);
    if (!listing.error.empty())
        throw CliError(listing.error);
    return listing;
}

int listCommand(CommandContext& context)
{
    const ListRows listing = processRows(context);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        // The number columns hold plain decimal numbers.
        JsonWriter json;
        json.beginObject().key("processes").beginArray();
        for (const ListRow& row : listing.rows) {
            const std::vector<std::string>& t = row.texts;
            json.beginObject().field("name", t[0]);
            json.key("pid").numberText(t[1]).key("parentPid").numberText(t[2]);
            json.key("moduleId").numberText(t[3]).key("usage").numberText(t[4]);
            json.key("threads").numberText(t[5]).key("priority").numberText(t[6]);
            json.endObject();
        }
        out << json.endArray().endObject().text() << "\n";
        return 0;
    }
    out << std::right << std::setw(8) << "PID" << std::setw(11) << "Parent PID" << std::setw(9)
        << "Threads" << std::setw(10) << "Priority"
        << "  Process\n";
    for (const ListRow& row : listing.rows)
        out << std::setw(8) << row.texts[1] << std::setw(11) << row.texts[2] << std::setw(9)
            << row.texts[5] << std::setw(10) << row.texts[6] << "  " << row.texts[0] << "\n";
    out << processTotalText(listing.rows.size()) << "\n";
    return 0;
}

int modulesCommand(CommandContext& context)
{
    const win::DWORD processId = processIdArgument(context.args.at(0));
    const ListRows listing = listModules(context.session, processId);
    if (!listing.error.empty())
        throw CliError(listing.error);
    const std::string memory = workingSetKBText(context.session, processId);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().field("pid", processId).key("modules").beginArray();
        for (const ListRow& row : listing.rows) {
            const std::vector<std::string>& t = row.texts;
            json.beginObject().field("name", t[0]).field("path", t[1]);
            json.key("moduleId").numberText(t[2]).field("sizeKB", t[3]).endObject();
        }
        json.endArray().field("memoryKB", nonEmpty(memory));
        out << json.endObject().text() << "\n";
        return 0;
    }
    out << std::right << std::setw(12) << "Size(KB)"
        << "  Module Name  (Module Path)\n";
    for (const ListRow& row : listing.rows)
        out << std::setw(12) << row.texts[3] << "  " << row.texts[0] << "  (" << row.texts[1]
            << ")\n";
    out << moduleTotalText(listing.rows.size()) << "\n";
    out << (memory.empty() ? std::string("Get Memory Errors") : "Memory: " + memory + " KB")
        << "\n";
    return 0;
}

int killCommand(CommandContext& context)
{
    const win::DWORD processId = processIdArgument(context.args.at(0));
    // The process as listed now: its name, and its start so that no later one is hit.
    const ListRows listing = processRows(context);
    const ListRow* listed = nullptr;
    for (const ListRow& row : listing.rows) {
        if (row.texts[kPidColumn] == std::to_string(processId))
            listed = &row;
    }
    if (!listed)
        throw CliError("No process has the ID " + std::to_string(processId));
    const std::string name = listed->texts[0];
    const TerminateResult result = terminateProcess(context.session, processId, listed->startTime);
    if (result.outcome != TerminateOutcome::Terminated)
        throw CliError("Cannot terminate process " + std::to_string(processId) + " (" + name +
                       "): " + result.message);
    context.out << "Terminated process " << processId << " (" << name << ")\n";
    return 0;
}

} // namespace

std::vector<Command> processesCommands()
{
    return {
        {"processes list",
         "",
         "the running processes: PID, parent, threads, base priority, name",
         {kJsonOption},
         0,
         0,
         listCommand},
        {"processes modules",
         "PID",
         "the files a process has loaded, with their sizes,\nand its working set",
         {kJsonOption},
         1,
         1,
         modulesCommand},
        {"processes kill", "PID", "end a process at once", {}, 1, 1, killCommand},
    };
}

} // namespace tw::cli
