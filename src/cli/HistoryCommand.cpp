// tidewell-cli history: what the history cleaner's items hold, and their clear.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "PrefixWrites.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "tools/history/HistoryCleaner.h"

#include <iomanip>
#include <sstream>

namespace tw::cli {

namespace {

int itemRow(const std::string& text)
{
    return static_cast<int>(parseNumber(text, 0, kHistoryItemCount - 1, "a history item"));
}

/// Which listing runs Wine, said beside what it listed.
std::string wineNote(int row)
{
    if (HistoryItems()[static_cast<size_t>(row)].clear == HistoryClear::All)
        return "The URL cache (item 5) is not listed here: reading it starts Wine in the "
               "prefix. \"history list 5\" lists it.";
    for (const std::int32_t kind : HistoryItems()[static_cast<size_t>(row)].kinds) {
        if (kind == kKindCacheEntry)
            return "The URL cache was read through Wine, which ran in the prefix for it.";
    }
    return std::string();
}

/// Lists the item as choosing its row does; a value that is not a string fails the command.
void listItem(HistoryCleaner& cleaner, int row, std::string& problem)
{
    try {
        problem = cleaner.ListItem(row);
    } catch (const ERegistryException& e) {
        throw CliError(e.what());
    }
}

int listHistory(CommandContext& context)
{
    // Without an item: "All", which starts no Wine.
    const int row = context.args.count() ? itemRow(context.args.at(0)) : 0;
    HistoryCleaner cleaner(context.session);
    std::string problem;
    listItem(cleaner, row, problem);
    const std::vector<TRecycleData>& records = cleaner.records();
    std::ostream& out = context.out;
    const char* name = HistoryItems()[static_cast<size_t>(row)].name;
    const std::string note = wineNote(row);
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().field("item", row).field("name", name).key("records").beginArray();
        for (const TRecycleData& record : records)
            json.beginObject()
                .field("kind", record.Kind)
                .field("text", record.DisplayText)
                .field("origin", record.Origin)
                .field("selected", record.Selected)
                .endObject();
        json.endArray();
        if (!note.empty())
            json.field("wine", note);
        out << json.endObject().text() << "\n";
    } else {
        out << row << " " << name << "\n";
        for (const TRecycleData& record : records)
            out << "  " << record.Kind << "  " << std::left << std::setw(40) << record.DisplayText
                << " " << record.Origin << "\n";
        out << records.size() << " found\n";
        if (!note.empty())
            out << note << "\n";
    }
    if (!problem.empty()) {
        context.err << problem << "\n";
        return 1;
    }
    return 0;
}

void writeThings(JsonWriter& json, std::string_view name, const std::vector<ClearedThing>& things,
                 bool reasons)
{
    json.key(name).beginArray();
    for (const ClearedThing& thing : things) {
        json.beginObject()
            .field("kind", thing.kind)
            .field("text", thing.text)
            .field("origin", thing.origin);
        if (reasons)
            json.field("reason", thing.reason);
        json.endObject();
    }
    json.endArray();
}

std::string hresultText(win::DWORD value)
{
    std::ostringstream text;
    text << "0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << value;
    return text.str();
}

int clearHistory(CommandContext& context)
{
    const int row = itemRow(context.args.at(0));
    requireWritable(context.session);
    HistoryCleaner cleaner(context.session);
    std::string problem;
    listItem(cleaner, row, problem);
    HistoryView view;
    HistoryClearOutcome outcome;
    try {
        outcome = cleaner.Clear(row, view);
    } catch (const HistoryRefused& e) {
        throw CliError(e.what());
    }
    if (!problem.empty())
        outcome.notes.insert(outcome.notes.begin(), problem);

    std::ostream& out = context.out;
    const char* name = HistoryItems()[static_cast<size_t>(row)].name;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().field("item", row).field("name", name);
        writeThings(json, "removed", outcome.removed, false);
        writeThings(json, "failed", outcome.failed, true);
        json.field("backup", nonEmpty(outcome.backupPath));
        if (outcome.historyResult)
            json.field("urlHistory", hresultText(*outcome.historyResult));
        else
            json.key("urlHistory").null();
        json.field("stopped", nonEmpty(outcome.error)).array("notes", outcome.notes);
        out << json.endObject().text() << "\n";
    } else {
        for (const ClearedThing& thing : outcome.removed)
            out << "removed  " << thing.kind << "  " << thing.text << "  (" << thing.origin
                << ")\n";
        for (const ClearedThing& thing : outcome.failed)
            out << "failed   " << thing.kind << "  " << thing.text << "  (" << thing.origin
                << "): " << thing.reason << "\n";
        if (outcome.historyResult)
            out << "URL history: ClearHistory returned " << hresultText(*outcome.historyResult)
                << "\n";
        if (!outcome.backupPath.empty())
            out << "Backup: " << outcome.backupPath << "\n";
        out << outcome.removed.size() << " removed, " << outcome.failed.size() << " failed\n";
    }
    for (const std::string& note : outcome.notes)
        context.err << note << "\n";
    if (!outcome.error.empty())
        context.err << outcome.error << "\n";
    return outcome.failed.empty() && outcome.error.empty() && outcome.notes.empty() ? 0 : 1;
}

} // namespace

std::vector<Command> historyCommands()
{
    return {
        {"history list",
         "[ITEM]",
         "what history item ITEM holds: 0 All (the default), 1 Run history,\n2 Recent, "
         "3 NetHood, 4 Temp, 5 URL cache, 6 Recycle Bin,\n7 typed addresses, 8 History "
         "folder; only item 5 starts\nWine (to read the URL cache), All lists all but it",
         {kJsonOption},
         0,
         1,
         listHistory},
        changingRegistry({"history clear",
                          "ITEM",
                          "clear history item ITEM: files go to the Recycle Bin, removed\nregistry "
                          "values to a backup; the Recycle Bin and URL cache entries\ngo for good; "
                          "items 0, 5 and 8 run Wine (the URL cache\nand the URL history)",
                          {kJsonOption},
                          1,
                          1,
                          clearHistory}),
    };
}

} // namespace tw::cli
