#include "RegistryView.h"

#include "platform/TextCodec.h"

namespace tw {

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
