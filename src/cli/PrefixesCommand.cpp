// tidewell-cli prefixes: the Wine prefixes the user's prefix managers know.
#include "Command.h"
#include "Json.h"
#include "app/Prefixes.h"
#include "platform/HostFiles.h"

#include <ctime>
#include <iomanip>
#include <iterator>
#include <sstream>

namespace tw::cli {

namespace {

std::string sizeText(std::uintmax_t bytes)
{
    const char* units[] = {"B", "KiB", "MiB", "GiB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(unit ? 1 : 0) << value << " " << units[unit];
    return text.str();
}

std::string timeText(std::int64_t seconds)
{
    if (seconds <= 0)
        return "-";
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm local = platform::localCalendarTime(t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

void printJson(const platform::PrefixList& list, std::ostream& out)
{
    JsonWriter json;
    json.beginObject().key("prefixes").beginArray();
    for (const platform::FoundPrefix& p : list.prefixes)
        json.beginObject()
            .field("name", p.name)
            .field("path", p.path)
            .field("source", p.source)
            .array("sources", p.sources)
            .field("steamAppId", p.steamAppId)
            .field("arch", p.arch)
            .field("windowsUser", p.windowsUser)
            .field("hiveBytes", p.hiveBytes)
            .field("lastChange", p.lastChange)
            .field("wineRunning", p.wineRunning)
            .endObject();
    json.endArray().array("warnings", list.warnings);
    out << json.endObject().text() << "\n";
}

void printPlain(const platform::PrefixList& list, std::ostream& out)
{
    if (list.prefixes.empty())
        out << "No Wine prefix found.\n";
    for (const platform::FoundPrefix& p : list.prefixes) {
        out << p.name << "  (" << p.source;
        if (!p.steamAppId.empty())
            out << " app " << p.steamAppId;
        out << ")\n  " << p.path << "\n  " << (p.arch.empty() ? "unknown" : p.arch) << ", user "
            << (p.windowsUser.empty() ? "-" : p.windowsUser) << ", hives " << sizeText(p.hiveBytes)
            << ", changed " << timeText(p.lastChange) << (p.wineRunning ? ", Wine running" : "")
            << "\n";
    }
    for (const std::string& warning : list.warnings)
        out << "Skipped: " << warning << "\n";
}

int runPrefixes(const Arguments& args, std::ostream& out, std::ostream&)
{
    const platform::PrefixList list = app::findPrefixes();
    if (args.has("json"))
        printJson(list, out);
    else
        printPlain(list, out);
    return 0;
}

} // namespace

std::vector<Command> prefixesCommands()
{
    Command row{"prefixes",
                "",
                "the Wine prefixes of Wine, Steam, Lutris, Bottles, Heroic,\nPlayOnLinux and "
                "Phoenicis; --prefix takes a name or app id",
                {kJsonOption},
                0,
                0,
                nullptr};
    row.runOnHost = runPrefixes;
    return {row};
}

} // namespace tw::cli
