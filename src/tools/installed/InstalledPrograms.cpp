#include "InstalledPrograms.h"

#include "platform/Programs.h"
#include "platform/TextCodec.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackedUpChange.h"
#include "repair/BackupList.h"

#include <unordered_set>

namespace tw {

namespace {

constexpr std::string_view kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

/// Keys already listed, links followed: an entry Wine links between the views is listed once.
using SeenKeys = std::unordered_set<std::string, platform::NoCaseHash, platform::NoCaseEqual>;

void listUninstallKey(const Session& session, win::HKEY root, const std::string& key,
                      std::vector<InstalledProgram>& programs, SeenKeys& seen)
{
    TRegistry registry(session);
    registry.SelectRoot(root);
    const std::string keyPath = "\\" + key;
    const RegistryView view =
        root == win::HKEY_LOCAL_MACHINE ? viewOfKeyPath(key) : RegistryView::Native;
    if (!registry.OpenPath(keyPath, false))
        return;
    std::vector<std::string> names;
    registry.ListSubkeys(names);
    for (const std::string& name : names) {
        const std::string path = keyPath + "\\" + name;
        if (!registry.OpenPath(path, false) || !registry.HasValue("DisplayName") ||
            !registry.HasValue("UninstallString"))
            continue;
        const std::string entry = path.substr(1);
        if (!seen.insert(RootKeyName(root) + "\\" +
                         resolvedKeyPath(session, root, entry).value_or(entry))
                 .second)
            continue;
        programs.push_back({registry.ReadTextValue("DisplayName").value_or(""),
                            registry.ReadTextValue("UninstallString").value_or(""), path, root,
                            view});
    }
}

} // namespace

std::vector<InstalledProgram> ListInstalledPrograms(const Session& session)
{
    std::vector<InstalledProgram> programs;
    SeenKeys seen;
    for (const win::HKEY root : kUninstallRoots) {
        for (const std::string& key : keyViews(session, root, kUninstallKey))
            listUninstallKey(session, root, key, programs, seen);
    }
    return programs;
}

ChangeOutcome StartUninstaller(const Session& session, const InstalledProgram& program)
{
    // No backup for an uninstaller that would not start.
    if (std::string refusal = session.programs().startRefusal(program.uninstallString);
        !refusal.empty())
        return {std::string(), std::move(refusal)};
    ChangeOutcome outcome = BackupBeforeProgramRun(session);
    if (!outcome.ok())
        return outcome;
    platform::ProgramStart start;
    start.commandLine = program.uninstallString;
    start.show = platform::ShowCommand::Show;
    outcome.error = session.programs().start(start).error;
    return outcome;
}

RemoveOutcome RemoveInstalledEntry(const Session& session, const InstalledProgram& program)
{
    {
        TRegistry registry(session);
        registry.SelectRoot(program.root);
        if (!registry.PathExists(program.keyPath))
            return RemoveOutcome();
    }
    return MakeBackedUpChange(
        session, "Uninstall Entry Removal",
        {RegistryChange::deleteKey(RootKeyName(program.root) + program.keyPath)}, {}, [&] {
            if (DeleteRegistryKey(session, program.root, program.keyPath))
                return std::string();
            return "the registry refused to delete " + program.keyPath + ".";
        });
}

} // namespace tw
