#include "AppPaths.h"

#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

namespace tw {

namespace {

std::string replaceAll(std::string text, std::string_view from, std::string_view to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void CheckAppPath(ScanContext& context, win::HKEY root, const std::string& subkeyPath,
                  const std::string& subkeyName, TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    reg.SelectRoot(root);
    if (!reg.OpenPath(subkeyPath, false))
        return;
    const TRegDataType type = reg.ValueType("");
    if (type != rdString && type != rdExpandString)
        return;
    const std::string program = reg.ReadText("");
    if (sections::isUncheckablePath(session, program) || !HasFileNameAndExt(program))
        return;
    const std::string path = ResolveAppPath(session, program, reg.ReadText("Path"));
    if (path.size() != 1 && !session.files().fileExists(path))
        context.addRecord(contents, RootKeyName(root) + "\\" + subkeyPath, subkeyName, "Path",
                          path);
}

} // namespace

std::string WindowsFolderGuess(const Session& session)
{
    // The Windows folder as the system reports it (C:\windows on Wine, C:\Windows on 7).
    std::string folder = session.system().windowsDirectory();
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

bool HasFileNameAndExt(std::string_view text)
{
    return !sections::ExtractFileName(text).empty() && !sections::ExtractFileExt(text).empty();
}

std::string ResolveAppPath(const Session& session, const std::string& defaultText,
                           const std::string& folder)
{
    if (defaultText.find('\\') == std::string::npos) {
        if (!folder.empty() && folder.back() == '\\')
            return folder + defaultText;
        return folder + "\\" + defaultText;
    }
    if (defaultText.find("%ProgramFiles%") != std::string::npos)
        return replaceAll(sections::removeAll(defaultText, "\""), "%ProgramFiles%",
                          GetProgramFilesDir(session, 0));
    if (defaultText.find("%SystemRoot%") != std::string::npos)
        return WindowsFolderGuess(session) + sections::removeAll(defaultText, "%SystemRoot%\\");
    return sections::removeAll(defaultText, "\"");
}

void ScanAppPaths(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root)
{
    Session& session = context.session();
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    if (registry.openKey(root, keyPath, win::KEY_READ, key.out()) != win::ERROR_SUCCESS)
        return;
    context.rowStart();
    platform::KeyInfo info;
    if (registry.queryInfoKey(key.get(), &info) != win::ERROR_SUCCESS)
        info.subKeys = 0;
    std::string name;
    for (win::DWORD i = 0; i < info.subKeys; ++i) {
        if (context.aborted())
            break;
        if (registry.enumKey(key.get(), i, &name) != win::ERROR_SUCCESS)
            continue;
        const std::string subkeyPath = keyPath.empty() ? name : std::string(keyPath) + "\\" + name;
        context.status(RootKeyName(root) + "\\" + subkeyPath);
        CheckAppPath(context, root, subkeyPath, name, contents);
        context.yield();
    }
    context.rowFinish();
}

void RepairAppPaths(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents,
                     {[&](const TContent& r) { return r.KeyPath; },
                      [&session](const TContent& r) {
                          return DeleteRegistryKey(
                              session, win::HKEY_LOCAL_MACHINE,
                              sections::removeAll(r.KeyPath, "HKEY_LOCAL_MACHINE"));
                      },
                      true});
}

} // namespace tw
