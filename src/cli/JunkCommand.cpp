// tidewell-cli junk: the junk file types, the drives, the junk scan and the clean actions.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "cleaner/CleanJunk.h"
#include "cleaner/JunkDrives.h"
#include "cleaner/JunkFileTypes.h"
#include "cleaner/JunkScan.h"
#include "platform/RegFile.h"
#include "platform/Files.h"
#include "registry/Session.h"

#include <algorithm>
#include <cctype>
#include <iomanip>
#include <sstream>

namespace tw::cli {

namespace {

constexpr OptionSpec kDrivesOption{"drives", "LIST"};

std::string hostPathOf(CommandContext& context, const std::string& windowsPath)
{
    return context.session.files().unixFileName(windowsPath).value_or(windowsPath);
}

FileTypeList loadTypes(CommandContext& context)
{
    FileTypeList types;
    const std::string error = LoadFileTypes(context.session, types, false);
    if (!error.empty())
        throw CliError(error);
    return types;
}

void saveTypes(CommandContext& context, const FileTypeList& types)
{
    const std::string error = SaveFileTypes(context.session, types);
    if (!error.empty())
        throw CliError(error);
}

/// A type's pattern or description as UTF-8, whatever code page the file holds it in.
std::string shown(CommandContext& context, const std::string& text)
{
    return JunkTextForShowing(text, platform::ansiCodePage(context.session.registry()));
}

void printTypes(CommandContext& context, const FileTypeList& types, bool exists)
{
    const std::string file = hostPathOf(context, FileListPath());
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().field("file", file).field("exists", exists).key("types").beginArray();
        for (const auto& type : types)
            json.beginObject()
                .field("checked", type.Checked != 0)
                .field("pattern", shown(context, type.Pattern))
                .field("description", shown(context, type.Description))
                .endObject();
        out << json.endArray().endObject().text() << "\n";
        return;
    }
    out << "FileList: " << file << (exists ? "" : " (missing: the built-in types)") << "\n";
    for (size_t i = 0; i < types.size(); ++i)
        out << std::right << std::setw(4) << i + 1 << " [" << (types[i].Checked ? 'x' : ' ') << "] "
            << std::left << std::setw(14) << shown(context, types[i].Pattern) << " "
            << shown(context, types[i].Description) << "\n";
}

int listTypes(CommandContext& context)
{
    const bool exists = FileListExists(context.session);
    printTypes(context, loadTypes(context), exists);
    return 0;
}

/// Row N of the list (counted from 1); a UsageError for a number that is not one.
size_t typeIndex(const std::string& text, const FileTypeList& types)
{
    return parseNumber(text, 1, types.size(), "a type number") - 1;
}

int addType(CommandContext& context)
{
    const std::string& pattern = context.args.at(0);
    const bool blank =
        std::all_of(pattern.begin(), pattern.end(), [](unsigned char c) { return c <= ' '; });
    if (blank)
        throw UsageError("the pattern is empty");
    FileTypeList types = loadTypes(context);
    types.push_back(MakeJunkFileType(1, pattern, context.args.at(1)));
    saveTypes(context, types);
    context.out << "Added " << types.size() << ": " << types.back().Pattern << "\n";
    return 0;
}

int removeType(CommandContext& context)
{
    FileTypeList types = loadTypes(context);
    const size_t index = typeIndex(context.args.at(0), types);
    const std::string pattern = types[index].Pattern;
    types.erase(types.begin() + static_cast<long>(index));
    saveTypes(context, types);
    context.out << "Removed " << index + 1 << ": " << shown(context, pattern) << "\n";
    return 0;
}

int checkType(CommandContext& context)
{
    FileTypeList types = loadTypes(context);
    const size_t index = typeIndex(context.args.at(0), types);
    const std::string& state = context.args.at(1);
    if (state != "on" && state != "off")
        throw UsageError("\"" + state + "\" is neither on nor off");
    types[index].Checked = state == "on" ? 1 : 0;
    saveTypes(context, types);
    context.out << (state == "on" ? "Ticked " : "Cleared ") << index + 1 << ": "
                << shown(context, types[index].Pattern) << "\n";
    return 0;
}

int listDrives(CommandContext& context)
{
    const std::vector<JunkDrive> drives = ListJunkDrives(context.session);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().key("drives").beginArray();
        for (const JunkDrive& drive : drives)
            json.beginObject()
                .field("root", drive.root)
                .field("name", drive.name)
                .field("freeMiB", drive.freeMiB)
                .field("sizeMiB", drive.sizeMiB)
                .endObject();
        out << json.endArray().endObject().text() << "\n";
        return 0;
    }
    for (const JunkDrive& drive : drives)
        out << drive.root << "  " << drive.name << "  " << drive.freeMiB << " MiB free of "
            << drive.sizeMiB << " MiB\n";
    return 0;
}

