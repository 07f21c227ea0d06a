#include "FileExtensions.h"

#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/TextCodec.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"

#include <algorithm>
#include <unordered_set>

namespace tw {

namespace {

constexpr const char* kExcludedNames[] = {"*", "Directory", "Folder", "Drive", "Unknow"};
constexpr const char* kFileExts =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

std::vector<std::string> rootNames(const Session& session, win::HKEY root)
{
    return sections::subkeyNames(session, root, "").value_or(std::vector<std::string>());
}

/// The names of the class keys, found without regard to case as the registry finds them.
class ClassList
{
public:
    explicit ClassList(const std::vector<std::string>& names) : m_names(names.begin(), names.end())
    {
    }
    bool contains(std::string_view name) const { return m_names.find(name) != m_names.end(); }

private:
    std::unordered_set<std::string, platform::NoCaseHash, platform::NoCaseEqual> m_names;
};

bool isRegistered(const Session& session, const std::string& extension,
                  const std::string& className, const ClassList& classes,
                  const std::vector<std::string>& userExtensions)
{
    if (classes.contains(className))
        return true;
    if (userExtensions.empty())
        return false;
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.PathExists("\\" + std::string(kFileExts) + "\\" + extension))
        return true;
    for (const std::string& user : userExtensions) {
        TRegistry progIds(session);
        progIds.SelectRoot(win::HKEY_CURRENT_USER);
        if (progIds.OpenPath(std::string(kFileExts) + "\\" + user + "\\OpenWithProgids", false) &&
            progIds.HasValue(className))
            return true;
    }
    return false;
}

} // namespace

void SplitRootKeyNames(std::vector<std::string>& names, std::vector<std::string>& extensions)
{
    for (const char* excluded : kExcludedNames)
        std::erase_if(names,
                      [&](const std::string& n) { return n.find(excluded) != std::string::npos; });
    for (const std::string& name : names) {
        if (!name.empty() && name.front() == '.')
            extensions.push_back(name);
    }
    std::erase_if(names, [](const std::string& n) { return !n.empty() && n.front() == '.'; });
}

void ScanFileExtensions(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                        win::HKEY root)
{
    Session& session = context.session();
    contents.Clear();
    if (!sections::keyOpens(session, root, keyPath))
        return;
    std::vector<std::string> names = rootNames(session, root);
    // Every key of the root registers a class, the shell's own (Folder, Drive, ...) too.
    const ClassList classes(names);
    std::vector<std::string> extensions;
    SplitRootKeyNames(names, extensions);
    const std::vector<std::string> userExtensions =
        sections::subkeyNames(session, win::HKEY_CURRENT_USER, kFileExts)
            .value_or(std::vector<std::string>());
    context.rowStart();
    sections::forEachItem(
        context, extensions, sections::kEachItem, [](const std::string& e) { return e; },
        [&](const std::string& extension) {
            TRegistry reg(session);
            reg.SelectRoot(root);
            if (reg.OpenPath(extension, false)) {
                const std::string className = reg.ReadTextValue("").value_or(std::string());
                if (!className.empty() && className.find('\\') == std::string::npos &&
                    IsCheckablePath(session.ExcludedDrives, className) &&
                    !isRegistered(session, extension, className, classes, userExtensions))
                    context.addRecord(contents, RootKeyName(root) + "\\" + extension, extension,
                                      "default", className);
            }
            return sections::Next::Go;
        });
    context.rowFinish();
}

void ScanFileAssociations(ScanContext& context, TRegistryContents& contents,
                          std::string_view keyPath, win::HKEY root)
{
    Session& session = context.session();
    std::vector<std::string> names = rootNames(session, root);
    std::vector<std::string> extensions;
    SplitRootKeyNames(names, extensions);
    for (const std::string& extension : extensions) {
        TRegistry reg(session);
        reg.SelectRoot(root);
        if (!reg.OpenPath(extension, false))
            continue;
        const std::optional<std::string> text = reg.ReadTextValue("");
        if (text && text->empty())
            context.addRecord(contents, RootKeyName(root) + "\\" + extension, extension, "default",
                              std::string(keyPath));
    }
}

} // namespace tw
