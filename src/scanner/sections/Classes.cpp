#include "Classes.h"

#include "RegistryWalk.h"
#include "SectionText.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

namespace tw {

namespace {

constexpr const char* kServerKeys[] = {"InprocServer", "LocalServer32", "InprocServer32"};

void CheckHelpDir(ScanContext& context, win::HKEY root, const std::string& path,
                  TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    reg.SelectRoot(root);
    if (!reg.OpenPath(path, false))
        return;
    const TRegDataType type = reg.ValueType("");
    // A value of a type with no text (a multi-string, say) is passed over rather than ending
    // the whole scan with a read error.
    if (type == rdUnknown && reg.HasValue(""))
        return;
    const std::string text = (type == rdString || type == rdExpandString) ? reg.ReadText("") : "";
    if (text.empty())
        context.addRecord(contents, RootKeyName(root) + "\\" + path, "HELPDIR", "default", path);
}

void CheckServerKey(ScanContext& context, win::HKEY root, const std::string& path,
                    const std::string& name, TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    reg.SelectRoot(root);
    std::string text;
    if (reg.OpenPath(path, false)) {
        const TRegDataType type = reg.ValueType("");
        if (type == rdString || type == rdExpandString)
            text = reg.ReadText("");
    }
    if (text.empty())
        context.addRecord(contents, RootKeyName(root) + "\\" + path, name, "default", "");
}

} // namespace

void WalkClassesTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root)
{
    Session& session = context.session();
    sections::forEachSubkey(session, root, keyPath,
                            [&](const std::string& name, const std::string& path) {
                                if (context.aborted())
                                    return false;
                                if (name == "AppID")
                                    return true;
                                context.status(path);
                                if (name == "HELPDIR")
                                    CheckHelpDir(context, root, path, contents);
                                for (const char* server : kServerKeys) {
                                    if (name == server)
                                        CheckServerKey(context, root, path, name, contents);
                                }
                                WalkClassesTree(context, contents, path, root);
                                context.yield();
                                return true;
                            });
}

void ScanTypeLibRefs(ScanContext& context, TRegistryContents& contents, std::string_view,
                     win::HKEY root)
{
    Session& session = context.session();
    std::vector<std::string> classes;
    {
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CLASSES_ROOT);
        if (reg.OpenPath("CLSID", false))
            reg.ListSubkeys(classes);
    }
    for (const std::string& id : classes) {
        context.yield();
        if (context.aborted())
            break;
        const std::string path = "CLSID\\" + id + "\\TypeLib";
        context.status(path);
        TRegistry reg(session);
        reg.SelectRoot(win::HKEY_CLASSES_ROOT);
        if (!reg.OpenPath(path, false))
            continue;
        const TRegDataType type = reg.ValueType("");
        if (type != rdString && type != rdExpandString)
            continue;
        const std::string library = reg.ReadText("");
        if (library.empty())
            continue;
        TRegistry libraries(session);
        libraries.SelectRoot(win::HKEY_CLASSES_ROOT);
        if (libraries.OpenPath("TypeLib", false) && !libraries.PathExists(library))
            context.addRecord(contents, RootKeyName(root) + "\\" + path, "TypeLib", "default",
                              library);
    }
}

void RepairActiveX(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(
        session, view, contents,
        {[&](const TContent& r) { return sections::removeAll(r.KeyPath, "HKEY_CLASSES_ROOT"); },
         [&](const TContent& r) {
             return DeleteRegistryKey(session, win::HKEY_CLASSES_ROOT,
                                      sections::removeAll(r.KeyPath, "HKEY_CLASSES_ROOT"));
         },
         true});
}

} // namespace tw
