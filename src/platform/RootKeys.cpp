#include "RootKeys.h"

#include "TextCodec.h"

namespace tw::platform {

std::optional<KeyPath> parseKeyPath(std::string_view path)
{
    const size_t sep = path.find('\\');
    const std::string_view root = path.substr(0, sep);
    for (const RootKeyName& entry : kRootKeys) {
        if (equalNoCase(root, entry.name) || equalNoCase(root, entry.shortName)) {
            KeyPath result;
            result.root = entry.key;
            result.rootName = std::string(entry.name);
            if (sep != std::string_view::npos) {
                std::string_view rest = path.substr(sep + 1);
                while (!rest.empty() && rest.back() == '\\')
                    rest.remove_suffix(1);
                result.subKey = std::string(rest);
            }
            return result;
        }
    }
    return std::nullopt;
}

std::string_view rootKeyName(win::HKEY key)
{
    for (const RootKeyName& entry : kRootKeys) {
        if (entry.key == key)
            return entry.name;
    }
    return {};
}

} // namespace tw::platform