/// The drives of --drives (all listed ones when it is not given), in drive-letter order as
/// the drive tree has them.
std::vector<std::string> selectedDrives(CommandContext& context)
{
    std::vector<std::string> listed;
    for (const JunkDrive& drive : ListJunkDrives(context.session))
        listed.push_back(drive.root);
    const std::optional<std::string> given = context.args.value("drives");
    if (!given)
        return listed;
    std::vector<bool> ticked(listed.size(), false);
    std::stringstream items(*given);
    std::string item;
    bool any = false;
    while (std::getline(items, item, ',')) {
        std::string root = item;
        if (!root.empty() && (root.back() == '\\' || root.back() == '/'))
            root.pop_back();
        if (root.size() == 1)
            root += ':';
        if (root.size() == 2)
            root[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
        const auto at = std::find(listed.begin(), listed.end(), root);
        if (at == listed.end()) {
            std::string names;
            for (const std::string& r : listed)
                names += (names.empty() ? "" : ", ") + r;
            throw UsageError("\"" + item + "\" is not one of the drives the cleaner lists (" +
                             names + ")");
        }
        ticked[static_cast<size_t>(at - listed.begin())] = true;
        any = true;
    }
    if (!any)
        throw UsageError("--drives needs drive letters such as C:,D:");
    std::vector<std::string> roots;
    for (size_t i = 0; i < listed.size(); ++i) {
        if (ticked[i])
            roots.push_back(listed[i]);
    }
    return roots;
}

class CollectedFinds : public JunkScanView
{
public:
    void clearFound() override { rows.clear(); }
    void addFound(const FoundJunkRow& row) override { rows.push_back(row); }
    std::vector<FoundJunkRow> rows;
};

/// The junk scan as the scan window runs it, on `roots`.
std::vector<FoundJunkRow> scanDrives(CommandContext& context, const std::vector<std::string>& roots)
{
    CollectedFinds finds;
    JunkScan scan(context.session, finds);
    const std::string error = scan.BeginScan();
    if (!error.empty()) {
        context.session.DiskScanState = kDiskScanStopped;
        throw CliError(error);
    }
    scan.ScanSelectedDrives(roots);
    return finds.rows;
}

int runScan(CommandContext& context)
{
    const std::vector<std::string> roots = selectedDrives(context);
    const std::vector<FoundJunkRow> found = scanDrives(context, roots);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().array("drives", roots).key("found").beginArray();
        for (const FoundJunkRow& row : found)
            json.beginObject()
                .key("number")
                .numberText(row.caption)
                .field("path", row.path)
                .endObject();
        out << json.endArray().endObject().text() << "\n";
        return 0;
    }
    for (const FoundJunkRow& row : found)
        out << std::right << std::setw(6) << row.caption << "  " << row.path << "\n";
    out << found.size() << " found on " << (roots.empty() ? std::string("no drive") : "");
    for (size_t i = 0; i < roots.size(); ++i)
        out << (i ? ", " : "") << roots[i];
    out << "\n";
    return 0;
}

class CollectedResults : public CleanView
{
public:
    int addResultRow(const std::string& junkFile) override
    {
        rows.push_back({junkFile, ""});
        return static_cast<int>(rows.size()) - 1;
    }
    void setResultStatus(int row, const std::string& status) override
    {
        rows[static_cast<size_t>(row)].second = status;
        reasons.resize(rows.size());
    }
    void setResultReason(int row, const std::string& reason) override
    {
        reasons.resize(rows.size());
        reasons[static_cast<size_t>(row)] = reason;
    }
    std::vector<std::pair<std::string, std::string>> rows;
    /// Why a row failed; empty for the others.
    std::vector<std::string> reasons;
};

