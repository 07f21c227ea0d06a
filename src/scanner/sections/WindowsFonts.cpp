#include "WindowsFonts.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"

namespace tw {

void ScanWindowsFonts(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                      win::HKEY root)
{
    Session& session = context.session();
    const std::string windows = session.system().windowsDirectory();
    contents.Clear();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, root, keyPath, names))
        return;
    context.rowStart();
    const std::string recordKey = RootKeyName(root) + "\\" + std::string(keyPath);
    const sections::FileView files(session);

    sections::forEachItem(
        context, names, sections::kEachItem,
        [&](const std::string& name) { return std::string(keyPath) + "\\" + name; },
        [&](const std::string& name) {
            const std::optional<std::string> data = reg.ReadTextValue(name);
            if (!data)
                return sections::Next::Go;
            // A font registered with its full path is looked for there, not in Fonts.
            const bool fullPath = sections::trimmed(*data).find(":\\") == 1;
            const std::string path = fullPath ? *data : windows + "\\Fonts\\" + *data;
            const bool driveLetterPath = sections::trimmed(path).find(":\\") == 1;
            // Wine loads a font registered by its bare name from its own fonts folder too, and
            // keeps some entries of its own.
            if (driveLetterPath && !sections::isUncheckablePath(session, path) &&
                !files.fileExists(path) &&
                (fullPath || !session.system().isBuiltInFont(name, *data)))
                context.addRecord(contents, recordKey, "Fonts", name, *data);
            return sections::Next::Go;
        });
    context.rowFinish();
}

} // namespace tw
