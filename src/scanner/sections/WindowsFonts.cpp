#include "WindowsFonts.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/TRegistry.h"

namespace tw {

namespace {

/// The fonts registered in one view's Fonts key.
void scanFontsKey(ScanContext& context, const sections::FileView& files, win::HKEY root,
                  const std::string& keyPath, TRegistryContents& contents)
{
    Session& session = context.session();
    const std::string windows = session.system().windowsDirectory();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, root, keyPath, names))
        return;
    const std::string recordKey = RootKeyName(root) + "\\" + keyPath;
    sections::forEachItem(
        context, names, sections::kEachItem,
        [&](const std::string& name) { return keyPath + "\\" + name; },
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
}

} // namespace

void ScanWindowsFonts(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                      win::HKEY root)
{
    sections::scanKeyViews(context, contents, keyPath, root, scanFontsKey);
}

} // namespace tw
