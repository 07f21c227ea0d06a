#include "WineHelperRun.h"

#include "WinePaths.h"
#include "WineServer.h"
#include "platform/Programs.h"
#include "platform/Storage.h"

namespace tw::wine {

std::string quotedArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each one is doubled.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

HelperOutput runHelper(platform::Programs& programs, const WinePathMapper& paths,
                       const std::string& helper, const std::vector<std::string>& arguments)
{
    const std::optional<std::string> program = paths.toWindows(helper);
    if (!program)
        throw platform::UrlCacheError(helper +
                                      " lies on none of the prefix's drives, so Wine cannot "
                                      "start it (Wine's Z: drive maps the host's files)");
    std::string line = quotedArgument(*program);
    for (const std::string& argument : arguments)
        line += " " + quotedArgument(argument);
    const bool wineRan = runningWineserver(paths.prefixDir()).has_value();
    platform::ProgramStart start;
    start.commandLine = line;
    start.show = platform::ShowCommand::Hide;
    start.wait = true;
    start.captureOutput = true;
    const platform::ProgramRun run = programs.start(start);
    if (!run.started())
        throw platform::UrlCacheError(run.error);
    if (!wineRan) {
        try {
            programs.waitUntilIdle();
        } catch (const platform::StorageError& e) {
            throw platform::UrlCacheError(e.what());
        }
    }
    return {static_cast<int>(run.exitCode), run.output};
}

} // namespace tw::wine
