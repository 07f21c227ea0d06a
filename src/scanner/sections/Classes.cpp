#include "Classes.h"

#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/TextCodec.h"
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

/// The parts of a key path split at backslashes.
std::vector<std::string_view> pathParts(std::string_view path)
{
    std::vector<std::string_view> parts;
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find('\\', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

bool IsClassKeyReportedWhenEmpty(win::HKEY root, std::string_view path)
{
    std::vector<std::string_view> parts = pathParts(path);
    if (root == win::HKEY_LOCAL_MACHINE) {
        // Software\Classes and Software\Wow6432Node\Classes are what the walk sees as the
        // classes root and its Wow6432Node.
        if (parts.size() < 3 || !platform::equalNoCase(parts[0], "Software"))
            return false;
        const bool wow = platform::equalNoCase(parts[1], "Wow6432Node");
        if (!platform::equalNoCase(parts[wow ? 2 : 1], "Classes"))
            return false;
        parts.erase(parts.begin(), parts.begin() + (wow ? 3 : 2));
    } else if (root != win::HKEY_CLASSES_ROOT) {
        return false;
    }
    if (parts.size() < 2)
        return false;
    for (const std::string_view part : parts) {
        if (part == "AppID")
            return false;
    }
    const std::string_view name = parts.back();
    if (name == "HELPDIR")
        return true;
    for (const char* server : kServerKeys) {
        if (name == server)
            return true;
    }
    return false;
}

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
