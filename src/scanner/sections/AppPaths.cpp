#include "AppPaths.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/TRegistry.h"

namespace tw {

namespace {

void CheckAppPath(ScanContext& context, const sections::FileView& files, win::HKEY root,
                  const std::string& subkeyPath, const std::string& subkeyName,
                  TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    reg.SelectRoot(root);
    if (!reg.OpenPath(subkeyPath, false))
        return;
    const std::optional<std::string> defaultText = reg.ReadTextValue("");
    if (!defaultText)
        return;
    const std::string& program = *defaultText;
    if (sections::isUncheckablePath(session, program) || !HasFileNameAndExt(program))
        return;
    const std::string folder = reg.ReadText("Path");
    const sections::ValueReaders readers = sections::readersOfKey(subkeyPath);
    const std::vector<std::string> programFiles =
        program.find("%ProgramFiles%") != std::string::npos
            ? files.programFilesFolders(0, readers)
            : std::vector<std::string>{std::string()};
    const std::string path = ResolveAppPath(session, program, folder, programFiles.front());
    if (path.size() == 1)
        return;
    for (const std::string& programFolder : programFiles) {
        if (files.fileExists(ResolveAppPath(session, program, folder, programFolder)))
            return;
    }
    context.addRecord(contents, RootKeyName(root) + "\\" + subkeyPath, subkeyName, "Path", path);
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
                           const std::string& folder, std::string_view programFiles)
{
    if (defaultText.find('\\') == std::string::npos) {
        if (!folder.empty() && folder.back() == '\\')
            return folder + defaultText;
        return folder + "\\" + defaultText;
    }
    if (defaultText.find("%ProgramFiles%") != std::string::npos)
        return sections::replaceAll(sections::removeAll(defaultText, "\""), "%ProgramFiles%",
                                    programFiles);
    if (defaultText.find("%SystemRoot%") != std::string::npos)
        return WindowsFolderGuess(session) + sections::removeAll(defaultText, "%SystemRoot%\\");
    return sections::removeAll(defaultText, "\"");
}

void ScanAppPaths(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root)
{
    const std::vector<std::string> views = keyViews(context.session(), root, keyPath);
    if (views.empty())
        return;
    context.rowStart();
    const sections::FileView files(context.session());
    for (const std::string& view : views) {
        const auto names = sections::subkeyNames(context.session(), root, view);
        if (!names)
            continue;
        sections::forEachItem(
            context, *names, sections::kEachItem,
            [&](const std::string& name) {
                return RootKeyName(root) + "\\" + sections::joinKeyPath(view, name);
            },
            [&](const std::string& name) {
                CheckAppPath(context, files, root, sections::joinKeyPath(view, name), name,
                             contents);
                return sections::Next::Go;
            });
    }
    context.rowFinish();
}

} // namespace tw
