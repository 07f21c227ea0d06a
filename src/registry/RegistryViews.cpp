#include "RegistryViews.h"

#include "Session.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace tw {

namespace {

constexpr std::string_view kSoftware = "SOFTWARE";
constexpr std::string_view kWow32 = "Wow6432Node";
constexpr std::string_view kLinkValue = "SymbolicLinkValue";
/// Links followed on one path before giving up (a loop).
constexpr int kMaxLinks = 16;

std::string_view firstPart(std::string_view path)
{
    return path.substr(0, path.find('\\'));
}

std::string_view afterFirstPart(std::string_view path)
{
    const size_t slash = path.find('\\');
    return slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
}

/// The name the resolved key starts from for each root.
std::string rootName(win::HKEY root)
{
    if (root == win::HKEY_LOCAL_MACHINE)
        return "MACHINE";
    if (root == win::HKEY_USERS)
        return "USER";
    return "ROOT" + std::to_string(root);
}

/// A link's target, "\Registry\Machine\..." or "\Registry\User\...", as a root and path.
bool linkTarget(std::string_view target, win::HKEY& root, std::string& path)
{
    while (!target.empty() && target.front() == '\\')
        target.remove_prefix(1);
    if (!platform::equalNoCase(firstPart(target), "REGISTRY"))
        return false;
    target = afterFirstPart(target);
    const std::string_view top = firstPart(target);
    if (platform::equalNoCase(top, "MACHINE"))
        root = win::HKEY_LOCAL_MACHINE;
    else if (platform::equalNoCase(top, "USER"))
        root = win::HKEY_USERS;
    else
        return false;
    path = afterFirstPart(target);
    return true;
}

} // namespace

std::string_view registryViewName(RegistryView view)
{
    return view == RegistryView::Wow32 ? "32-bit" : "native";
}

std::string withViewMark(const std::string& name, RegistryView view)
{
    return view == RegistryView::Wow32 ? name + " (32-bit)" : name;
}

std::string wow32KeyPath(std::string_view path)
{
    if (!platform::equalNoCase(firstPart(path), kSoftware))
        return std::string();
    const std::string_view rest = afterFirstPart(path);
    if (platform::equalNoCase(firstPart(rest), kWow32))
        return std::string();
    std::string twin(firstPart(path));
    twin.append("\\").append(kWow32);
    if (!rest.empty())
        twin.append("\\").append(rest);
    return twin;
}

std::string resolvedKeyName(const Session& session, win::HKEY root, std::string_view path)
{
    platform::Registry& registry = session.registry();
    // The key reached so far (below `root`) and what is left to go.
    std::string done;
    std::string left(path);
    int links = 0;
    while (!left.empty()) {
        const std::string part(firstPart(left));
        left = std::string(afterFirstPart(left));
        if (part.empty())
            continue;
        const std::string next = done.empty() ? part : done + "\\" + part;
        platform::KeyHandle key(registry);
        if (registry.openKey(root, next, win::KEY_READ, key.out(), win::REG_OPTION_OPEN_LINK) !=
            win::ERROR_SUCCESS)
            return std::string();
        win::DWORD type = 0;
        std::string data;
        if (registry.queryValue(key.get(), kLinkValue, &type, &data) == win::ERROR_SUCCESS &&
            type == win::REG_LINK) {
            std::u16string target = platform::bytesToUtf16(data);
            while (!target.empty() && target.back() == u'\0')
                target.pop_back();
            std::string targetPath;
            if (++links > kMaxLinks || !linkTarget(platform::utf16ToUtf8(target), root, targetPath))
                return std::string();
            // Goes on from the target with the rest of the path.
            done.clear();
            left = left.empty() ? targetPath : targetPath + "\\" + left;
            continue;
        }
        done = next;
    }
    return done.empty() ? rootName(root) : rootName(root) + "\\" + done;
}

std::vector<ViewKey> keyViews(const Session& session, win::HKEY root, std::string_view path)
{
    std::vector<ViewKey> views{{RegistryView::Native, std::string(path)}};
    if (root != win::HKEY_LOCAL_MACHINE)
        return views;
    std::string twin = wow32KeyPath(path);
    if (twin.empty())
        return views;
    const std::string twinName = resolvedKeyName(session, root, twin);
    if (twinName.empty())
        return views;
    if (platform::equalNoCase(twinName, resolvedKeyName(session, root, path)))
        return views;
    views.push_back({RegistryView::Wow32, std::move(twin)});
    return views;
}

} // namespace tw
