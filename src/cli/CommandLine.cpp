#include "CommandLine.h"

#include "CliError.h"

#include <algorithm>

namespace tw::cli {

namespace {

constexpr OptionSpec kPrefixOption{"prefix", "DIR"};
constexpr size_t kSummaryColumn = 38;

std::string groupOf(std::string_view name)
{
    return std::string(name.substr(0, name.find(' ')));
}

std::vector<const Command*> rowsOfGroup(const std::string& group)
{
    std::vector<const Command*> rows;
    for (const Command& row : commandTable()) {
        if (groupOf(row.name) == group)
            rows.push_back(&row);
    }
    return rows;
}

const Command* rowNamed(const std::vector<const Command*>& group, const std::string& name)
{
    for (const Command* row : group) {
        if (row->name == name)
            return row;
    }
    return nullptr;
}

/// The row named by the first one, two or three words; `used` says how many it took.
const Command& findCommand(const std::vector<std::string>& words, size_t& used)
{
    const std::string first = words.front();
    const std::vector<const Command*> group = rowsOfGroup(first);
    if (group.empty())
        throw UsageError("unknown command \"" + first + "\"");
    if (const Command* row = rowNamed(group, first)) {
        used = 1;
        return *row;
    }
    const bool verbGiven = words.size() > 1 && words[1].rfind("--", 0) != 0;
    if (verbGiven) {
        // A verb of a verb ("junk types add"), else the verb itself ("junk types").
        const std::string two = first + " " + words[1];
        const bool thirdGiven = words.size() > 2 && words[2].rfind("--", 0) != 0;
        if (thirdGiven) {
            if (const Command* row = rowNamed(group, two + " " + words[2])) {
                used = 3;
                return *row;
            }
        }
        if (const Command* row = rowNamed(group, two)) {
            std::string verbs;
            for (const Command* other : group) {
                if (other->name.rfind(two + " ", 0) == 0)
                    verbs += (verbs.empty() ? "" : ", ") +
                             std::string(other->name.substr(two.size() + 1));
            }
            if (thirdGiven && !verbs.empty())
                throw UsageError("unknown " + two + " command \"" + words[2] + "\" (" + verbs +
                                 ")");
            used = 2;
            return *row;
        }
    }
    if (!verbGiven) {
        for (const Command* row : group) {
            if (row->groupDefault) {
                used = 1;
                return *row;
            }
        }
    }
    std::string verbs;
    for (const Command* row : group)
        verbs += (verbs.empty() ? "" : ", ") + std::string(row->name.substr(first.size() + 1));
    if (verbGiven)
        throw UsageError("unknown " + first + " command \"" + words[1] + "\" (" + verbs + ")");
    throw UsageError(first + " needs a command: " + verbs);
}

std::string synopsisOf(const Command& row)
{
    std::string text(row.name);
    if (!row.synopsis.empty())
        text += " " + std::string(row.synopsis);
    for (const OptionSpec& option : row.options) {
        text += " [--" + std::string(option.name);
        if (!option.valueName.empty())
            text += " " + std::string(option.valueName);
        text += "]";
    }
    return text;
}

bool asksForHelp(const std::vector<std::string>& words)
{
    for (const std::string& word : words) {
        if (word == "--")
            return false;
        if (word == "--help" || word == "-h")
            return true;
    }
    return false;
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& words)
{
    ParsedCommandLine parsed;
    size_t at = 0;
    // Options before the command word belong to the program.
    while (at < words.size() && words[at].rfind("-", 0) == 0) {
        const std::string& word = words[at];
        if (word == "--help" || word == "-h") {
            return parsed;
        } else if (word == "--prefix") {
            if (at + 1 >= words.size())
                throw UsageError("--prefix needs a folder");
            parsed.prefix = words[at + 1];
            at += 2;
        } else if (word.rfind("--prefix=", 0) == 0) {
            parsed.prefix = word.substr(9);
            ++at;
        } else {
            throw UsageError("unknown option " + word);
        }
    }
    std::vector<std::string> rest(words.begin() + static_cast<long>(at), words.end());
    if (rest.empty())
        rest.push_back("info");

    size_t used = 0;
    if (asksForHelp(rest)) {
        const std::vector<const Command*> group = rowsOfGroup(rest.front());
        if (group.empty())
            throw UsageError("unknown command \"" + rest.front() + "\"");
        try {
            const Command& row = findCommand(rest, used);
            // The group word alone asks about the whole group, not its default row.
            if (row.name.find(' ') != std::string_view::npos && used == 1)
                parsed.help = group;
            else
                parsed.help.push_back(&row);
        } catch (const UsageError&) {
            parsed.help = group;
        }
        return parsed;
    }
    const Command& command = findCommand(rest, used);
    std::vector<OptionSpec> options = command.options;
    // A command with a --prefix of its own (split) takes the Wine prefix before its name only.
    const bool ownPrefix = std::any_of(options.begin(), options.end(), [](const OptionSpec& o) {
        return o.name == kPrefixOption.name;
    });
    if (!ownPrefix)
        options.push_back(kPrefixOption);
    parsed.args = Arguments::parse(
        std::vector<std::string>(rest.begin() + static_cast<long>(used), rest.end()), options);
    if (parsed.args.count() < command.minArguments || parsed.args.count() > command.maxArguments)
        throw UsageError("usage: tidewell-cli " + synopsisOf(command));
    if (const std::optional<std::string> prefix = parsed.args.value("prefix"); prefix && !ownPrefix)
        parsed.prefix = prefix;
    if (!command.hostOption.empty() && parsed.args.has(command.hostOption) && parsed.prefix)
        throw UsageError("--" + std::string(command.hostOption) +
                         " works on every prefix found: give no --prefix");
    parsed.command = &command;
    return parsed;
}

void printUsage(std::ostream& out, const std::vector<const Command*>& rows)
{
    std::vector<const Command*> shown = rows;
    if (shown.empty()) {
#ifdef _WIN32
        out << "Usage: tidewell-cli COMMAND ...\n"
               "Works on this Windows itself (--prefix names a Wine prefix on Linux).\n"
               "Commands (each takes --help):\n";
#else
        out << "Usage: tidewell-cli [--prefix DIR] COMMAND ...\n"
               "The prefix is DIR (or the name or Steam app id of one that \"prefixes\" lists), "
               "else $WINEPREFIX,\nelse ~/.wine, else the built-in demo prefix.\n"
               "Commands (each takes --help):\n";
#endif
        for (const Command& row : commandTable())
            shown.push_back(&row);
    } else {
        out << "Usage: tidewell-cli [--prefix DIR] " << groupOf(shown.front()->name) << " ...\n";
    }
    for (const Command* row : shown) {
        std::string left = "  " + synopsisOf(*row);
        std::string_view summary = row->summary;
        bool firstLine = true;
        if (left.size() + 2 > kSummaryColumn) {
            out << left << "\n";
            left.clear();
        }
        while (firstLine || !summary.empty()) {
            const size_t end = summary.find('\n');
            left.resize(kSummaryColumn, ' ');
            out << left << summary.substr(0, end) << "\n";
            summary = end == std::string_view::npos ? std::string_view() : summary.substr(end + 1);
            left.clear();
            firstLine = false;
        }
    }
}

} // namespace tw::cli
