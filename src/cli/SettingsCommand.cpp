// settings: the stored settings and the start with the session; settings set NAME VALUE.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "PrefixWrites.h"
#include "platform/Installation.h"
#include "registry/Session.h"
#include "tools/update/Preferences.h"

#include <cctype>

namespace tw::cli {

namespace {

constexpr const char* kAutostartName = "Autostart";

bool isAutostart(const std::string& name)
{
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "autostart";
}

int show(CommandContext& context)
{
    const auto rows = StoredSettings(context.session);
    platform::Installation& installation = context.session.installation();
    const bool autostart = installation.autostartEnabled();
    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject().key("settings").beginObject();
        for (const auto& [name, value] : rows)
            json.field(name, value);
        json.endObject()
            .field("autostart", autostart)
            .field("autostartEntry", installation.autostartLocation());
        out << json.endObject().text() << "\n";
        return 0;
    }
    for (const auto& [name, value] : rows) {
        std::string left = name + ":";
        left.resize(15, ' ');
        out << left << (value ? *value : "(not set)") << "\n";
    }
    std::string left = std::string(kAutostartName) + ":";
    left.resize(15, ' ');
    out << left << (autostart ? "1" : "0") << " (" << installation.autostartLocation() << ")\n";
    return 0;
}

int set(CommandContext& context)
{
    const std::string& name = context.args.at(0);
    const std::string& value = context.args.at(1);
    if (isAutostart(name)) {
        if (value != "1" && value != "0")
            throw UsageError(std::string(kAutostartName) + " is 1 (on) or 0 (off), not \"" + value +
                             "\"");
        try {
            SetAutostart(context.session, value == "1");
        } catch (const std::runtime_error& e) {
            throw CliError(e.what());
        }
        context.out << (value == "1" ? "Wrote " : "Removed ")
                    << context.session.installation().autostartLocation() << "\n";
        return 0;
    }
    requireWritable(context.session);
    std::string stored;
    try {
        stored = WriteSetting(context.session, name, value);
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
    saveChanges(context.session);
    context.out << "Set HKEY_CURRENT_USER\\Software\\Tidewell\\" << stored << " to \"" << value
                << "\"\n";
    return 0;
}

} // namespace

std::vector<Command> settingsCommands()
{
    return {
        {"settings show",
         "",
         "the settings under HKCU\\Software\\Tidewell and the autostart",
         {kJsonOption},
         0,
         0,
         show,
         true},
        changingRegistry(
            {"settings set",
             "NAME VALUE",
             "set a setting (flags take 1 or 0); Autostart 1 or 0\nwrites or removes the desktop's "
             "autostart entry",
             {},
             2,
             2,
             set}),
    };
}

} // namespace tw::cli
