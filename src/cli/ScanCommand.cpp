#include "ScanCommand.h"

#include "CliError.h"
#include "Json.h"
#include "app/Prefixes.h"
#include "app/SessionStart.h"
#include "platform/TextCodec.h"

#include <array>
#include <iomanip>
#include <optional>
#include <sstream>

namespace tw::cli {

namespace {

SectionSelection parseSectionsText(const std::string& list)
{
    SectionSelection selection{};
    if (platform::equalNoCase(list, "all")) {
        selection.fill(true);
        return selection;
    }
    std::stringstream items(list);
    std::string item;
    bool any = false;
    while (std::getline(items, item, ',')) {
        selection[parseNumber(item, 0, kSectionCountTotal - 1, "a section number")] = true;
        any = true;
    }
    if (!any)
        throw UsageError("--sections needs section numbers or all");
    return selection;
}

void printPlain(const Session& session, const std::string& prefixPath, const OutcomeGrid& grid,
                const ScanResult& result, const SectionSelection& selection, std::ostream& out)
{
    out << "Prefix: " << prefixPath << "\n\n";
    out << std::left << std::setw(38) << "Section Name" << std::setw(10) << "Problems"
        << "Status\n";
    for (const OutcomeRow& row : grid.rows)
        out << std::setw(38) << row.caption << std::setw(10) << row.problemsText()
            << row.statusText() << "\n";
    out << "\n" << result.message << "\n";
    if (result.ignored > 0)
        out << result.ignored << " ignored\n";
    for (const SectionInfo& section : Sections()) {
        const TRegistryContents& contents =
            session.SectionContents[static_cast<size_t>(section.number)];
        if (!selection[static_cast<size_t>(section.number)] || contents.Count() == 0)
            continue;
        out << "\n" << section.caption << " (" << contents.Count() << ")\n";
        for (int i = 0; i < contents.Count(); ++i) {
            const TContent& r = contents.Items(i).Content;
            out << "  [" << (r.Checked ? 'x' : ' ') << "] " << r.KeyPath << " | " << r.ItemName
                << " | " << r.ValueName << " | " << r.ValueData << "\n";
        }
    }
}

void printJson(const Session& session, const std::string& prefixPath, const OutcomeGrid& grid,
               const ScanResult& result, const SectionSelection& selection, std::ostream& out)
{
    int total = 0;
    for (const OutcomeRow& row : grid.rows)
        if (row.isTotal)
            total = row.problems.value_or(0);
    JsonWriter json;
    json.beginObject()
        .field("prefix", prefixPath)
        .field("result", result.message)
        .field("total", total)
        .field("ignored", result.ignored)
        .key("rows")
        .beginArray();
    for (const OutcomeRow& row : grid.rows) {
        if (row.isTotal)
            continue;
        json.beginObject()
            .field("section", row.section)
            .field("caption", row.caption)
            .field("problems", row.problemsText())
            .field("status", row.statusText())
            .endObject();
    }
    json.endArray().key("records").beginObject();
    for (const SectionInfo& section : Sections()) {
        if (!selection[static_cast<size_t>(section.number)])
            continue;
        json.key(std::to_string(section.number)).beginArray();
        const TRegistryContents& contents =
            session.SectionContents[static_cast<size_t>(section.number)];
        for (int i = 0; i < contents.Count(); ++i) {
            const TContent& r = contents.Items(i).Content;
            json.beginObject()
                .field("checked", r.Checked)
                .field("keyPath", r.KeyPath)
                .field("itemName", r.ItemName)
                .field("valueName", r.ValueName)
                .field("valueData", r.ValueData)
                .endObject();
        }
        json.endArray();
    }
    out << json.endObject().endObject().text() << "\n";
}

} // namespace

SectionSelection sectionSelection(const Arguments& args)
{
    return parseSectionsText(args.value("sections").value_or("all"));
}

void requireAddonList(const app::StartedSession& started)
{
    if (!started.addonListLoaded)
        throw CliError("Cannot read the add-on list " + app::addonListPath());
}

namespace {

int runScan(CommandContext& context)
{
    const SectionSelection selection = sectionSelection(context.args);
    requireAddonList(context.started);
    OutcomeGrid grid;
    ScanView view;
    const ScanResult result = ScanSections(context.session, selection, grid, view);
    if (context.args.has("json"))
        printJson(context.session, context.started.prefixPath(), grid, result, selection,
                  context.out);
    else
        printPlain(context.session, context.started.prefixPath(), grid, result, selection,
                   context.out);
    return 0;
}

/// One prefix's outcome in a scan of them all: problems per section, or why it could not be
/// scanned.
struct PrefixScanRow
{
    const platform::FoundPrefix* prefix = nullptr;
    /// Problems per section number; empty where the section did not run.
    std::array<std::optional<int>, kSectionCountTotal> problems{};
    int total = 0;
    std::string error;
};

PrefixScanRow scanOnePrefix(const platform::FoundPrefix& prefix, const SectionSelection& selection)
{
    PrefixScanRow row{&prefix, {}, 0, {}};
    try {
        // A preview: the scan reads the prefix and nothing of it is ever written.
        const std::unique_ptr<app::StartedSession> started =
            app::startSession({.prefix = prefix.path, .preview = true});
        requireAddonList(*started);
        OutcomeGrid grid;
        ScanView view;
        ScanSections(started->session(), selection, grid, view);
        for (const OutcomeRow& outcome : grid.rows) {
            if (outcome.isTotal)
                row.total = outcome.problems.value_or(0);
            else if (outcome.section >= 0 && outcome.section < kSectionCountTotal)
                row.problems[static_cast<size_t>(outcome.section)] = outcome.problems;
        }
    } catch (const std::exception& e) {
        row.error = e.what();
    }
    return row;
}

void printAllJson(const std::vector<PrefixScanRow>& rows, std::ostream& out)
{
    JsonWriter json;
    json.beginObject().key("prefixes").beginArray();
    for (const PrefixScanRow& row : rows) {
        json.beginObject()
            .field("name", row.prefix->name)
            .field("path", row.prefix->path)
            .field("source", row.prefix->source);
        if (!row.error.empty()) {
            json.field("error", row.error).endObject();
            continue;
        }
        json.field("total", row.total).key("sections").beginObject();
        for (size_t section = 0; section < row.problems.size(); ++section)
            if (row.problems[section])
                json.field(std::to_string(section), *row.problems[section]);
        json.endObject().endObject();
    }
    out << json.endArray().endObject().text() << "\n";
}

void printAllPlain(const std::vector<PrefixScanRow>& rows, const SectionSelection& selection,
                   std::ostream& out)
{
    out << std::left << std::setw(30) << "Prefix" << std::setw(13) << "Source" << std::right
        << std::setw(6) << "Total";
    for (const SectionInfo& section : Sections()) {
        if (selection[static_cast<size_t>(section.number)])
            out << std::setw(4) << section.number;
    }
    out << "\n";
    for (const PrefixScanRow& row : rows) {
        out << std::left << std::setw(30) << row.prefix->name << std::setw(13) << row.prefix->source
            << std::right;
        if (!row.error.empty()) {
            out << "  not scanned: " << row.error << "\n";
            continue;
        }
        out << std::setw(6) << row.total;
        for (const SectionInfo& section : Sections()) {
            if (!selection[static_cast<size_t>(section.number)])
                continue;
            const std::optional<int>& count = row.problems[static_cast<size_t>(section.number)];
            out << std::setw(4) << (count ? std::to_string(*count) : "-");
        }
        out << "\n";
    }
    out << "\nSections:\n";
    for (const SectionInfo& section : Sections()) {
        if (!selection[static_cast<size_t>(section.number)])
            continue;
        std::string caption(section.caption);
        caption.erase(caption.find_last_not_of(' ') + 1);
        out << std::setw(4) << section.number << "  " << caption << "\n";
    }
}

int runScanAll(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const SectionSelection selection = sectionSelection(args);
    const platform::PrefixList list = app::findPrefixes();
    for (const std::string& warning : list.warnings)
        err << "tidewell-cli: skipped " << warning << "\n";
    std::vector<PrefixScanRow> rows;
    for (const platform::FoundPrefix& prefix : list.prefixes)
        rows.push_back(scanOnePrefix(prefix, selection));
    if (args.has("json"))
        printAllJson(rows, out);
    else
        printAllPlain(rows, selection, out);
    return 0;
}

} // namespace

std::vector<Command> scanCommands()
{
    return {{"scan",
             "",
             "scan the registry as the window does; LIST is section\nnumbers split by commas, "
             "or all (the default);\n--all-prefixes: one row per prefix found",
             {kSectionsOption, kJsonOption, {"all-prefixes", ""}},
             0,
             0,
             runScan,
             false,
             runScanAll,
             "all-prefixes"}};
}

} // namespace tw::cli
