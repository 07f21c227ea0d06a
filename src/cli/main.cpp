// tidewell-cli: Tidewell's command line.
#include "CliError.h"
#include "InfoCommand.h"
#include "RegCommand.h"
#include "RepairCommand.h"
#include "ScanCommand.h"
#include "platform/Platform.h"
#include "platform/wine/PrefixLocator.h"
#include "platform/wine/WinePrefix.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

void printUsage(std::ostream& out)
{
    out << "Usage: tidewell-cli [--prefix DIR] COMMAND ...\n"
           "The prefix is DIR, else $WINEPREFIX, else ~/.wine, else the built-in demo prefix.\n"
           "Commands:\n"
           "  info                              the prefix, its Windows version and drives\n"
        << tw::cli::kRegUsage << tw::cli::kScanUsage << tw::cli::kRepairUsage;
}

int run(int argc, char** argv)
{
    std::optional<std::string> prefixArg;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--prefix") {
            if (i + 1 >= argc)
                throw tw::cli::UsageError("--prefix needs a folder");
            prefixArg = argv[++i];
        } else if (arg.rfind("--prefix=", 0) == 0) {
            prefixArg = arg.substr(9);
        } else if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            return 0;
        } else {
            args.push_back(arg);
        }
    }
    if (args.empty())
        args.push_back("info");

    const tw::wine::PrefixChoice choice = tw::wine::choosePrefix(prefixArg);
    tw::wine::WinePrefix prefix(choice.path);
    tw::platform::setCurrent(&prefix.platform());

    int status = 0;
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "info")
        tw::cli::runInfoCommand(prefix, choice.source, std::cout);
    else if (command == "reg")
        tw::cli::runRegCommand(prefix, args, std::cout);
    else if (command == "scan")
        tw::cli::runScanCommand(prefix, args, std::cout);
    else if (command == "repair")
        status = tw::cli::runRepairCommand(prefix, args, std::cout, std::cerr);
    else if (command == "backups")
        tw::cli::runBackupsCommand(prefix, args, std::cout);
    else
        throw tw::cli::UsageError("unknown command \"" + command + "\"");
    tw::platform::setCurrent(nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
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
