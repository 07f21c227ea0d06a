// tidewell-cli ignore: the findings scans leave out; add, list and remove entries.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "PrefixWrites.h"
#include "registry/IgnoreList.h"
#include "registry/Session.h"

namespace tw::cli {

namespace {

IgnoreEntry entryOf(const Arguments& args)
{
    const std::optional<std::string> key = args.value("key");
    const std::optional<std::string> file = args.value("file");
    const std::optional<std::string> value = args.value("value");
    if (key.has_value() == file.has_value())
        throw UsageError("ignore add takes either --key KEY [--value NAME] or --file PATTERN");
    if (file && value)
        throw UsageError("--value goes with --key, not with --file");
    try {
        if (file)
            return IgnoreFileEntry(*file);
        return value ? IgnoreValueEntry(*key, *value) : IgnoreKeyEntry(*key);
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
}

int addEntry(CommandContext& context)
{
    const IgnoreEntry entry = entryOf(context.args);
    requireWritable(context.session);
    bool added = false;
    try {
        added = AddIgnoreEntry(context.session, entry);
    } catch (const std::runtime_error& e) {
        throw CliError(e.what());
    }
    if (added)
        saveChanges(context.session);
    context.out << (added ? "Ignored " : "Already ignored ") << entry.kindName() << " "
                << entry.text() << "\n";
    return 0;
}

int listEntries(CommandContext& context)
{
    const IgnoreList list = LoadIgnoreList(context.session);
    const std::vector<IgnoreEntry>& entries = list.entries();
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().key("entries").beginArray();
        for (size_t i = 0; i < entries.size(); ++i) {
            const IgnoreEntry& entry = entries[i];
            json.beginObject().field("number", i + 1).field("kind", entry.kindName());
            if (entry.kind == IgnoreEntry::Kind::File)
                json.field("pattern", entry.pattern);
            else
                json.field("key", entry.key);
            if (entry.kind == IgnoreEntry::Kind::Value)
                json.field("value", entry.value);
            json.endObject();
        }
        out << json.endArray().endObject().text() << "\n";
        return 0;
    }
    for (size_t i = 0; i < entries.size(); ++i)
        out << i + 1 << "  " << entries[i].kindName() << "  " << entries[i].text() << "\n";
    return 0;
}

int removeEntry(CommandContext& context)
{
    const IgnoreList list = LoadIgnoreList(context.session);
    if (list.empty())
        throw UsageError("the ignore list is empty");
    const size_t index =
        parseNumber(context.args.at(0), 1, list.entries().size(), "an entry of the list") - 1;
    requireWritable(context.session);
    try {
        RemoveIgnoreEntry(context.session, list, index);
    } catch (const std::runtime_error& e) {
        throw CliError(e.what());
    }
    saveChanges(context.session);
    const IgnoreEntry& entry = list.entries()[index];
    context.out << "Removed " << index + 1 << ": " << entry.kindName() << " " << entry.text()
                << "\n";
    return 0;
}

} // namespace

std::vector<Command> ignoreCommands()
{
    return {
        changingRegistry({"ignore add",
                          "",
                          "--key KEY: scans no longer report findings on KEY or keys below it;\n"
                          "with --value NAME only that value of KEY; --file PATTERN: findings "
                          "on\nfiles that match PATTERN (a Windows path, * and ? as wildcards)",
                          {{"key", "KEY"}, {"value", "NAME"}, {"file", "PATTERN"}},
                          0,
                          0,
                          addEntry}),
        {"ignore list",
         "",
         "the ignore list, numbered from 1, with each entry's kind",
         {kJsonOption},
         0,
         0,
         listEntries,
         true},
        changingRegistry({"ignore remove",
                          "N",
                          "remove entry N of the list (counted from 1)",
                          {},
                          1,
                          1,
                          removeEntry}),
    };
}

} // namespace tw::cli
