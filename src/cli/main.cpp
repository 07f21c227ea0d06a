// tidewell-cli: Tidewell's command line.
#include "CliError.h"
#include "CommandLine.h"
#include "app/SessionStart.h"
#include "platform/MemoryPages.h"

#include <iostream>

#ifdef _WIN32
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

int run(int argc, char** argv)
{
    const tw::cli::ParsedCommandLine line =
        tw::cli::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.command) {
        tw::cli::printUsage(std::cout, line.help);
        return 0;
    }
    const bool onHost = line.command->runOnHost &&
                        (!line.command->run || (!line.command->hostOption.empty() &&
                                                line.args.has(line.command->hostOption)));
    if (onHost)
        return line.command->runOnHost(line.args, std::cout, std::cerr);
    const std::unique_ptr<tw::app::StartedSession> started =
        tw::app::startSession({.prefix = line.prefix,
                               .settings = tw::app::SettingsMode::Read,
                               .changesRegistry = line.command->changesRegistry});
    // Said once, before the command's own output.
    for (const std::string& problem : started->settingsProblems)
        std::cerr << "tidewell-cli: " << problem << "\n";
    tw::cli::CommandContext context{*started, started->session(), line.args, std::cout,
                                    std::cerr};
    return line.command->run(context);
}

} // namespace

int main(int argc, char** argv)
{
    tw::platform::preferLargeMemoryPages();
#ifdef _WIN32
    // The same bytes as on Linux: UTF-8 (the manifest makes it the process's code page), and
    // line ends as written, so that exports and JSON piped on are the same.
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    try {
        return run(argc, argv);
    } catch (const tw::cli::UsageError& e) {
        std::cerr << "tidewell-cli: " << e.what() << " (see tidewell-cli --help)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "tidewell-cli: " << e.what() << "\n";
        return 1;
    }
}
