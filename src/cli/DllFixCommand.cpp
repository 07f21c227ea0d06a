// tidewell-cli dllfix: registers the system folder's libraries again with regsvr32 under Wine.
#include "CliError.h"
#include "Command.h"
#include "Json.h"
#include "registry/Session.h"
#include "tools/dllfix/DllFix.h"

#include <chrono>
#include <thread>

namespace tw::cli {

namespace {

class PrintView final : public DllFixView
{
public:
    void statusChanged(const std::string&) override {}
    void yield() override {}
    bool running() override { return true; }
};

int runDllFix(CommandContext& context)
{
    const std::string folder = DllFixSystemFolder(context.session);
    const std::vector<std::string> folders = DllFixFolders(context.session);
    PrintView view;
    const std::vector<std::string> paths = CollectAllDllFiles(context.session, view);
    RegistrationQueue queue(context.session, paths);
    while (queue.pump())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // What the registrations wrote is in the hives once Wine has ended.
    if (queue.started() > 0)
        context.session.programs().waitUntilIdle();

    std::ostream& out = context.out;
    if (context.args.has("json")) {
        JsonWriter json;
        json.beginObject()
            .field("system", folder)
            .array("folders", folders)
            .array("collected", paths)
            .field("started", queue.started())
            .field("registered", queue.registered())
            .key("failed")
            .beginArray();
        for (const RegistrationFailure& failure : queue.failures())
            json.beginObject()
                .field("path", failure.path)
                .field("reason", failure.reason)
                .endObject();
        out << json.endArray().endObject().text() << "\n";
    } else {
        for (const std::string& path : paths)
            out << path << "\n";
        for (const RegistrationFailure& failure : queue.failures())
            out << "Not registered: " << failure.path << " (" << failure.reason << ")\n";
        out << "Registered again with regsvr32: " << queue.registered() << " of " << paths.size()
            << " (at most " << kMaxRegistrations << " at once)\n";
    }
    if (queue.failed() > 0)
        throw CliError(std::to_string(queue.failed()) + " of " + std::to_string(paths.size()) +
                       " registrations failed" +
                       (queue.firstError().empty()
                            ? std::string(": regsvr32 returned an error (see the list).")
                            : ". " + queue.firstError()));
    return 0;
}

} // namespace

std::vector<Command> dllFixCommands()
{
    return {
        {"dllfix",
         "",
         "register every library of the system folders whose name holds\n.dll or .ocx again "
         "(regsvr32 /s under Wine, a few at a time; syswow64's\nwith its own 32-bit regsvr32)",
         {kJsonOption},
         0,
         0,
         runDllFix},
    };
}

} // namespace tw::cli
