// The names of the predefined registry roots.
#pragma once

#include "WinTypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw::platform {

struct RootKeyName
{
    std::string_view name;
    std::string_view shortName;
    win::HKEY key;
};

/// The five roots, in the order the registry editor lists them.
inline constexpr RootKeyName kRootKeys[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", win::HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", win::HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", win::HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", win::HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", win::HKEY_CURRENT_CONFIG},
};

/// A key path such as "HKEY_LOCAL_MACHINE\Software\X", split into root and the rest.
struct KeyPath
{
    win::HKEY root = 0;
    std::string rootName;
    std::string subKey;
};

/// Parses a full key path; the root name is matched without regard to case (its short form
/// such as HKLM too). Empty when the root is unknown.
std::optional<KeyPath> parseKeyPath(std::string_view path);
/// The long name of a root handle, empty for others.
std::string_view rootKeyName(win::HKEY key);

} // namespace tw::platform
