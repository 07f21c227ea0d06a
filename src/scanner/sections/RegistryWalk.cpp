#include "RegistryWalk.h"

namespace tw::sections {

bool forEachSubkey(const Session& session, win::HKEY root, std::string_view path,
                   const std::function<bool(const std::string&, const std::string&)>& visit,
                   const std::function<void(const platform::KeyInfo&)>& opened)
{
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    if (registry.openKey(root, path, win::KEY_READ, key.out()) != win::ERROR_SUCCESS)
        return false;
    platform::KeyInfo info;
    if (registry.queryInfoKey(key.get(), &info) != win::ERROR_SUCCESS)
        return true;
    if (opened)
        opened(info);
    std::string name;
    for (win::DWORD i = 0; i < info.subKeys; ++i) {
        if (registry.enumKey(key.get(), i, &name) != win::ERROR_SUCCESS)
            continue;
        const std::string subPath = path.empty() ? name : std::string(path) + "\\" + name;
        if (!visit(name, subPath))
            break;
    }
    return true;
}

} // namespace tw::sections
