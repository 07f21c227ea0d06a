#include "ScanCommand.h"

#include "CliError.h"
#include "Json.h"
#include "app/SessionStart.h"
#include "platform/TextCodec.h"
#include "platform/wine/WinePrefix.h"

#include <iomanip>
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

void printPlain(const Session& session, const wine::WinePrefix& prefix, const OutcomeGrid& grid,
                const ScanResult& result, const SectionSelection& selection, std::ostream& out)
{
    out << "Prefix: " << prefix.hostPath() << "\n\n";
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

void printJson(const Session& session, const wine::WinePrefix& prefix, const OutcomeGrid& grid,
               const ScanResult& result, const SectionSelection& selection, std::ostream& out)
{
    int total = 0;
    out << "{\"prefix\": " << jsonString(prefix.hostPath())
        << ", \"result\": " << jsonString(result.message);
    std::string rows;
    for (const OutcomeRow& row : grid.rows) {
        if (row.isTotal) {
            total = row.problems.value_or(0);
            continue;
        }
        if (!rows.empty())
            rows += ", ";
        rows += "{\"section\": " + std::to_string(row.section) +
                ", \"caption\": " + jsonString(row.caption) +
                ", \"problems\": " + jsonString(row.problemsText()) +
                ", \"status\": " + jsonString(row.statusText()) + "}";
    }
    out << ", \"total\": " << total << ", \"ignored\": " << result.ignored << ", \"rows\": ["
        << rows << "], \"records\": {";
    bool firstSection = true;
    for (const SectionInfo& section : Sections()) {
        if (!selection[static_cast<size_t>(section.number)])
            continue;
        out << (firstSection ? "" : ", ") << "\"" << section.number << "\": [";
        firstSection = false;
        const TRegistryContents& contents =
            session.SectionContents[static_cast<size_t>(section.number)];
        for (int i = 0; i < contents.Count(); ++i) {
            const TContent& r = contents.Items(i).Content;
            out << (i ? ", " : "") << "{\"checked\": " << (r.Checked ? "true" : "false")
                << ", \"keyPath\": " << jsonString(r.KeyPath)
                << ", \"itemName\": " << jsonString(r.ItemName)
                << ", \"valueName\": " << jsonString(r.ValueName)
                << ", \"valueData\": " << jsonString(r.ValueData) << "}";
        }
        out << "]";
    }
    out << "}}\n";
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
        printJson(context.session, context.prefix, grid, result, selection, context.out);
    else
        printPlain(context.session, context.prefix, grid, result, selection, context.out);
    return 0;
}

} // namespace

std::vector<Command> scanCommands()
{
    return {{"scan",
             "",
             "scan the registry as the window does; LIST is section\nnumbers split by commas, "
             "or all (the default)",
             {kSectionsOption, kJsonOption},
             0,
             0,
             runScan}};
}

} // namespace tw::cli
