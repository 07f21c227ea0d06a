#include "Classes.h"

#include "SectionLoops.h"
#include "SectionText.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"

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

/// `key` is the server key as the walk opened it, or 0 when it could not.
void CheckServerKey(ScanContext& context, win::HKEY root, const std::string& path,
                    const std::string& name, win::HKEY key, TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    reg.SelectRoot(root);
    std::string text;
    // The walk reached the key through no link, so it is the key the path leads to.
    if (key)
        reg.UseOpenKey(key, path);
    if (key || reg.OpenPath(path, false))
        text = reg.ReadTextValue("").value_or(std::string());
    if (text.empty())
        context.addRecord(contents, RootKeyName(root) + "\\" + path, name, "default", "");
}

} // namespace

void WalkClassesTree(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                     win::HKEY root)
{
    sections::KeyWalk walk;
    walk.visit = [&](const std::string& name, const std::string& path, win::HKEY key) {
        if (name == "AppID")
            return sections::Descent::PassOver;
        context.status(path);
        if (name == "HELPDIR")
            CheckHelpDir(context, root, path, contents);
        for (const char* server : kServerKeys) {
            if (name == server)
                CheckServerKey(context, root, path, name, key, contents);
        }
        return sections::Descent::Into;
    };
    sections::walkKeyTree(context, root, keyPath, walk);
}

void ScanTypeLibRefs(ScanContext& context, TRegistryContents& contents, std::string_view,
                     win::HKEY root)
{
    Session& session = context.session();
    const std::vector<std::string> classes =
        sections::subkeyNames(session, win::HKEY_CLASSES_ROOT, "CLSID")
            .value_or(std::vector<std::string>());
    const auto referencePath = [](const std::string& id) { return "CLSID\\" + id + "\\TypeLib"; };
    sections::forEachItem(
        context, classes, {true, sections::YieldAt::BeforeAbortTest}, referencePath,
        [&](const std::string& id) {
            const std::string path = referencePath(id);
            TRegistry reg(session);
            reg.SelectRoot(win::HKEY_CLASSES_ROOT);
            if (!reg.OpenPath(path, false))
                return sections::Next::Go;
            const std::string library = reg.ReadTextValue("").value_or(std::string());
            if (library.empty())
                return sections::Next::Go;
            TRegistry libraries(session);
            libraries.SelectRoot(win::HKEY_CLASSES_ROOT);
            if (libraries.OpenPath("TypeLib", false) && !libraries.PathExists(library))
                context.addRecord(contents, RootKeyName(root) + "\\" + path, "TypeLib", "default",
                                  library);
            return sections::Next::Go;
        });
}

} // namespace tw
