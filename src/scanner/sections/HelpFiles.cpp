#include "HelpFiles.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/TRegistry.h"

namespace tw {

namespace {

/// The help keys, scanned in this order.
constexpr const char* kHelpKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\Help",
    "SOFTWARE\\Microsoft\\Windows\\Html Help",
};

void CheckHelpFile(ScanContext& context, const sections::FileView& files, const std::string& path,
                   const std::string& key, win::HKEY root, TRegistryContents& contents)
{
    const bool inputMethodHelp = sections::containsNoCase(path, "ime");
    const bool problem = sections::containsNoCase(key, "Html Help")
                             ? inputMethodHelp
                             : (!files.fileExists(path) || inputMethodHelp);
    if (!problem)
        return;
    const size_t nameStart = path.find_last_of("\\:");
    const std::string name = nameStart == std::string::npos ? path : path.substr(nameStart + 1);
    context.addRecord(contents, RootKeyName(root) + "\\" + key, name, "", path);
}

void ScanHelpKey(ScanContext& context, const sections::FileView& files, win::HKEY root,
                 const std::string& key, TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, root, key, names))
        return;
    sections::forEachItem(context, names, sections::kNoYield, {}, [&](const std::string& name) {
        const std::optional<std::string> folder = reg.ReadTextValue(name);
        if (!folder)
            return sections::Next::Go;
        const std::string path = JoinFolderAndName(*folder, name);
        if (!path.empty() && !sections::isUncheckablePath(session, path))
            CheckHelpFile(context, files, path, key, root, contents);
        return sections::Next::Go;
    });
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
    const std::vector<std::string> keys =
        keyViews(context.session(), root,
                 std::vector<std::string>(std::begin(kHelpKeys), std::end(kHelpKeys)));
    context.rowStart();
    const sections::FileView files(context.session());
    sections::forEachItem(context, keys, sections::kEachItem, {}, [&](const std::string& key) {
        context.status(RootKeyName(root) + "\\" + key);
        ScanHelpKey(context, files, root, key, contents);
        return sections::Next::Go;
    });
    context.rowFinish();
}

} // namespace tw
