// tidewell-cli browser-repair: the browser repair items, run as the window's "Restore" runs them.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "PrefixWrites.h"
#include "platform/Files.h"
#include "registry/Session.h"
#include "tools/browser/BrowserRepair.h"
#include "tools/browser/BrowserRepairItems.h"

#include <sstream>

namespace tw::cli {

namespace {

/// The rows of --items (numbers counted from 1, separated by commas); all without it.
std::vector<bool> selectedItems(const Arguments& args)
{
    const size_t count = BrowserRepairItems().size();
    const std::optional<std::string> given = args.value("items");
    if (!given)
        return std::vector<bool>(count, true);
    std::vector<bool> checked(count, false);
    std::stringstream items(*given);
    std::string item;
    bool any = false;
    while (std::getline(items, item, ',')) {
        checked[parseNumber(item, 1, count, "an item number") - 1] = true;
        any = true;
    }
    if (!any)
        throw UsageError("--items needs item numbers such as 1,3");
    return checked;
}

class StatusRows : public BrowserRepairView
{
public:
    void setStatus(int row, const std::string& status) override
    {
        for (auto& [index, text] : rows) {
            if (index == row) {
                text = status;
                return;
            }
        }
        rows.push_back({row, status});
    }
    std::vector<std::pair<int, std::string>> rows;
};

int runBrowserRepair(CommandContext& context)
{
    const std::vector<bool> checked = selectedItems(context.args);
    requireWritable(context.session);
    StatusRows rows;
    const BrowserRepairRun run = RepairBrowser(context.session, checked, rows);
    if (!run.error.empty() && rows.rows.empty())
        throw CliError(run.error);

    std::optional<std::string> backupHost;
    if (run.backupPath)
        backupHost = context.session.files().unixFileName(*run.backupPath);
    const auto items = BrowserRepairItems();
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().field("backup", backupHost).key("rows").beginArray();
        for (const auto& [row, status] : rows.rows)
            json.beginObject()
                .field("name", items[static_cast<size_t>(row)].name)
                .field("status", status)
                .endObject();
        out << json.endArray().endObject().text() << "\n";
    } else {
        out << "Backup: " << (backupHost ? *backupHost : std::string("none")) << "\n";
        for (const auto& [row, status] : rows.rows)
            out << (status.empty() ? std::string("-") : status) << "  "
                << items[static_cast<size_t>(row)].name << "\n";
    }
    if (!run.error.empty()) {
        context.err << "tidewell-cli: " << run.error << "\n";
        return 1;
    }
    return 0;
}

} // namespace

std::vector<Command> browserCommands()
{
    return {changingRegistry(
        {"browser-repair",
         "",
         "write the undo backup, then run the browser repair items\n(--items: numbers "
         "counted from 1, such as 1,3; all by default)",
         {{"items", "LIST"}, kJsonOption},
         0,
         0,
         runBrowserRepair})};
}

} // namespace tw::cli
