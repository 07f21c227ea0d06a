// update check: downloads the version descriptor and compares it with the installed version.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "registry/Session.h"
#include "tools/update/UpdateCheck.h"

namespace tw::cli {

namespace {

const char* resultName(UpdateResult result)
{
    switch (result) {
    case UpdateResult::Newer:
        return "newer";
    case UpdateResult::Current:
        return "current";
    case UpdateResult::Failed:
        break;
    }
    return "failed";
}

int check(CommandContext& context)
{
    const std::string url =
        UpdateDescriptorUrl(context.session, context.args.value("url").value_or(""));
    const UpdateOutcome outcome = CheckForUpdate(context.session, url);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject()
            .field("result", resultName(outcome.result))
            .field("offered", outcome.offered)
            .field("installed", outcome.installed)
            .field("reason", outcome.reason)
            .field("url", nonEmpty(url))
            .endObject();
        out << json.text() << "\n";
    } else if (outcome.result == UpdateResult::Failed) {
        if (!url.empty())
            out << "Update check of " << url << " failed\n";
    } else {
        out << "Offered version:   " << outcome.offered << "\n"
            << "Installed version: " << outcome.installed << "\n"
            << (outcome.result == UpdateResult::Newer
                    ? "A newer version of Tidewell is available."
                    : "There are no updates available at this time.")
            << "\n";
    }
    if (outcome.result == UpdateResult::Failed)
        context.err << "tidewell-cli: the update check failed: " << outcome.reason << "\n";
    return outcome.result == UpdateResult::Failed ? 1 : 0;
}

} // namespace

std::vector<Command> updateCommands()
{
    return {{"update check",
             "",
             "download the version descriptor into C:\\Program Files\\Tidewell\\Update.ini\n"
             "and compare it with the installed version; URL is the update\nhost (default: the "
             "setting UpdateURL, else the build's; none:\nthe check fails and says how to set one)",
             {{"url", "URL"}, kJsonOption},
             0,
             0,
             check,
             true}};
}

} // namespace tw::cli