/// The folder of --to as a path of the prefix; it must exist.
std::string moveFolder(CommandContext& context, const std::string& given)
{
    std::string folder = given;
    const bool windows =
        given.size() >= 2 && given[1] == ':' && std::isalpha(static_cast<unsigned char>(given[0]));
    if (!windows) {
        const std::optional<std::string> mapped = context.session.files().dosFileName(given);
        if (!mapped)
            throw CliError(given + " is on none of the prefix's drives");
        folder = *mapped;
    }
    if (!context.session.files().directoryExists(folder))
        throw CliError("The folder " + given + " does not exist");
    return folder;
}

int runClean(CommandContext& context)
{
    const std::optional<std::string> modeText = context.args.value("mode");
    if (!modeText)
        throw UsageError("clean needs --mode delete, recycle or move");
    CleanMode mode;
    if (*modeText == "delete")
        mode = CleanMode::Delete;
    else if (*modeText == "recycle")
        mode = CleanMode::Recycle;
    else if (*modeText == "move")
        mode = CleanMode::Move;
    else
        throw UsageError("\"" + *modeText + "\" is not a mode (delete, recycle or move)");
    const std::optional<std::string> to = context.args.value("to");
    if (mode == CleanMode::Move && !to)
        throw UsageError("--mode move needs --to FOLDER");
    if (mode != CleanMode::Move && to)
        throw UsageError("--to goes with --mode move only");
    // Everything is checked before anything changes.
    const std::string folder = to ? moveFolder(context, *to) : std::string();
    const std::vector<std::string> roots = selectedDrives(context);

    std::vector<FoundJunkRow> found = scanDrives(context, roots);
    context.session.DiskScanState = kDiskScanCleaning;
    CollectedResults results;
    const CleanOutcome outcome = CleanJunkFiles(context.session, found, mode, folder, results);
    if (!outcome.refused.empty())
        throw CliError("Nothing was cleaned. " + outcome.refused);

    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().field("mode", *modeText).key("rows").beginArray();
        results.reasons.resize(results.rows.size());
        for (size_t i = 0; i < results.rows.size(); ++i) {
            json.beginObject()
                .field("path", results.rows[i].first)
                .field("status", results.rows[i].second);
            if (!results.reasons[i].empty())
                json.field("reason", results.reasons[i]);
            json.endObject();
        }
        out << json.endArray().endObject().text() << "\n";
    } else {
        results.reasons.resize(results.rows.size());
        for (size_t i = 0; i < results.rows.size(); ++i) {
            const auto& [path, status] = results.rows[i];
            out << std::left << std::setw(15) << status << path;
            if (!results.reasons[i].empty())
                out << "  (" << results.reasons[i] << ")";
            out << "\n";
        }
        out << outcome.treated << " treated, " << outcome.failed << " failed\n";
    }
    return outcome.failed > 0 ? 1 : 0;
}

} // namespace

std::vector<Command> junkCommands()
{
    return {
        {"junk types",
         "",
         "the junk file types of C:\\Program Files\\Tidewell\\FileList\n(the built-in ones "
         "when it is missing)",
         {kJsonOption},
         0,
         0,
         listTypes},
        {"junk types add",
         "PATTERN DESCRIPTION",
         "add a ticked type at the end of the list",
         {},
         2,
         2,
         addType},
        {"junk types remove", "N", "remove type N (counted from 1)", {}, 1, 1, removeType},
        {"junk types check", "N on|off", "tick or clear type N", {}, 2, 2, checkType},
        {"junk drives", "", "the fixed drives the cleaner offers", {kJsonOption}, 0, 0, listDrives},
        {"junk scan",
         "",
         "search the drives (all listed ones by default) for\nthe ticked junk types",
         {kDrivesOption, kJsonOption},
         0,
         0,
         runScan},
        {"junk clean",
         "",
         "scan, then treat every find as --mode says (needed);\nFOLDER is a path of the "
         "prefix or of the host",
         {{"mode", "delete|recycle|move"}, {"to", "FOLDER"}, kDrivesOption, kJsonOption},
         0,
         0,
         runClean},
    };
}

} // namespace tw::cli
