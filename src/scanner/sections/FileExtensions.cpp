#include "FileExtensions.h"

#include "SectionText.h"
#include "platform/TextCodec.h"
#include "registry/PublicFunctions.h"
#include "registry/TRegistry.h"
#include "scanner/RepairLoop.h"

#include <algorithm>
#include <unordered_set>

namespace tw {

namespace {

constexpr const char* kExcludedNames[] = {"*", "Directory", "Folder", "Drive", "Unknow"};
constexpr const char* kFileExts =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

std::vector<std::string> rootNames(const Session& session, win::HKEY root)
{
    std::vector<std::string> names;
    TRegistry reg(session);
    reg.SelectRoot(root);
    if (reg.OpenPath("", false))
        reg.ListSubkeys(names);
    return names;
}

std::string lowerCase(const std::string& text)
{
    return platform::utf16ToUtf8([&] {
        std::u16string wide = platform::utf8ToUtf16(text);
        for (char16_t& c : wide)
            c = platform::foldCase(c);
        return wide;
    }());
}

/// The class list, for case-insensitive lookups.
class ClassList
{
public:
    explicit ClassList(const std::vector<std::string>& names)
    {
        for (const std::string& name : names)
            m_names.insert(lowerCase(name));
    }
    bool contains(const std::string& name) const { return m_names.count(lowerCase(name)) > 0; }

private:
    std::unordered_set<std::string> m_names;
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

/// The default value's text when it is a string, else empty.
std::string defaultText(TRegistry& reg)
{
    const TRegDataType type = reg.ValueType("");
    return (type == rdString || type == rdExpandString) ? reg.ReadText("") : std::string();
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
    {
        TRegistry reg(session);
        reg.SelectRoot(root);
        if (!reg.OpenPath(keyPath, false))
            return;
    }
    std::vector<std::string> names = rootNames(session, root);
    std::vector<std::string> extensions;
    SplitRootKeyNames(names, extensions);
    const ClassList classes(names);
    std::vector<std::string> userExtensions;
    {
        TRegistry user(session);
        user.SelectRoot(win::HKEY_CURRENT_USER);
        if (user.OpenPath("\\" + std::string(kFileExts), false))
            user.ListSubkeys(userExtensions);
    }
    context.rowStart();
    for (const std::string& extension : extensions) {
        if (context.aborted())
            break;
        context.status(extension);
        TRegistry reg(session);
        reg.SelectRoot(root);
        if (reg.OpenPath(extension, false)) {
            const std::string className = defaultText(reg);
            if (!className.empty() && className.find('\\') == std::string::npos &&
                IsCheckablePath(session.ExcludedDrives, className) &&
                !isRegistered(session, extension, className, classes, userExtensions))
                context.addRecord(contents, RootKeyName(root) + "\\" + extension, extension,
                                  "default", className);
        }
        context.yield();
    }
    context.rowFinish();
}

void RepairFileExtensions(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents, RecordValueRepair(session, true));
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
        const TRegDataType type = reg.ValueType("");
        if ((type == rdString || type == rdExpandString) && reg.ReadText("").empty())
            context.addRecord(contents, RootKeyName(root) + "\\" + extension, extension, "default",
                              std::string(keyPath));
    }
}

void RepairFileAssociations(Session& session, RepairView& view, const TRegistryContents& contents)
{
    RunSectionRepair(session, view, contents,
                     {[&](const TContent& r) { return r.KeyPath; },
                      [&](const TContent& r) {
                          return DeleteRegistryKey(
                              session, win::HKEY_CLASSES_ROOT,
                              sections::removeAll(r.KeyPath, "HKEY_CLASSES_ROOT"));
                      },
                      true});
}

} // namespace tw
