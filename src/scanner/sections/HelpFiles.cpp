#include "HelpFiles.h"

#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

namespace tw {

namespace {

/// The help keys, scanned in this order.
constexpr const char* kHelpKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\Help",
    "SOFTWARE\\Microsoft\\Windows\\Html Help",
};

void CheckHelpFile(ScanContext& context, const std::string& path, const std::string& key,
                   win::HKEY root, TRegistryContents& contents)
{
    Session& session = context.session();
    const bool inputMethodHelp = sections::containsNoCase(path, "ime");
    const bool problem = sections::containsNoCase(key, "Html Help")
                             ? inputMethodHelp
                             : (!session.files().fileExists(path) || inputMethodHelp);
    if (!problem)
        return;
    const size_t nameStart = path.find_last_of("\\:");
    const std::string name = nameStart == std::string::npos ? path : path.substr(nameStart + 1);
    context.addRecord(contents, RootKeyName(root) + "\\" + key, name, "", path);
}

void ScanHelpKey(ScanContext& context, win::HKEY root, const std::string& key,
                 TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, root, key, names))
        return;
    for (const std::string& name : names) {
        if (context.aborted())
            break;
        const TRegDataType type = reg.ValueType(name);
        if (type != rdString && type != rdExpandString)
            continue;
        const std::string path = JoinFolderAndName(reg.ReadText(name), name);
        if (path.empty() || sections::isUncheckablePath(session, path))
            continue;
        CheckHelpFile(context, path, key, root, contents);
    }
}

} // namespace

std::string JoinFolderAndName(std::string_view folder, std::string_view name)
{
    const size_t length = sections::trimmed(folder).size();
    if (length > 0 && length <= folder.size() && folder[length - 1] == '\\')
        return std::string(folder) + std::string(name);
    return std::string(folder) + "\\" + std::string(name);
}

void ScanHelpFiles(ScanContext& context, TRegistryContents& contents, std::string_view,
                   win::HKEY root)
{
    Session& session = context.session();
    context.rowStart();
    platform::Registry& registry = session.registry();
    for (const char* key : kHelpKeys) {
        if (context.aborted())
            break;
        platform::KeyHandle probe(registry);
        if (registry.openKey(root, key, win::KEY_READ, probe.out()) != win::ERROR_SUCCESS)
            continue;
        probe.reset();
        context.status(RootKeyName(root) + "\\" + key);
        ScanHelpKey(context, root, key, contents);
        context.yield();
    }
    context.rowFinish();
}

void RepairHelpFiles(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(
        session, view, contents,
        {[&](const TContent& r) {
             std::string text = r.KeyPath;
             const std::string root = "HKEY_LOCAL_MACHINE";
             for (size_t at = text.find(root); at != std::string::npos; at = text.find(root, at))
                 text.erase(at, root.size());
             return text;
         },
         [&](const TContent& r) { return DeleteRegistryValue(session, r.KeyPath, r.ItemName); },
         true});
}

} // namespace tw
