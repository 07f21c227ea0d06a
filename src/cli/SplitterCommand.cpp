// tidewell-cli split and join: the file splitter on host files.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "tools/splitter/FileSplitter.h"

#include <iostream>
#include <limits>

namespace tw::cli {

namespace {

/// Prints nothing while the copy runs; a missing piece is warned about on standard error.
class QuietView : public SplitterView
{
public:
    explicit QuietView(std::ostream& err) : m_err(err) {}
    void setProgress(double, std::int64_t) override {}
    void pieceMissing(const std::string& path) override
    {
        m_err << "tidewell-cli: the file " << path << " could not be found; joined without it\n";
    }

private:
    std::ostream& m_err;
};

/// --size as a size list entry ("1.44M") or a number of bytes; 360K without it.
std::int64_t pieceSizeOf(const Arguments& args)
{
    const std::optional<std::string> given = args.value("size");
    if (!given)
        return kDefaultPieceSize;
    for (const PieceSizeChoice& choice : PieceSizeChoices()) {
        if (choice.bytes != kCustomPieceSize && choice.label == *given)
            return choice.bytes;
    }
    try {
        return static_cast<std::int64_t>(
            parseNumber(*given, 1, std::numeric_limits<std::int32_t>::max(), "a piece size"));
    } catch (const UsageError&) {
        throw UsageError("\"" + *given +
                         "\" is not a piece size (360K, 720K, 1.2M, 1.44M, 2.88M, 100M or a number "
                         "of bytes from 1 to 2147483647)");
    }
}

int runSplit(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::int64_t size = pieceSizeOf(args);
    QuietView view(err);
    const SplitOutcome outcome =
        SplitFile(args.at(0), args.value("prefix").value_or(std::string()), size, view);
    if (!outcome.ok)
        throw CliError("Nothing was split: " + outcome.error);
    if (args.has("json")) {
        JsonWriter json;
        json.beginObject().array("pieces", outcome.pieces).endObject();
        out << json.text() << "\n";
        return 0;
    }
    for (const std::string& piece : outcome.pieces)
        out << piece << "\n";
    out << outcome.pieces.size() << " pieces of " << size << " bytes\n";
    return 0;
}

int runJoin(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::optional<std::string> target = args.value("to");
    if (!target)
        throw UsageError("join needs --to FILE");
    // Checked whole first: a join without one of its pieces would replace the target with a
    // file that is too short.
    if (const std::string refusal = JoinListRefusal(args.positional()); !refusal.empty())
        throw CliError("Nothing was joined: " + refusal);
    QuietView view(err);
    const JoinOutcome outcome = JoinFiles(args.positional(), *target, view);
    if (!outcome.ok)
        throw CliError("Nothing was joined: " + outcome.error);
    out << "Joined " << args.count() - outcome.missing.size() << " of " << args.count()
        << " pieces into " << *target << "\n";
    return outcome.missing.empty() ? 0 : 1;
}

} // namespace

std::vector<Command> splitterCommands()
{
    return {
        {"split",
         "FILE",
         "cut a host file into pieces PREFIX000.spt, PREFIX001.spt, ...\n(PREFIX is FILE by "
         "default; --size 360K by default; the\nWine prefix goes before the command here)",
         {{"size", "360K|720K|1.2M|1.44M|2.88M|100M|BYTES"}, {"prefix", "PREFIX"}, kJsonOption},
         1,
         1,
         nullptr,
         false,
         runSplit},
        {"join",
         "PIECE...",
         "write the pieces, in the order given, into the FILE of --to\n(needed; replaced); "
         "pieces named NAME000.spt, NAME001.spt, ...\nmust follow on from 000; a missing "
         "piece refuses the join",
         {{"to", "FILE"}},
         1,
         1000000,
         nullptr,
         false,
         runJoin},
    };
}

} // namespace tw::cli
