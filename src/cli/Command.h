// The command table of tidewell-cli: one row per command, each with its usage and its run.
#pragma once

#include "Arguments.h"

#include <ostream>
#include <string_view>
#include <vector>

namespace tw {
class Session;
}
namespace tw::app {
class StartedSession;
}

namespace tw::cli {

/// What a command works with.
struct CommandContext
{
    app::StartedSession& started;
    Session& session;
    const Arguments& args;
    std::ostream& out;
    std::ostream& err;
};

struct Command
{
    /// One word, a word and a verb ("reg query"), or a verb of a verb ("junk types add").
    std::string_view name;
    /// The words after the name, as the usage shows them ("KEY [NAME]").
    std::string_view synopsis;
    /// What it does; "\n" starts another help line.
    std::string_view summary;
    std::vector<OptionSpec> options;
    size_t minArguments = 0;
    size_t maxArguments = 0;
    /// Returns the exit status; throws CliError or UsageError.
    int (*run)(CommandContext& context) = nullptr;
    /// Runs when the first word of the name is given alone ("backups").
    bool groupDefault = false;
    /// For a command on host files alone, which runs without opening the Wine prefix (a
    /// missing or damaged one does not stop it); `run` is null then.
    int (*runOnHost)(const Arguments& args, std::ostream& out, std::ostream& err) = nullptr;
    /// When this option is given, `runOnHost` runs instead of `run` (scan --all-prefixes opens
    /// each prefix itself).
    std::string_view hostOption = {};
    /// Changes the registry: the prefix is opened for one writer at a time.
    bool changesRegistry = false;
};

/// `command` marked as one that changes the registry.
inline Command changingRegistry(Command command)
{
    command.changesRegistry = true;
    return command;
}

/// Every command, in the order --help lists them.
const std::vector<Command>& commandTable();

/// The rows a command file adds to the table.
std::vector<Command> infoCommands();
std::vector<Command> regCommands();
std::vector<Command> scanCommands();
std::vector<Command> repairCommands();
std::vector<Command> backupCommands();
std::vector<Command> junkCommands();
std::vector<Command> settingsCommands();
std::vector<Command> ignoreCommands();
std::vector<Command> updateCommands();
std::vector<Command> processesCommands();
std::vector<Command> browserCommands();
std::vector<Command> splitterCommands();
std::vector<Command> startupCommands();
std::vector<Command> programsCommands();
std::vector<Command> dllFixCommands();
std::vector<Command> historyCommands();
std::vector<Command> prefixesCommands();

/// "--json" and "--sections LIST", shared by the commands that take them.
inline constexpr OptionSpec kJsonOption{"json", ""};
inline constexpr OptionSpec kSectionsOption{"sections", "LIST"};

} // namespace tw::cli
