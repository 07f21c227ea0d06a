#include "ScanCommand.h"

#include "CliError.h"
#include "Json.h"
#include "platform/wine/PrefixLocator.h"
#include "platform/wine/WinePrefix.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "scanner/ScanDriver.h"
#include "scanner/sections/SmallSections.h"

#include <iomanip>
#include <sstream>

namespace tw::cli {

const char* const kScanUsage =
    "  scan [--sections LIST] [--json]   scan the registry; LIST is section numbers split\n"
    "                                    by commas, or all (the default)\n";

namespace {

SectionSelection parseSectionsText(const std::string& list)
{
    SectionSelection selection{};
    if (list == "all") {
        selection.fill(true);
        return selection;
    }
    std::stringstream items(list);
    std::string item;
    bool any = false;
    while (std::getline(items, item, ',')) {
        size_t used = 0;
        int number = -1;
        try {
            number = std::stoi(item, &used);
        } catch (const std::exception&) {
        }
        if (used != item.size() || number < 0 || number >= kSectionCountTotal)
            throw UsageError("\"" + item + "\" is not a section number (0 to 14)");
        selection[static_cast<size_t>(number)] = true;
        any = true;
    }
    if (!any)
        throw UsageError("--sections needs section numbers or all");
    return selection;
}

void printPlain(const wine::WinePrefix& prefix, const OutcomeGrid& grid, const ScanResult& result,
                const SectionSelection& selection, std::ostream& out)
{
    out << "Prefix: " << prefix.hostPath() << "\n\n";
    out << std::left << std::setw(38) << "Section Name" << std::setw(10) << "Problems"
        << "Status\n";
    for (const OutcomeRow& row : grid.rows)
        out << std::setw(38) << row.caption << std::setw(10) << row.problems << row.status << "\n";
    out << "\n" << result.message << "\n";
    for (const SectionInfo& section : Sections()) {
        const TRegistryContents& contents = SectionContents[static_cast<size_t>(section.number)];
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

void printJson(const wine::WinePrefix& prefix, const OutcomeGrid& grid, const ScanResult& result,
               const SectionSelection& selection, std::ostream& out)
{
    int total = 0;
    out << "{\"prefix\": " << jsonString(prefix.hostPath())
        << ", \"result\": " << jsonString(result.message);
    std::string rows;
    for (const OutcomeRow& row : grid.rows) {
        if (row.isTotal) {
            total = std::stoi(row.problems);
            continue;
        }
        if (!rows.empty())
            rows += ", ";
        rows += "{\"section\": " + row.section + ", \"caption\": " + jsonString(row.caption) +
                ", \"problems\": " + jsonString(row.problems) +
                ", \"status\": " + jsonString(row.status) + "}";
    }
    out << ", \"total\": " << total << ", \"rows\": [" << rows << "], \"records\": {";
    bool firstSection = true;
    for (const SectionInfo& section : Sections()) {
        if (!selection[static_cast<size_t>(section.number)])
            continue;
        out << (firstSection ? "" : ", ") << "\"" << section.number << "\": [";
        firstSection = false;
        const TRegistryContents& contents = SectionContents[static_cast<size_t>(section.number)];
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

SectionSelection parseSectionList(const std::vector<std::string>& args)
{
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--sections")
            return parseSectionsText(args[i + 1]);
    }
    return parseSectionsText("all");
}

void prepareScan()
{
    const std::string addons = wine::dataDirectory() + "/addons/addon-list.txt";
    if (!LoadAddonList(addons))
        throw CliError("Cannot read the add-on list " + addons);
    ResetAppSettings();
    ReadSettings();
    ExcludedDrives.clear();
    BuildExcludedDrives(ExcludedDrives);
}

void runScanCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                    std::ostream& out)
{
    std::string list = "all";
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            json = true;
        else if (args[i] == "--sections" && i + 1 < args.size())
            list = args[++i];
        else if (args[i].rfind("--sections=", 0) == 0)
            list = args[i].substr(11);
        else
            throw UsageError("scan takes [--sections LIST] [--json]");
    }
    const SectionSelection selection = parseSectionsText(list);
    prepareScan();
    DetectPlatform();

    OutcomeGrid grid;
    ScanView view;
    const ScanResult result = ScanSections(selection, grid, view);
    if (json)
        printJson(prefix, grid, result, selection, out);
    else
        printPlain(prefix, grid, result, selection, out);
}

} // namespace tw::cli
