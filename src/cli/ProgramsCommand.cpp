// tidewell-cli programs: the uninstall entries, their uninstallers and their removal.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "tools/installed/InstalledPrograms.h"

namespace tw::cli {

namespace {

const InstalledProgram& entryAt(const std::string& text, const std::vector<InstalledProgram>& list)
{
    return list[parseNumber(text, 1, list.size(), "an entry number") - 1];
}

int listPrograms(CommandContext& context)
{
    const std::vector<InstalledProgram> programs = ListInstalledPrograms(context.session);
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().key("programs").beginArray();
        for (const InstalledProgram& program : programs)
            json.beginObject()
                .field("name", program.name)
                .field("uninstallString", program.uninstallString)
                .field("key", program.keyPath)
                .field("root", RootKeyName(program.root))
                .field("view", registryViewName(program.view))
                .endObject();
        out << json.endArray().endObject().text() << "\n";
        return 0;
    }
    for (size_t i = 0; i < programs.size(); ++i)
        out << i + 1 << ". " << withViewMark(programs[i].name, programs[i].view) << "\n   "
            << programs[i].uninstallString << "\n";
    if (programs.empty())
        out << "No uninstall entries.\n";
    return 0;
}

int uninstallProgram(CommandContext& context)
{
    const std::vector<InstalledProgram> programs = ListInstalledPrograms(context.session);
    const InstalledProgram& program = entryAt(context.args.at(0), programs);
    const std::string error = StartUninstaller(context.session, program).error;
    if (!error.empty())
        throw CliError(error);
    context.out << "Started the uninstaller of " << program.name << ": " << program.uninstallString
                << "\n";
    return 0;
}

int removeProgram(CommandContext& context)
{
    const std::vector<InstalledProgram> programs = ListInstalledPrograms(context.session);
    const InstalledProgram& program = entryAt(context.args.at(0), programs);
    const RemoveOutcome outcome = RemoveInstalledEntry(context.session, program);
    if (!outcome.error.empty())
        throw CliError(outcome.error);
    context.out << "Removed the entry of " << withViewMark(program.name, program.view) << " ("
                << RootKeyName(program.root) << program.keyPath << ")\n";
    if (!outcome.backupPath.empty())
        context.out << "Backup: " << outcome.backupPath << "\n";
    return 0;
}

} // namespace

std::vector<Command> programsCommands()
{
    return {
        {"programs list",
         "",
         "the programs registered for uninstallation on the machine (both\nregistry views) and for "
         "the user",
         {kJsonOption},
         0,
         0,
         listPrograms,
         true},
        {"programs uninstall",
         "N",
         "start the uninstaller of entry N (counted from 1) with wine,\nwithout waiting for it",
         {},
         1,
         1,
         uninstallProgram},
        changingRegistry({"programs remove",
                          "N",
                          "delete entry N from the registry (its backup restores it)",
                          {},
                          1,
                          1,
                          removeProgram}),
    };
}

} // namespace tw::cli
