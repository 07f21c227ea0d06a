#include "RegistryView.h"

#include "platform/TextCodec.h"

#include <utility>

namespace tw {

namespace {

constexpr std::string_view kSoftware = "Software";
constexpr std::string_view kWow64Node = "Wow6432Node";
constexpr std::string_view kLinkValue = "SymbolicLinkValue";
/// Where a link into HKEY_LOCAL_MACHINE points, before the key's path.
constexpr std::string_view kMachineTarget = "\\Registry\\Machine";
/// More links than this on one path are taken for a loop.
constexpr int kMaxLinks = 16;

std::string joinedKeyPath(std::string_view path, std::string_view name)
{
    std::string joined(path);
    if (!path.empty())
        joined.push_back('\\');
    joined.append(name);
    return joined;
}

bool opens(const Session& session, win::HKEY root, std::string_view path)
{
    platform::KeyHandle key(session.registry());
    return session.registry().openKey(root, path, win::KEY_READ, key.out()) == win::ERROR_SUCCESS;
}

/// The first component of `path` and what follows its backslash.
std::pair<std::string_view, std::string_view> splitFirst(std::string_view path)
{
    const size_t sep = path.find('\\');
    if (sep == std::string_view::npos)
        return {path, {}};
    return {path.substr(0, sep), path.substr(sep + 1)};
}

/// The target of the key `path` when it is a registry link: "" for a plain key or a key that
/// does not open, none for a link that cannot be followed within the root's tree.
std::optional<std::string> linkTarget(platform::Registry& registry, win::HKEY root,
                                      const std::string& path)
{
    platform::KeyHandle key(registry);
    if (registry.openKey(root, path, win::KEY_READ, key.out(), win::REG_OPTION_OPEN_LINK) !=
        win::ERROR_SUCCESS)
        return std::string();
    win::DWORD type = 0;
    std::string data;
    if (registry.queryValue(key.get(), kLinkValue, &type, &data) != win::ERROR_SUCCESS ||
        type != win::REG_LINK)
        return std::string();
    std::string target = platform::utf16ToUtf8(platform::bytesToUtf16(data));
    while (!target.empty() && target.back() == '\0')
        target.pop_back();
    if (root != win::HKEY_LOCAL_MACHINE || target.size() <= kMachineTarget.size() + 1 ||
        !platform::equalNoCase(std::string_view(target).substr(0, kMachineTarget.size()),
                               kMachineTarget) ||
        target[kMachineTarget.size()] != '\\')
        return std::nullopt;
    return target.substr(kMachineTarget.size() + 1);
}

std::optional<std::string> resolve(platform::Registry& registry, win::HKEY root,
                                   std::string_view keyPath, int& links)
{
    std::string resolved;
    std::string_view rest = keyPath;
    while (!rest.empty()) {
        const auto [name, after] = splitFirst(rest);
        rest = after;
        if (name.empty())
            continue;
        const std::string next = joinedKeyPath(resolved, name);
        const std::optional<std::string> target = linkTarget(registry, root, next);
        if (!target)
            return std::nullopt;
        if (target->empty()) {
            resolved = next;
            continue;
        }
        if (++links > kMaxLinks)
            return std::nullopt;
        const std::optional<std::string> followed = resolve(registry, root, *target, links);
        if (!followed)
            return std::nullopt;
        resolved = *followed;
    }
    return resolved;
}

} // namespace

std::optional<std::string> wow64Twin(win::HKEY root, std::string_view keyPath)
{
    if (root != win::HKEY_LOCAL_MACHINE)
        return std::nullopt;
    const auto [top, rest] = splitFirst(keyPath);
    if (!platform::equalNoCase(top, kSoftware) || rest.empty() ||
        platform::equalNoCase(splitFirst(rest).first, kWow64Node))
        return std::nullopt;
    return joinedKeyPath(joinedKeyPath(top, kWow64Node), rest);
}

std::optional<std::string> resolvedKeyPath(const Session& session, win::HKEY root,
                                           std::string_view keyPath)
{
    int links = 0;
    return resolve(session.registry(), root, keyPath, links);
}

std::vector<std::string> keyViews(const Session& session, win::HKEY root,
                                  const std::vector<std::string>& keyPaths)
{
    std::vector<std::string> views;
    std::vector<std::string> read;
    const auto add = [&](const std::string& path) {
        if (!opens(session, root, path))
            return;
        // A key Wine links to one already listed is that key again. (One that links lead
        // elsewhere is known by its own path.)
        const std::string resolved = resolvedKeyPath(session, root, path).value_or(path);
        for (const std::string& known : read) {
            if (platform::equalNoCase(known, resolved))
                return;
        }
        read.push_back(resolved);
        views.push_back(path);
    };
    for (const std::string& path : keyPaths) {
        add(path);
        if (const std::optional<std::string> twin = wow64Twin(root, path))
            add(*twin);
    }
    return views;
}

std::vector<std::string> keyViews(const Session& session, win::HKEY root, std::string_view keyPath)
{
    return keyViews(session, root, std::vector<std::string>{std::string(keyPath)});
}

RegistryView viewOfKeyPath(std::string_view keyPath)
{
    while (keyPath.starts_with('\\'))
        keyPath.remove_prefix(1);
    const size_t first = keyPath.find('\\');
    if (first == std::string_view::npos)
        return RegistryView::Native;
    const std::string_view rest = keyPath.substr(first + 1);
    const std::string_view second = rest.substr(0, rest.find('\\'));
    return platform::equalNoCase(keyPath.substr(0, first), "Software") &&
                   platform::equalNoCase(second, "Wow6432Node")
               ? RegistryView::Wow64
               : RegistryView::Native;
}

std::string_view registryViewName(RegistryView view)
{
    return view == RegistryView::Wow64 ? "32-bit" : "native";
}

std::string withViewMark(const std::string& name, RegistryView view)
{
    return view == RegistryView::Wow64 ? name + " (32-bit)" : name;
}

} // namespace tw
