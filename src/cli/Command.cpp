#include "Command.h"

namespace tw::cli {

const std::vector<Command>& commandTable()
{
    static const std::vector<Command> table = [] {
        std::vector<Command> rows;
        for (auto* part :
             {infoCommands, prefixesCommands, regCommands, scanCommands, repairCommands,
              ignoreCommands,
              backupCommands, junkCommands, settingsCommands, updateCommands,
              // tools
              startupCommands,
              programsCommands,
              dllFixCommands,
              browserCommands,
              historyCommands,
              splitterCommands,
              processesCommands}) {
            std::vector<Command> more = part();
            rows.insert(rows.end(), std::make_move_iterator(more.begin()),
                        std::make_move_iterator(more.end()));
        }
        return rows;
    }();
    return table;
}

} // namespace tw::cli
