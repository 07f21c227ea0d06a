#include "WindowsFonts.h"

#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

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
    platform::Files& files = session.files();

    for (const std::string& name : names) {
        if (context.aborted())
            break;
        context.status(std::string(keyPath) + "\\" + name);
        const TRegDataType type = reg.ValueType(name);
        if (type == rdString || type == rdExpandString) {
            const std::string data = reg.ReadText(name);
            // A font registered with its full path is looked for there, not in Fonts.
            const bool fullPath = sections::trimmed(data).find(":\\") == 1;
            const std::string path = fullPath ? data : windows + "\\Fonts\\" + data;
            const bool driveLetterPath = sections::trimmed(path).find(":\\") == 1;
            if (driveLetterPath && !sections::isUncheckablePath(session, path) &&
                !files.fileExists(path))
                context.addRecord(contents, recordKey, "Fonts", name, data);
        }
        context.yield();
    }
    context.rowFinish();
}

void RepairWindowsFonts(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents, RecordValueRepair(session, false));
}

} // namespace tw
